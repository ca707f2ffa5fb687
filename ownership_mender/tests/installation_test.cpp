// The built program as shipped: hardening visible in its ELF headers, a library search path that
// only looks beside the program, and an installation that runs from its prefix with its manual.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "test_support/child_process.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ChildResult;

// Runs a tool found on the usual PATH.
ChildResult tool(std::vector<std::string> arguments, std::vector<std::string> env = {}) {
    test_support::ProgramRun run;
    run.program = "/usr/bin/env";
    run.argv = {"env"};
    run.argv.insert(run.argv.end(), arguments.begin(), arguments.end());
    run.env = {"PATH=/usr/local/bin:/usr/bin:/bin", "LC_ALL=C"};
    run.env.insert(run.env.end(), env.begin(), env.end());
    return test_support::run_program(run);
}

bool contains(const std::string& text, const std::string& pattern) {
    return std::regex_search(text, std::regex(pattern));
}

const std::string kProgram = OWNERSHIP_MENDER_PROGRAM;
const std::string kStandin = SYSTEM_STANDIN;

TEST(Hardening, ElfHeadersOfProgramAndLibrary) {
    for (const std::string& binary : {kProgram, kStandin}) {
        const ChildResult headers = tool({"readelf", "-W", "-h", "-l", "-d", "--dyn-syms", binary});
        ASSERT_EQ(headers.exit_status, 0) << headers.err;
        const std::string& elf = headers.out;
        EXPECT_TRUE(contains(elf, "Type: +DYN")) << binary;
        EXPECT_TRUE(contains(elf, "GNU_RELRO")) << binary;
        EXPECT_TRUE(contains(elf, "\\(FLAGS\\) +BIND_NOW")) << binary;
        EXPECT_TRUE(contains(elf, "\\(FLAGS_1\\) +Flags: NOW")) << binary;
        EXPECT_TRUE(contains(elf, "GNU_STACK( +0x[0-9a-f]+){5} RW ")) << "stack not executable";
        EXPECT_FALSE(contains(elf, "TEXTREL")) << binary;
    }
    const std::string program =
        tool({"readelf", "-W", "-h", "-l", "-d", "--dyn-syms", kProgram}).out;
    EXPECT_TRUE(contains(program, "\\(FLAGS_1\\) +Flags: NOW PIE"));
    EXPECT_TRUE(contains(program, "__stack_chk_fail"));
}

TEST(Hardening, ControlFlowProtectionInstructions) {
    const ChildResult code =
        tool({"objdump", "-d", "--no-show-raw-insn", "--disassemble=main", kProgram});
    if (code.exit_status != 0) {
        GTEST_SKIP() << "objdump is not available";
    }
    EXPECT_TRUE(contains(code.out, "<main>:\n +[0-9a-f]+:\tendbr64")) << code.out;
}

TEST(Hardening, LibrarySearchPathStaysBesideTheProgram) {
    const std::string dynamic = tool({"readelf", "-W", "-d", kProgram}).out;
    EXPECT_TRUE(
        contains(dynamic, "\\(NEEDED\\) +Shared library: \\[libownership_mender_system.so\\]"));
    // Exactly one entry, relative to the program: no absolute build path, no empty entry
    // (which would mean the current directory).
    EXPECT_TRUE(contains(dynamic, "\\(RUNPATH\\) +Library runpath: \\[\\$ORIGIN/[^:\\]]+\\]\n"))
        << dynamic;
    EXPECT_FALSE(contains(dynamic, "\\(RPATH\\)"));
    const std::string soname = tool({"readelf", "-W", "-d", kStandin}).out;
    EXPECT_TRUE(
        contains(soname, "\\(SONAME\\) +Library soname: \\[libownership_mender_system.so\\]"));
}

TEST(Installation, RunsFromItsPrefixWithItsManual) {
    test_support::ScratchDirectory prefix;
    const ChildResult install =
        tool({CMAKE_COMMAND, "--install", PROJECT_BINARY_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.exit_status, 0) << install.out << install.err;

    test_support::ProgramRun help;
    help.program = prefix / "bin/ownership_mender";
    help.argv = {"ownership_mender", "--help"};
    const ChildResult helped = test_support::run_program(help);
    EXPECT_EQ(helped.exit_status, 0) << helped.err;
    EXPECT_TRUE(helped.out.starts_with("Usage: ownership_mender <PATH> <UID>\n"));
    EXPECT_EQ(helped.err, "");

    const std::string manual = prefix / "share/man/man1/ownership_mender.1";
    const ChildResult rendered = tool({"man", "--warnings", "-l", manual}, {"MANWIDTH=80"});
    if (rendered.exit_status == 127) {
        GTEST_SKIP() << "man is not available";
    }
    EXPECT_EQ(rendered.exit_status, 0);
    EXPECT_EQ(rendered.err, "");
    for (const char* section :
         {"SYNOPSIS", "DESCRIPTION", "THE WALK", "EXIT STATUS", "ENVIRONMENT", "SECURITY"}) {
        EXPECT_NE(rendered.out.find(section), std::string::npos) << section;
    }
}

}  // namespace

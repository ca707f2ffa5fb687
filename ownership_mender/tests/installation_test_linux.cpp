// The built program on Linux: hardening visible in its ELF headers, a library search path
// that only looks beside the program for the stand-in system library, and its manual as
// man-db renders it.
#include <gtest/gtest.h>

#include <string>

#include "installation_tools.h"
#include "test_support/child_process.h"

namespace {

using installation_tools::contains;
using installation_tools::tool;
using test_support::ChildResult;

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

TEST(Installation, ManualRendersWithManDb) {
    installation_tools::expect_manual_renders({"man", "--warnings", "-l"}, MANUAL_PAGE);
}

}  // namespace

// The built program as installed: it runs from its prefix, and its manual is installed
// beside it. (On Linux, installation_test_linux.cpp checks the ELF hardening as well, and the
// manual as man-db renders it.)
#include <gtest/gtest.h>

#include <string>

#include "installation_tools.h"
#include "test_support/child_process.h"
#include "test_support/scratch_directory.h"

namespace {

using installation_tools::tool;
using test_support::ChildResult;

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

    // mandoc is what macOS's man renders with; -W warning makes any complaint fail it.
    installation_tools::expect_manual_renders({"mandoc", "-T", "ascii", "-W", "warning"},
                                              prefix / "share/man/man1/ownership_mender.1");
}

}  // namespace

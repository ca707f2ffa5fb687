// The built program as the end-to-end tests run it, and the fixed texts it answers with.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support/child_process.h"

namespace program_under_test {

inline const std::string kUsageLine = "Usage: ownership_mender <PATH> <UID>\n";
inline const std::string kMoreInformation = "\nFor more information, try '--help'.\n";
inline const std::string kHelp =
    "Usage: ownership_mender <PATH> <UID>\n\nArguments:\n  <PATH>\n  <UID>\n\nOptions:\n"
    "  -h, --help  Print help\n";

// The program with these arguments after argument 0 "ownership_mender", in exactly this
// environment.
inline test_support::ProgramRun program(const std::vector<std::string>& arguments,
                                        std::vector<std::string> env = {}) {
    test_support::ProgramRun run;
    run.program = OWNERSHIP_MENDER_PROGRAM;
    run.argv = {"ownership_mender"};
    run.argv.insert(run.argv.end(), arguments.begin(), arguments.end());
    run.env = std::move(env);
    return run;
}

// Runs it; a run that had to be killed, or that a signal ended, is a failure of its own.
inline test_support::ChildResult run(const test_support::ProgramRun& run) {
    test_support::ChildResult result = test_support::run_program(run);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.signal, 0);
    return result;
}

}  // namespace program_under_test

// Tools that the installation tests run on the built program, found on the usual PATH.
#pragma once

#include <regex>
#include <string>
#include <vector>

#include "test_support/child_process.h"

namespace installation_tools {

// Runs a tool found on the usual PATH.
inline test_support::ChildResult tool(std::vector<std::string> arguments,
                                      std::vector<std::string> env = {}) {
    test_support::ProgramRun run;
    run.program = "/usr/bin/env";
    run.argv = {"env"};
    run.argv.insert(run.argv.end(), arguments.begin(), arguments.end());
    run.env = {"PATH=/usr/local/bin:/usr/bin:/bin", "LC_ALL=C"};
    run.env.insert(run.env.end(), env.begin(), env.end());
    return test_support::run_program(run);
}

inline bool contains(const std::string& text, const std::string& pattern) {
    return std::regex_search(text, std::regex(pattern));
}

}  // namespace installation_tools

// Tools that the installation tests run on the built program, found on the usual PATH.
#pragma once

#include <gtest/gtest.h>

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

// Renders the manual page at path with renderer (its arguments before the page's path), as
// man shows it, and checks that the renderer had nothing to complain of and every section is
// there. Skips when the renderer is not installed.
inline void expect_manual_renders(std::vector<std::string> renderer, const std::string& path) {
    renderer.push_back(path);
    const test_support::ChildResult rendered = tool(renderer, {"MANWIDTH=80"});
    if (rendered.exit_status == 127) {
        GTEST_SKIP() << renderer.front() << " is not available";
    }
    EXPECT_EQ(rendered.exit_status, 0) << renderer.front();
    EXPECT_EQ(rendered.err, "") << renderer.front();
    // Bold and underlined letters may come overstruck: the letter, a backspace, the letter.
    const std::string text = std::regex_replace(rendered.out, std::regex("[^\x08]\x08"), "");
    for (const char* section :
         {"SYNOPSIS", "DESCRIPTION", "THE WALK", "EXIT STATUS", "ENVIRONMENT", "SECURITY"}) {
        EXPECT_NE(text.find(section), std::string::npos) << section << " in " << renderer.front();
    }
}

}  // namespace installation_tools

// The built program end to end: exact bytes on both streams and the exit status for command
// lines, colour settings, broken and closed streams, and a real walk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ownership_mender/command_line.h"
#include "program_under_test.h"
#include "test_support/child_process.h"
#include "test_support/file_tree.h"
#include "test_support/scratch_directory.h"

namespace {

using program_under_test::kHelp;
using program_under_test::kMoreInformation;
using program_under_test::kUsageLine;
using program_under_test::program;
using program_under_test::run;
using test_support::ChildResult;
using test_support::ProgramRun;
using test_support::ScratchDirectory;
using test_support::StreamKind;

struct CommandLineCase {
    std::vector<std::string> arguments;  // "MISSING" stands for a path that does not exist
    std::string err;
    int status;
    std::string out{};
};

std::string unexpected(const std::string& option) {
    return "error: unexpected argument '" + option + "' found\n\n  tip: to pass '" + option +
           "' as a value, use '-- " + option + "'\n\n" + kUsageLine + kMoreInformation;
}

std::string invalid_uid(const std::string& value, const std::string& reason) {
    return "error: invalid value '" + value + "' for '<UID>': " + reason + "\n" + kMoreInformation;
}

TEST(Program, CommandLines) {
    ScratchDirectory scratch;
    const std::string missing = scratch / "missing";
    const CommandLineCase cases[] = {
        {{},
         "error: the following required arguments were not provided:\n  <PATH>\n  <UID>\n\n" +
             kUsageLine + kMoreInformation,
         2},
        {{"/data"},
         "error: the following required arguments were not provided:\n  <UID>\n\n" + kUsageLine +
             kMoreInformation,
         2},
        {{"/data", "abc"}, invalid_uid("abc", "invalid digit found in string"), 2},
        {{"/data", ""}, invalid_uid("", "cannot parse integer from empty string"), 2},
        {{"/data", "4294967296"},
         invalid_uid("4294967296", "4294967296 is not in 0..=4294967295"),
         2},
        {{"MISSING", "4294967295"},
         invalid_uid("4294967295",
                     "4294967295 is reserved: the system reads it as \"leave the owner "
                     "unchanged\""),
         2},
        {{"/data", "18446744073709551616"},
         invalid_uid("18446744073709551616", "number too large to fit in target type"),
         2},
        {{"--", "/data", "-1"}, invalid_uid("-1", "-1 is not in 0..=4294967295"), 2},
        {{"--", "/data", "-99999999999999999999"},
         invalid_uid("-99999999999999999999", "number too small to fit in target type"),
         2},
        {{"/data", "-1"}, unexpected("-1"), 2},
        {{"--version"}, unexpected("--version"), 2},
        {{"-V"}, unexpected("-V"), 2},
        {{"-x", "7"}, unexpected("-x"), 2},
        {{"--force=yes", "a", "7"}, unexpected("--force"), 2},
        {{"a", "7", "c"},
         "error: unexpected argument 'c' found\n\n" + kUsageLine + kMoreInformation,
         2},
        {{"\xff", "7"},
         "error: invalid UTF-8 was detected in one or more arguments\n\n" + kUsageLine +
             kMoreInformation,
         2},
        // An overlong form: U+07FF in three bytes.
        {{"/data/\xE0\x9F\xBF", "7"},
         "error: invalid UTF-8 was detected in one or more arguments\n\n" + kUsageLine +
             kMoreInformation,
         2},
        {{"a", "7\xff"},
         "error: invalid UTF-8 was detected in one or more arguments\n\n" + kUsageLine +
             kMoreInformation,
         2},
        {{"-h"}, "", 0, kHelp},
        {{"--help"}, "", 0, kHelp},
        {{"a", "--help"}, "", 0, kHelp},
        {{"MISSING", "4294967294"}, "", 0},
        {{"MISSING", "+501"}, "", 0},
        {{"MISSING", "0"}, "", 0},
        {{"", "0"}, "", 0},
        {{"--", "-MISSING", "0"}, "", 0},
        {{"MISSING", "0", "--"}, "", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments;
        for (const auto& argument : c.arguments) {
            arguments.push_back(argument == "MISSING"    ? missing
                                : argument == "-MISSING" ? "-" + missing
                                                         : argument);
        }
        const ChildResult result = run(program(arguments));
        const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.front();
        EXPECT_EQ(result.err, c.err) << shown;
        EXPECT_EQ(result.out, c.out) << shown;
        EXPECT_EQ(result.exit_status, c.status) << shown;
    }
}

TEST(Program, UsageNamesTheProgramAsInvoked) {
    for (const auto& [argument0, name] :
         std::vector<std::pair<std::string, std::string>>{{"/opt/bin/om", "om"},
                                                          {"/opt/bin/\xff", "ownership_mender"},
                                                          {"", "ownership_mender"}}) {
        ProgramRun help = program({"--help"});
        help.argv[0] = argument0;
        EXPECT_EQ(run(help).out.substr(0, 8 + name.size()), "Usage: " + name + " ");
    }
    ProgramRun empty = program({});
    empty.argv.clear();
    const ChildResult result = run(empty);
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_NE(result.err.find("\nUsage: ownership_mender <PATH> <UID>\n"), std::string::npos);
}

// Styled texts as a terminal receives them: every style is closed again with ESC[0m.
const std::string kStyledRefusal =
    "\x1b[1m\x1b[31merror:\x1b[0m invalid value '\x1b[33mabc\x1b[0m' for '\x1b[1m<UID>\x1b[0m': "
    "invalid digit found in string\n\nFor more information, try '\x1b[1m--help\x1b[0m'.\n";
const std::string kStyledHelp =
    "\x1b[1m\x1b[4mUsage:\x1b[0m \x1b[1mownership_mender\x1b[0m <PATH> <UID>\n\n"
    "\x1b[1m\x1b[4mArguments:\x1b[0m\n  <PATH>\n  <UID>\n\n\x1b[1m\x1b[4mOptions:\x1b[0m\n"
    "  \x1b[1m-h, --help\x1b[0m  Print help\n";

TEST(Program, ColourFollowsEnvironmentAndStream) {
    struct Case {
        std::vector<std::string> env;
        bool terminal;
        bool styled;
    };
    const Case cases[] = {
        {{}, false, false},
        {{}, true, false},
        {{"TERM=xterm-256color"}, true, true},
        {{"TERM=xterm-256color"}, false, false},
        {{"TERM=dumb"}, true, false},
        {{"TERM=dumb", "CI="}, true, true},
        {{"CLICOLOR=1"}, true, true},
        {{"CLICOLOR=0", "TERM=xterm"}, true, false},
        {{"CLICOLOR_FORCE=1"}, false, true},
        {{"CLICOLOR_FORCE="}, false, false},
        {{"NO_COLOR=1", "CLICOLOR_FORCE=1", "TERM=xterm"}, true, false},
        {{"NO_COLOR=", "TERM=xterm"}, true, true},
    };
    for (const auto& c : cases) {
        ProgramRun refusal = program({"/data", "abc"}, c.env);
        refusal.stderr_kind = c.terminal ? StreamKind::terminal : StreamKind::pipe;
        ProgramRun help = program({"-h"}, c.env);
        help.stdout_kind = c.terminal ? StreamKind::terminal : StreamKind::pipe;
        const ChildResult refused = run(refusal);
        const ChildResult helped = run(help);
        const std::string shown = c.env.empty() ? "(empty)" : c.env.front();
        EXPECT_EQ(refused.err, c.styled ? kStyledRefusal
                                        : invalid_uid("abc", "invalid digit found in string"))
            << shown;
        EXPECT_EQ(helped.out, c.styled ? kStyledHelp : kHelp) << shown;
        EXPECT_EQ(refused.exit_status, 2);
        EXPECT_EQ(helped.exit_status, 0);
    }
}

TEST(Program, WriteErrorsAreIgnored) {
    ProgramRun help = program({"--help"});
    help.stdout_kind = StreamKind::broken_pipe;
    ProgramRun refusal = program({"-x"});
    refusal.stderr_kind = StreamKind::broken_pipe;
    EXPECT_EQ(run(help).exit_status, 0);
    EXPECT_EQ(run(refusal).exit_status, 2);
}

TEST(Program, ClosedStandardDescriptors) {
    for (const auto& [arguments, status] :
         std::vector<std::pair<std::vector<std::string>, int>>{{{"--help"}, 0}, {{"-x"}, 2}}) {
        ProgramRun closed = program(arguments);
        closed.stdin_kind = StreamKind::closed;
        closed.stdout_kind = StreamKind::closed;
        closed.stderr_kind = StreamKind::closed;
        EXPECT_EQ(run(closed).exit_status, status);
    }
}

TEST(Program, WalkIsSilentAndChangesTheTree) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "changing owners needs root";
    }
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    ASSERT_EQ(::mkdir(d.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((d + "/sub").c_str(), 0755), 0);
    test_support::make_file(d + "/sub/file");
    ASSERT_EQ(::symlink(".", (d + "/sub/loop").c_str()), 0);
    for (const StreamKind kind : {StreamKind::pipe, StreamKind::closed}) {
        ProgramRun walk = program({d, kind == StreamKind::pipe ? "4321" : "4322"});
        walk.stdin_kind = kind == StreamKind::pipe ? StreamKind::dev_null : kind;
        walk.stdout_kind = kind;
        walk.stderr_kind = kind;
        const ChildResult result = run(walk);
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        const uid_t expected = kind == StreamKind::pipe ? 4321 : 4322;
        for (const auto& path : {d, d + "/sub", d + "/sub/file"}) {
            EXPECT_EQ(test_support::owner_of(path).uid, expected) << path;
        }
    }
}

}  // namespace

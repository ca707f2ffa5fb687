// The program against hostile command lines and standard streams: huge, non-UTF-8, empty and
// numerous arguments, "-" and "--" anywhere, and streams that are closed or lead nowhere. Every
// case gets exactly one answer, the right status, and no crash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_under_test.h"
#include "test_support/child_process.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ChildResult;
using test_support::ProgramRun;
using test_support::StreamKind;

using program_under_test::kHelp;
using program_under_test::program;
using program_under_test::run;

const std::string kUsage = "\n" + program_under_test::kUsageLine;
const std::string kMore = program_under_test::kMoreInformation;
const std::string kNotUtf8 =
    "error: invalid UTF-8 was detected in one or more arguments\n" + kUsage + kMore;

std::string unexpected(const std::string& argument, bool tip) {
    std::string text = "error: unexpected argument '" + argument + "' found\n";
    if (tip) {
        text += "\n  tip: to pass '" + argument + "' as a value, use '-- " + argument + "'\n";
    }
    return text + kUsage + kMore;
}

struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string err;
    std::string out{};
};

TEST(FaultInput, HostileCommandLines) {
    test_support::ScratchDirectory scratch;
    const std::string missing = scratch / "missing";
    const std::string huge_path(100'000, 'p');
    const std::string huge_uid(100'000, '7');
    const std::string huge_option = "--" + std::string(50'000, 'o');
    std::vector<std::string> many(10'000, "x");
    many[0] = missing;
    many[1] = "0";
    const Case cases[] = {
        // Very long arguments.
        {{huge_path, "0"}, 0, ""},
        {{missing, huge_uid},
         2,
         "error: invalid value '" + huge_uid +
             "' for '<UID>': number too large to fit in target type\n" + kMore},
        {{huge_option}, 2, unexpected(huge_option, true)},
        // Bytes that are not UTF-8 in each position.
        {{"\xff", "0"}, 2, kNotUtf8},
        {{missing, "\xc3"}, 2, kNotUtf8},
        {{missing, "0", "\xfe"}, 2, unexpected("\xEF\xBF\xBD", false)},
        {{"-\xff"}, 2, unexpected("-\xEF\xBF\xBD", true)},
        {{"--\xff\xfe=\xff"}, 2, unexpected("--\xEF\xBF\xBD\xEF\xBF\xBD", true)},
        // Many arguments: the first one too many is refused.
        {many, 2, unexpected("x", false)},
        // Empty strings in every position.
        {{"", ""},
         2,
         "error: invalid value '' for '<UID>': cannot parse integer from empty string\n" + kMore},
        {{"", "0", ""}, 2, unexpected("", false)},
        {{"", "0"}, 0, ""},
        // "-" and "--" in every position.
        {{"-"},
         2,
         "error: the following required arguments were not provided:\n  <UID>\n" + kUsage + kMore},
        {{"--"},
         2,
         "error: the following required arguments were not provided:\n  <PATH>\n  <UID>\n" +
             kUsage + kMore},
        {{"-", "-"},
         2,
         "error: invalid value '-' for '<UID>': invalid digit found in string\n" + kMore},
        {{"--", "--", "--"},
         2,
         "error: invalid value '--' for '<UID>': invalid digit found in string\n" + kMore},
        {{"--", "--", "0"}, 0, ""},
        {{missing, "--", "0"}, 0, ""},
        {{missing, "0", "--", "-"}, 2, unexpected("-", false)},
        {{missing, "0", "-"}, 2, unexpected("-", false)},
        {{"---"}, 2, unexpected("---", true)},
        {{"-", "0", "--help"}, 0, "", kHelp},
    };
    for (const auto& c : cases) {
        const ChildResult result = run(program(c.arguments));
        const std::string shown = c.arguments.empty() ? "" : c.arguments.front().substr(0, 20);
        EXPECT_EQ(result.exit_status, c.status) << shown;
        EXPECT_EQ(result.err, c.err) << shown;
        EXPECT_EQ(result.out, c.out) << shown;
    }
}

TEST(FaultInput, StreamsThatLeadNowhere) {
    struct StreamCase {
        std::vector<std::string> arguments;
        StreamKind out;
        StreamKind err;
        int status;
    };
    const StreamCase cases[] = {
        {{"--help"}, StreamKind::broken_pipe, StreamKind::pipe, 0},
        {{"--help"}, StreamKind::closed, StreamKind::closed, 0},
        {{"-x"}, StreamKind::pipe, StreamKind::broken_pipe, 2},
        {{"-x"}, StreamKind::pipe, StreamKind::closed, 2},
        {{"/nonexistent/ownership_mender", "0"},
         StreamKind::broken_pipe,
         StreamKind::broken_pipe,
         0},
    };
    for (const auto& c : cases) {
        ProgramRun closed = program(c.arguments);
        closed.stdin_kind = StreamKind::closed;
        closed.stdout_kind = c.out;
        closed.stderr_kind = c.err;
        const ChildResult result = run(closed);
        EXPECT_EQ(result.exit_status, c.status) << c.arguments.front();
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
}

}  // namespace

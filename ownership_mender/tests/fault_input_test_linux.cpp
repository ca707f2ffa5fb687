// The program against logging set-ups that make no sense and log streams that lead nowhere.
// Log lines need a system library that lacks entry points: on Linux a variant of the stand-in,
// put in place with LD_LIBRARY_PATH.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "program_under_test.h"
#include "test_support/child_process.h"

namespace {

using test_support::ChildResult;
using test_support::ProgramRun;
using test_support::StreamKind;

using program_under_test::kHelp;
using program_under_test::program;
using program_under_test::run;

// Runs with a system library that lacks four optional entry points, so that start-up logs four
// event lines before anything else happens.
ProgramRun logging_program(const std::vector<std::string>& arguments,
                           std::vector<std::string> env) {
    ProgramRun run = program(arguments);
    run.env = std::move(env);
    run.env.push_back("LD_LIBRARY_PATH=" + std::string(STANDIN_VARIANTS) + "/missing_optional");
    return run;
}

const std::regex kFourEventLines(
    "([0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ERRO main          \\[[^\\]]+\\] event: "
    "load_syscall_symbol_error, symbol: \"[a-z_]+\", error: \"[^\"]+\"\n){4}");

TEST(FaultInput, LoggingEnvironmentThatMakesNoSense) {
    struct EnvironmentCase {
        std::vector<std::string> env;
        bool to_stderr;
    };
    const EnvironmentCase cases[] = {
        {{"TZ=Not/A_Zone"}, false},
        {{"TZ=:/nonexistent/zoneinfo"}, false},
        {{"TZ="}, false},
        {{"TZ=UTC\xff"}, false},
        {{"RUST_LOG=\xff\xfe"}, false},
        {{"RUST_LOG=error\xff"}, false},
        {{"RUST_LOG_EVENTS_TO_STDERR=\xff"}, false},
        {{"RUST_LOG_EVENTS_TO_STDERR=1\xc3"}, false},
        {{"RUST_LOG_EVENTS_TO_STDERR=\xc3\xa9"}, true},
    };
    for (const auto& c : cases) {
        const ChildResult result = run(logging_program({"--help"}, c.env));
        EXPECT_EQ(result.exit_status, 0) << c.env.front();
        const std::string& lines = c.to_stderr ? result.err : result.out;
        const std::string& other = c.to_stderr ? result.out : result.err;
        ASSERT_TRUE(lines.size() >= 4) << c.env.front();
        const std::string logged =
            c.to_stderr ? lines : lines.substr(0, lines.size() - kHelp.size());
        EXPECT_TRUE(std::regex_match(logged, kFourEventLines)) << c.env.front() << "\n" << lines;
        EXPECT_EQ(other, c.to_stderr ? kHelp : "") << c.env.front();
    }
}

TEST(FaultInput, LogStreamThatLeadsNowhere) {
    // A reader that has gone makes the first line's write fail: a fatal stop, nothing else.
    ProgramRun broken = logging_program({"--help"}, {});
    broken.stdout_kind = StreamKind::broken_pipe;
    const ChildResult stopped = run(broken);
    EXPECT_EQ(stopped.exit_status, 101);
    EXPECT_TRUE(std::regex_match(
        stopped.err,
        std::regex("\nthread 'main' \\(" + std::to_string(stopped.pid) +
                   "\\) panicked at [a-z_/]+\\.cpp:[0-9]+:[0-9]+:\n"
                   "slog::Fuse Drain: Os \\{ code: 32, kind: BrokenPipe, message: \"Broken "
                   "pipe\" \\}\nnote: .*\n")))
        << stopped.err;

    // Sent to standard error instead, the lines fail there just the same; help never comes.
    ProgramRun broken_err = logging_program({"--help"}, {"RUST_LOG_EVENTS_TO_STDERR="});
    broken_err.stderr_kind = StreamKind::broken_pipe;
    const ChildResult stopped_err = run(broken_err);
    EXPECT_EQ(stopped_err.exit_status, 101);
    EXPECT_EQ(stopped_err.out, "");

    // A closed standard output is /dev/null by then: the lines vanish and the run goes on.
    ProgramRun closed = logging_program({"/nonexistent/ownership_mender", "0"}, {});
    closed.stdout_kind = StreamKind::closed;
    const ChildResult walked = run(closed);
    EXPECT_EQ(walked.exit_status, 0);
    EXPECT_EQ(walked.err, "");

    // Nothing logged, nothing written: a broken pipe on both streams does not matter.
    ProgramRun quiet = logging_program({"/nonexistent/ownership_mender", "0"}, {"RUST_LOG=crit"});
    quiet.stdout_kind = StreamKind::broken_pipe;
    quiet.stderr_kind = StreamKind::broken_pipe;
    EXPECT_EQ(run(quiet).exit_status, 0);
}

}  // namespace

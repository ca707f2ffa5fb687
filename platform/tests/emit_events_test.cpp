// The platform events end to end: a program that emits both events on its main thread, run
// with a controlled environment; exact lines on the chosen stream, exit statuses, and the
// fatal stop when the log stream refuses bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "test_support/child_process.h"

namespace {

using test_support::ChildResult;
using test_support::ProgramRun;
using test_support::StreamKind;

// Line number of the statement in the emitting program marked with `marker`.
int line_of(const std::string& marker) {
    std::ifstream source(EMIT_EVENTS_SOURCE);
    std::string text;
    for (int number = 1; std::getline(source, text); ++number) {
        if (text.find("// emit: " + marker) != std::string::npos) {
            return number;
        }
    }
    ADD_FAILURE() << "no marker " << marker;
    return 0;
}

ChildResult emit(std::vector<std::string> env, StreamKind out = StreamKind::pipe) {
    ProgramRun run;
    run.program = EMIT_EVENTS_PROGRAM;
    run.argv = {"emit_events"};
    run.env = std::move(env);
    run.stdout_kind = out;
    ChildResult result = test_support::run_program(run);
    EXPECT_FALSE(result.timed_out);
    return result;
}

// The two lines with each time replaced by a pattern.
std::regex expected_lines() {
    const std::string file = "\\[platform/tests/emit_events_main\\.cpp:";
    const std::string time = "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}";
    return std::regex(
        time + " ERRO main          " + file + std::to_string(line_of("symbol error")) +
        "\\] event: load_syscall_symbol_error, symbol: \"renameatx_np\", "
        "error: null\n" +
        time + " ERRO main          " + file + std::to_string(line_of("default broken")) +
        "\\] event: load_syscall_find_default_broken, error: "
        "\"dlsym\\(RTLD_DEFAULT, \\\\\"getattrlistat\\\\\"\\): symbol not "
        "found\"\n");
}

TEST(EmitEvents, LinesOnStandardOutputByDefault) {
    const ChildResult result = emit({"TZ=UTC"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(std::regex_match(result.out, expected_lines())) << result.out;
    EXPECT_EQ(result.err, "");
}

TEST(EmitEvents, LinesOnStandardErrorWhenAsked) {
    for (const std::string setting :
         {"RUST_LOG_EVENTS_TO_STDERR=", "RUST_LOG_EVENTS_TO_STDERR=0"}) {
        const ChildResult result = emit({"TZ=UTC", setting});
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(std::regex_match(result.err, expected_lines())) << result.err;
    }
}

TEST(EmitEvents, NothingAtLevelCritical) {
    for (const std::string level : {"RUST_LOG=critical", "RUST_LOG=CRIT", "RUST_LOG=c"}) {
        const ChildResult result = emit({"TZ=UTC", level, "RUST_LOG_EVENTS_TO_STDERR=1"});
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
    const ChildResult warning = emit({"TZ=UTC", "RUST_LOG=warning"});
    EXPECT_TRUE(std::regex_match(warning.out, expected_lines())) << warning.out;
}

TEST(EmitEvents, TimeFollowsTz) {
    auto minutes_of_day = [](const ChildResult& result) {
        const std::string& out = result.out;
        EXPECT_GE(out.size(), 12u);
        if (out.size() < 12) {
            return 0;
        }
        return std::stoi(out.substr(0, 2)) * 60 + std::stoi(out.substr(3, 2));
    };
    const int utc = minutes_of_day(emit({"TZ=UTC"}));
    const int india = minutes_of_day(emit({"TZ=IST-05:30"}));
    const int difference = ((india - utc) % 1440 + 1440) % 1440;
    // The two runs may straddle a minute.
    EXPECT_TRUE(difference == 330 || difference == 331) << difference;
}

TEST(EmitEvents, ARefusingStreamStopsTheProgramAtTheFirstLine) {
    const ChildResult broken = emit({"TZ=UTC"}, StreamKind::broken_pipe);
    EXPECT_EQ(broken.exit_status, 101);
    const std::regex report(
        "\nthread 'main' \\([0-9]+\\) panicked at "
        "events/src/logging/text_drain\\.cpp:[0-9]+:[0-9]+:\n"
        "slog::Fuse Drain: Os \\{ code: 32, kind: BrokenPipe, message: \"Broken pipe\" \\}\n"
        "note: run with `OWNERSHIP_MENDER_BACKTRACE=1` environment variable to display a "
        "backtrace\n");
    EXPECT_TRUE(std::regex_match(broken.err, report)) << broken.err;

    // A device that is always full: Linux has one, macOS does not.
    if (::access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    ProgramRun run;
    run.program = EMIT_EVENTS_PROGRAM;
    run.argv = {"emit_events"};
    run.env = {"TZ=UTC"};
    run.before_exec = [] {
        const int full = ::open("/dev/full", O_WRONLY);
        if (full >= 0) {
            ::dup2(full, STDOUT_FILENO);
        }
    };
    const ChildResult full = test_support::run_program(run);
    EXPECT_EQ(full.exit_status, 101);
    EXPECT_NE(full.err.find("\nslog::Fuse Drain: Os { code: 28, kind: StorageFull, message: "
                            "\"No space left on device\" }\n"),
              std::string::npos)
        << full.err;
}

}  // namespace

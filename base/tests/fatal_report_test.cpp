// The fatal report's exact form, its exit status, and its use from threads other than main.
#include "base/fatal_report.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <utility>

#include "base/result.h"
#include "base/source_location.h"
#include "base/thread_identity.h"
#include "base/write_all.h"
#include "test_support/child_process.h"

namespace {

// When positive, this test program's writev writes at most this many bytes to standard error
// per call, and fails the first call with EINTR: a report must still come out whole.
std::size_t write_at_most = 0;
bool interrupt_next = false;

}  // namespace

// Declared as the system declares it: noexcept in glibc's header, not in macOS's.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): glibc names it iovec
extern "C" ssize_t writev(int fd, const iovec* pieces,
                          int count) noexcept(noexcept(::writev(fd, pieces, count))) {
    using Writev = ssize_t (*)(int, const iovec*, int);
    static const auto system_writev = reinterpret_cast<Writev>(::dlsym(RTLD_NEXT, "writev"));
    if (write_at_most == 0 || fd != STDERR_FILENO || count <= 0) {
        return system_writev(fd, pieces, count);
    }
    if (interrupt_next) {
        interrupt_next = false;
        errno = EINTR;
        return -1;
    }
    // The first bytes of the pieces, up to the limit: a piece may be cut anywhere.
    std::array<iovec, 64> taken{};
    std::size_t used = 0;
    for (std::size_t left = write_at_most; used < static_cast<std::size_t>(count) &&
                                           used < taken.size() && left != 0;
         ++used) {
        taken[used] = pieces[used];
        taken[used].iov_len = std::min(taken[used].iov_len, left);
        left -= taken[used].iov_len;
    }
    return system_writev(fd, taken.data(), static_cast<int>(used));
}

namespace {

using test_support::run_function;

// Tells the test, on standard output, the id of the calling thread: on Linux the main thread's
// is the process id, on macOS a number of its own.
void tell_thread_id() {
    static_cast<void>(
        base::write_all(STDOUT_FILENO, std::to_string(base::current_thread_id()) + "\n"));
}

std::string told_thread_id(const test_support::ChildResult& result) {
    return result.out.substr(0, result.out.find('\n'));
}

std::string expected_report(const std::string& thread_id, const base::SourceLocation& where,
                            const std::string& message) {
    return "\nthread 'main' (" + thread_id + ") panicked at " + where.file_name() + ":" +
           std::to_string(where.line()) + ":" + std::to_string(where.column()) + ":\n" + message +
           "\nnote: run with `OWNERSHIP_MENDER_BACKTRACE=1` environment variable to display a "
           "backtrace\n";
}

TEST(FatalReport, ExactFormOnTheMainThread) {
    const base::SourceLocation where = base::SourceLocation::current();
    // Unset, "0" and empty all mean no backtrace.
    for (const char* backtrace : {static_cast<const char*>(nullptr), "0", ""}) {
        const auto result = run_function([&] {
            if (backtrace == nullptr) {
                ::unsetenv(base::kBacktraceVariable);
            } else {
                ::setenv(base::kBacktraceVariable, backtrace, 1);
            }
            tell_thread_id();
            base::fatal("could not set process policy", where);
        });
        const std::string label =
            backtrace == nullptr ? "unset" : "'" + std::string(backtrace) + "'";
        EXPECT_EQ(result.exit_status, 101) << label;
        const std::string id = told_thread_id(result);
        EXPECT_EQ(result.out, id + "\n") << label;
        EXPECT_EQ(result.err, expected_report(id, where, "could not set process policy")) << label;
        // The location names this file relative to the repository root.
        EXPECT_NE(result.err.find(" panicked at base/tests/fatal_report_test.cpp:"),
                  std::string::npos);
    }
}

TEST(FatalReport, ShortAndInterruptedWritesStillGiveTheWholeReport) {
    const base::SourceLocation where = base::SourceLocation::current();
    for (const std::size_t at_most : {1u, 3u, 7u, 40u}) {
        const auto result = run_function([&] {
            ::unsetenv(base::kBacktraceVariable);
            tell_thread_id();
            write_at_most = at_most;
            interrupt_next = true;
            base::fatal("could not set process policy", where);
        });
        EXPECT_EQ(result.exit_status, 101) << at_most;
        EXPECT_EQ(result.err,
                  expected_report(told_thread_id(result), where, "could not set process policy"))
            << at_most;
    }
}

TEST(FatalReport, DefaultLocationIsTheCallerAndDetailFollowsMessage) {
    const auto result = run_function([] {
        ::unsetenv(base::kBacktraceVariable);
        tell_thread_id();
        base::fatal("string has null embedded bytes", ": NulError(0, [0])");
    });
    const base::SourceLocation caller = base::SourceLocation::current();
    const std::regex form(
        "\nthread 'main' \\(" + told_thread_id(result) +
        "\\) panicked at base/tests/fatal_report_test\\.cpp:" + std::to_string(caller.line() - 2) +
        ":[0-9]+:\nstring has null embedded bytes: NulError\\(0, \\[0\\]\\)\n"
        "note: run with .*\n");
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_TRUE(std::regex_match(result.err, form)) << result.err;
}

TEST(FatalReport, NamesOtherThreadsAndEndsTheWholeProcess) {
    for (const bool named : {true, false}) {
        const auto result = run_function([named] {
            std::thread worker([named] {
                if (named) {
                    base::set_current_thread_name("walker");
                }
                base::fatal("boom");
            });
            worker.join();
            // Only reached if the fatal report failed to end the process.
            ::_exit(0);
        });
        EXPECT_EQ(result.exit_status, 101);
        const std::string name = named ? "walker" : "<unnamed>";
        EXPECT_TRUE(std::regex_search(
            result.err, std::regex("^\nthread '" + name + "' \\([0-9]+\\) panicked at ")))
            << result.err;
        EXPECT_EQ(result.err.find("(" + std::to_string(result.pid) + ")"), std::string::npos)
            << "a worker thread reports its own id, not the process id";
    }
}

TEST(FatalReport, BacktraceOnRequest) {
    const auto result = run_function([] {
        ::setenv(base::kBacktraceVariable, "1", 1);
        base::fatal("boom");
    });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_NE(result.err.find("\nboom\nstack backtrace:\n"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("note: run with"), std::string::npos);
}

TEST(FatalReport, ClosedStandardErrorStillEndsWith101) {
    const auto result = run_function([] {
        ::close(2);
        base::fatal("nobody hears this");
    });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_EQ(result.err, "");
}

TEST(FatalReport, ReadingTheAbsentSideOfAResult) {
    struct Failure {};
    const std::pair<std::function<void()>, std::string> misuses[] = {
        {[] { static_cast<void>(base::Result<int, Failure>(Failure{}).value()); },
         "read the value of a failed result"},
        {[] { static_cast<void>(base::Result<int, Failure>(7).error()); },
         "read the error of a success"},
        {[] { static_cast<void>(base::Result<void, Failure>().error()); },
         "read the error of a success"},
    };
    for (const auto& [misuse, message] : misuses) {
        const auto result = run_function(misuse);
        EXPECT_EQ(result.exit_status, 101);
        EXPECT_NE(result.err.find(":\n" + message + "\n"), std::string::npos) << result.err;
    }
}

}  // namespace

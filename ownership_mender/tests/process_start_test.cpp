// Start-up state: closed standard descriptors reopened on /dev/null, the descriptor limit
// raised, SIGPIPE ignored, and the main thread named "main" without renaming the process.
#include "ownership_mender/process_start.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "base/thread_identity.h"
#include "test_support/child_process.h"

namespace {

std::string target_of(int fd) {
    char target[256] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

TEST(ProcessStart, ReopensOnlyClosedDescriptors) {
    // Each row closes some of 0, 1, 2 first; the exit status says which checks failed.
    for (const std::vector<int>& closed : {std::vector<int>{0, 1, 2}, {1}, {0, 2}, {}}) {
        const auto result = test_support::run_function([&] {
            const std::string kept_out = target_of(1);
            for (const int fd : closed) {
                ::close(fd);
            }
            ownership_mender::start_process();
            int failures = 0;
            for (int fd = 0; fd <= 2; ++fd) {
                const bool was_closed = std::find(closed.begin(), closed.end(), fd) != closed.end();
                if (was_closed && target_of(fd) != "/dev/null") {
                    failures |= 1 << fd;
                }
            }
            if (std::find(closed.begin(), closed.end(), 1) == closed.end() &&
                target_of(1) != kept_out) {
                failures |= 8;
            }
            struct sigaction action {};
            ::sigaction(SIGPIPE, nullptr, &action);
            if (action.sa_handler != SIG_IGN) {
                failures |= 16;
            }
            if (base::current_thread_name() != std::optional<std::string_view>("main")) {
                failures |= 32;
            }
            ::_exit(failures);
        });
        EXPECT_EQ(result.exit_status, 0) << "closed " << closed.size();
    }
}

TEST(ProcessStart, RaisesTheDescriptorLimitToTheHardLimit) {
    const auto result = test_support::run_function([] {
        const rlimit low{64, 256};
        if (::setrlimit(RLIMIT_NOFILE, &low) != 0) {
            ::_exit(1);
        }
        ownership_mender::start_process();
        rlimit now{};
        ::getrlimit(RLIMIT_NOFILE, &now);
        ::_exit(now.rlim_cur == 256 && now.rlim_max == 256 ? 0 : 2);
    });
    EXPECT_EQ(result.exit_status, 0);
}

TEST(ProcessStart, KeepsTheProcessName) {
    const auto result = test_support::run_function([] {
        char before[17] = {};
        char after[17] = {};
        ::prctl(PR_GET_NAME, before);
        ownership_mender::start_process();
        ::prctl(PR_GET_NAME, after);
        ::_exit(std::string(before) == after ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0);
}

}  // namespace

// Start-up state: closed standard descriptors reopened on /dev/null, the descriptor limit
// raised, SIGPIPE ignored, and the main thread named "main". (On Linux,
// process_start_test_linux.cpp checks that the process keeps its name.)
#include "ownership_mender/process_start.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>

#include "base/thread_identity.h"
#include "test_support/child_process.h"

namespace {

// The file an open descriptor or a path leads to, as device and inode; none for a closed one.
std::pair<dev_t, ino_t> file_of(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? std::pair(status.st_dev, status.st_ino)
                                     : std::pair<dev_t, ino_t>();
}

std::pair<dev_t, ino_t> file_of(const char* path) {
    struct stat status {};
    return ::stat(path, &status) == 0 ? std::pair(status.st_dev, status.st_ino)
                                      : std::pair<dev_t, ino_t>();
}

TEST(ProcessStart, ReopensOnlyClosedDescriptors) {
    // Each row closes some of 0, 1, 2 first; the exit status says which checks failed.
    for (const std::vector<int>& closed : {std::vector<int>{0, 1, 2}, {1}, {0, 2}, {}}) {
        const auto result = test_support::run_function([&] {
            const auto kept_out = file_of(1);
            const auto null_device = file_of("/dev/null");
            for (const int fd : closed) {
                ::close(fd);
            }
            ownership_mender::start_process();
            int failures = 0;
            for (int fd = 0; fd <= 2; ++fd) {
                const bool was_closed = std::find(closed.begin(), closed.end(), fd) != closed.end();
                if (was_closed && file_of(fd) != null_device) {
                    failures |= 1 << fd;
                }
            }
            if (std::find(closed.begin(), closed.end(), 1) == closed.end() &&
                file_of(1) != kept_out) {
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

}  // namespace

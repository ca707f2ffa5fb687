// Start-up on Linux: naming the main thread "main" leaves the process's own name alone.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <string>

#include "ownership_mender/process_start.h"
#include "test_support/child_process.h"

namespace {

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

// Thread ids on Linux are the kernel's: the main thread's is the process id, as ps shows it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>

#include "base/thread_identity.h"

namespace {

TEST(ThreadIdentity, MainThreadIdIsTheProcessId) {
    EXPECT_EQ(base::current_thread_id(), static_cast<std::uint64_t>(::getpid()));
}

}  // namespace

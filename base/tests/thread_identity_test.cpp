// Thread names and ids as the program reports them.
#include "base/thread_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>

namespace {

TEST(ThreadIdentity, MainThreadIsMainWithoutBeingNamed) {
    EXPECT_TRUE(base::is_main_thread());
    EXPECT_EQ(base::current_thread_name(), std::optional<std::string_view>("main"));
}

TEST(ThreadIdentity, OtherThreadsHaveNoNameUntilGivenOne) {
    std::optional<std::string> before;
    std::optional<std::string> after;
    bool main = true;
    std::uint64_t id = 0;
    std::thread worker([&] {
        main = base::is_main_thread();
        id = base::current_thread_id();
        if (auto name = base::current_thread_name()) {
            before = std::string(*name);
        }
        base::set_current_thread_name("a name longer than fifteen bytes");
        after = std::string(*base::current_thread_name());
    });
    worker.join();
    EXPECT_FALSE(main);
    EXPECT_NE(id, base::current_thread_id());
    EXPECT_NE(id, static_cast<std::uint64_t>(::getpid()));
    EXPECT_EQ(before, std::nullopt);
    EXPECT_EQ(after, "a name longer than fifteen bytes");
}

}  // namespace

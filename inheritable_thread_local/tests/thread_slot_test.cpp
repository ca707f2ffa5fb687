// Per-thread slots: separate values per thread, nested reads, the fatal borrow conflicts, the
// life states and the release of values when their thread ends.
#include "inheritable_thread_local/thread_slot.h"
#include "inheritable_thread_local/testing.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "test_support/child_process.h"

namespace {

namespace itl = inheritable_thread_local;
using test_support::run_function;

using Shared = std::shared_ptr<int>;

constinit thread_local itl::SlotStorage<Shared> number_storage;
constinit const itl::ThreadSlot<Shared> NUMBER{
    []() noexcept -> itl::SlotStorage<Shared>& { return number_storage; }};

constinit thread_local itl::SlotStorage<std::string> word_storage;
constinit const itl::ThreadSlot<std::string> WORD{
    []() noexcept -> itl::SlotStorage<std::string>& { return word_storage; }};

const char kSlotSource[] = "inheritable_thread_local/src/lib/slot_core.cpp:";

void expect_fatal(const test_support::ChildResult& result, const std::string& message) {
    EXPECT_EQ(result.exit_status, 101) << result.err;
    EXPECT_NE(result.err.find(std::string(") panicked at ") + kSlotSource), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(":\n" + message + "\n"), std::string::npos) << result.err;
}

TEST(ThreadSlot, EachThreadSeesItsOwnValueAndStartsEmpty) {
    const auto result = run_function([] {
        itl::replace(NUMBER, std::optional<Shared>(std::make_shared<int>(7)));
        bool other_saw_empty = false;
        std::thread other([&] {
            other_saw_empty =
                itl::with(NUMBER, [](const Shared* value) { return value == nullptr; });
            itl::replace(NUMBER, std::optional<Shared>(std::make_shared<int>(8)));
        });
        other.join();
        const int mine = itl::with(NUMBER, [](const Shared* value) { return **value; });
        ::_exit(other_saw_empty && mine == 7 ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0) << result.err;
}

TEST(ThreadSlot, ReplaceReturnsThePreviousValue) {
    const auto result = run_function([] {
        const auto first = itl::replace(WORD, std::optional<std::string>("first"));
        const auto second = itl::replace(WORD, std::optional<std::string>("second"));
        const auto cleared = itl::replace(WORD, std::optional<std::string>());
        const bool now_empty = itl::with(WORD, [](const std::string* value) { return !value; });
        ::_exit(!first && second == "first" && cleared == "second" && now_empty ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0) << result.err;
}

TEST(ThreadSlot, NestedReadsSeeTheSameValueAndLeaveTheSlotFree) {
    const auto result = run_function([] {
        itl::replace(WORD, std::optional<std::string>("outer"));
        const bool same = itl::with(WORD, [](const std::string* outer) {
            return itl::with(WORD, [&](const std::string* inner) {
                return itl::with(WORD, [&](const std::string* innermost) {
                    return outer == inner && inner == innermost && *outer == "outer";
                });
            });
        });
        // A write needs the count back at zero; a leaked reader would make it fatal.
        itl::replace(WORD, std::optional<std::string>("after"));
        ::_exit(same ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
}

TEST(ThreadSlot, ExceptionsLeaveTheSlotFreeAndKeepTheValue) {
    const auto result = run_function([] {
        itl::replace(WORD, std::optional<std::string>("kept"));
        for (int round = 0; round < 2; ++round) {
            try {
                if (round == 0) {
                    itl::with(WORD,
                              [](const std::string*) -> int { throw std::runtime_error("r"); });
                } else {
                    itl::with_mut(WORD, [](std::optional<std::string>& value) -> int {
                        *value = "changed";
                        throw std::runtime_error("w");
                    });
                }
            } catch (const std::runtime_error&) {
            }
        }
        const auto now = itl::replace(WORD, std::optional<std::string>());
        ::_exit(now == "changed" ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0) << result.err;
}

TEST(ThreadSlotBorrow, ConflictingAccessIsFatal) {
    expect_fatal(run_function([] {
                     itl::with_mut(WORD, [](std::optional<std::string>&) {
                         itl::with(WORD, [](const std::string*) {});
                     });
                 }),
                 "RefCell already mutably borrowed");
    expect_fatal(run_function([] {
                     itl::with(WORD, [](const std::string*) {
                         itl::replace(WORD, std::optional<std::string>("x"));
                     });
                 }),
                 "RefCell already borrowed");
    expect_fatal(run_function([] {
                     itl::with_mut(WORD, [](std::optional<std::string>&) {
                         itl::replace(WORD, std::optional<std::string>("x"));
                     });
                 }),
                 "RefCell already borrowed");
}

TEST(ThreadSlotBorrow, ReaderCountAtItsMaximumIsFatal) {
    expect_fatal(run_function([] {
                     itl::SlotCore core{std::numeric_limits<std::intptr_t>::max() - 1,
                                        itl::LifeState::alive};
                     itl::detail::acquire_read(core);  // reaches the maximum
                     itl::detail::acquire_read(core);  // one more is refused
                 }),
                 "RefCell already mutably borrowed");
}

TEST(ThreadSlotLife, CleanUpIsRegisteredOnlyByThreadsThatUseASlot) {
    struct Seen {
        std::size_t before = 99;
        std::size_t after = 99;
        itl::LifeState state_before{};
        itl::LifeState state_after{};
    };
    auto observe = [](int slots_used) {
        Seen seen;
        std::thread worker([&] {
            seen.before = itl::cleanups_registered_on_this_thread();
            seen.state_before = number_storage.core.state;
            for (int read = 0; read < 3; ++read) {
                if (slots_used >= 1) {
                    itl::with(NUMBER, [](const Shared*) {});
                }
                if (slots_used >= 2) {
                    itl::with(WORD, [](const std::string*) {});
                }
            }
            seen.after = itl::cleanups_registered_on_this_thread();
            seen.state_after = number_storage.core.state;
        });
        worker.join();
        return seen;
    };
    const Seen idle = observe(0);
    EXPECT_EQ(idle.before, 0u);
    EXPECT_EQ(idle.after, 0u);
    EXPECT_EQ(idle.state_after, itl::LifeState::not_yet_used);
    const Seen one = observe(1);
    EXPECT_EQ(one.state_before, itl::LifeState::not_yet_used);
    EXPECT_EQ(one.after, 1u);
    EXPECT_EQ(one.state_after, itl::LifeState::alive);
    EXPECT_EQ(observe(2).after, 2u);
}

TEST(ThreadSlotLife, ValuesAreReleasedWhenTheirThreadEnds) {
    auto value = std::make_shared<int>(3);
    const std::weak_ptr<int> watch = value;
    long count_while_running = 0;
    std::thread worker([&] {
        itl::replace(NUMBER, std::optional<Shared>(std::move(value)));
        count_while_running = watch.use_count();
    });
    worker.join();
    EXPECT_EQ(count_while_running, 1);
    EXPECT_TRUE(watch.expired());
}

// Reads NUMBER from its destructor, which runs during the thread's exit.
struct ReadsSlotWhenDestroyed {
    ~ReadsSlotWhenDestroyed() {
        itl::with(NUMBER, [](const Shared*) {});
    }
};

TEST(ThreadSlotLife, AccessDuringOrAfterCleanUpIsFatal) {
    const std::string message =
        "cannot access a Thread Local Storage value during or after destruction: AccessError";
    // After: this object is made before the slot's clean-up is registered, so it is destroyed
    // after the clean-up has run.
    expect_fatal(run_function([] {
                     std::thread worker([] {
                         thread_local ReadsSlotWhenDestroyed late;
                         itl::with(NUMBER, [](const Shared*) {});
                     });
                     worker.join();
                 }),
                 message);
    // During: the released value itself reaches back into the slot.
    expect_fatal(run_function([] {
                     std::thread worker([] {
                         auto reader = std::make_shared<ReadsSlotWhenDestroyed>();
                         itl::replace(NUMBER,
                                      std::optional<Shared>(Shared(std::move(reader), nullptr)));
                     });
                     worker.join();
                 }),
                 message);
}

}  // namespace

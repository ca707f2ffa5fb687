// Borrow checks and thread-exit clean-up for per-thread slots. A thread's clean-up list is a
// thread_local object created at its first registration, so a thread that never uses a slot
// registers nothing with the runtime.
#include "inheritable_thread_local/slot_core.h"

#include <limits>
#include <vector>

#include "base/fatal_report.h"
#include "inheritable_thread_local/testing.h"

namespace inheritable_thread_local {
namespace {

struct CleanupEntry {
    detail::CleanupFunction function;
    void* argument;
};

// Runs the calling thread's clean-ups when the thread ends, the latest registered first. An
// entry added while the list is being run (a released value touching another slot for the
// first time) is run as well.
class ThreadExitList {
  public:
    ThreadExitList() = default;
    ThreadExitList(const ThreadExitList&) = delete;
    ThreadExitList& operator=(const ThreadExitList&) = delete;
    ~ThreadExitList() {
        while (!entries_.empty()) {
            const CleanupEntry entry = entries_.back();
            entries_.pop_back();
            entry.function(entry.argument);
        }
    }

    void add(CleanupEntry entry) { entries_.push_back(entry); }

  private:
    std::vector<CleanupEntry> entries_;
};

constinit thread_local std::size_t registered_cleanups = 0;

void register_cleanup(CleanupEntry entry) {
    thread_local ThreadExitList list;
    list.add(entry);
    ++registered_cleanups;
}

}  // namespace

// Only the tests ask; the count costs one increment per slot and thread.
std::size_t cleanups_registered_on_this_thread() {
    return registered_cleanups;
}

namespace detail {

void enter(SlotCore& core, CleanupFunction cleanup, void* argument) {
    if (core.state == LifeState::alive) {
        return;
    }
    if (core.state == LifeState::destroyed) {
        base::fatal("cannot access a Thread Local Storage value during or after destruction: ",
                    "AccessError");
    }
    register_cleanup({cleanup, argument});
    core.state = LifeState::alive;
}

void acquire_read(SlotCore& core) {
    if (core.borrow_count < 0 || core.borrow_count == std::numeric_limits<std::intptr_t>::max()) {
        base::fatal("RefCell already mutably borrowed");
    }
    ++core.borrow_count;
}

void release_read(SlotCore& core) {
    --core.borrow_count;
}

void acquire_write(SlotCore& core) {
    if (core.borrow_count != 0) {
        base::fatal("RefCell already borrowed");
    }
    core.borrow_count = -1;
}

void release_write(SlotCore& core) {
    core.borrow_count = 0;
}

}  // namespace detail
}  // namespace inheritable_thread_local

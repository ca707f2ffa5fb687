// The type-independent part of a per-thread slot: its borrow count and life state on one
// thread, the checks that guard every access, and the registration of thread-exit clean-up.
// Touched only by the thread that owns the instance, so nothing here locks or is atomic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace inheritable_thread_local {

enum class LifeState : unsigned char { not_yet_used, alive, destroyed };

// One slot's bookkeeping on one thread. Zero borrow count: free; positive: that many readers
// inside; negative: a writer holds the slot.
struct SlotCore {
    std::intptr_t borrow_count = 0;
    LifeState state = LifeState::not_yet_used;
};

namespace detail {

using CleanupFunction = void (*)(void* argument);

// Gives access to the slot instance: on first use it becomes alive and cleanup(argument) is
// registered to run when the thread ends. Fatal once the thread's clean-up of it has begun.
void enter(SlotCore& core, CleanupFunction cleanup, void* argument);

// Shared borrow. Fatal while a writer holds the slot or with the reader count at its maximum.
void acquire_read(SlotCore& core);
void release_read(SlotCore& core);

// Exclusive borrow. Fatal while any reader or writer is inside.
void acquire_write(SlotCore& core);
void release_write(SlotCore& core);

}  // namespace detail
}  // namespace inheritable_thread_local

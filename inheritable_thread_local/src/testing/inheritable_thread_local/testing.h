// Write access to per-thread slots, and what the tests observe of a thread's clean-ups. The
// program itself only reads its slots; tests install loggers with these. Same thread rules as
// thread_slot.h: a slot is touched only by its own thread.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include "inheritable_thread_local/thread_slot.h"

namespace inheritable_thread_local {

// Clean-ups the calling thread has registered with the runtime so far (one per slot it used).
std::size_t cleanups_registered_on_this_thread();

namespace detail {

using WriteBorrow = ScopedBorrow<acquire_write, release_write>;

}  // namespace detail

// Write access: calls function with the calling thread's value as a std::optional<T>& that it
// may change, and returns its result. Any read or write of the slot meanwhile is fatal.
template <typename T, typename Function>
decltype(auto) with_mut(const ThreadSlot<T>& slot, Function&& function) {
    SlotStorage<T>& storage = slot.instance();
    const detail::WriteBorrow borrow(storage.core);
    // The value is held outside the storage while function runs and put back afterwards,
    // also when function throws.
    struct PutBack {
        SlotStorage<T>& storage;
        std::optional<T> value;
        ~PutBack() { storage.put(std::move(value)); }
    } held{storage, storage.take()};
    return std::forward<Function>(function)(held.value);
}

// Puts value in the calling thread's instance and returns what was there; the previous value
// is released by the caller, outside the write.
template <typename T>
std::optional<T> replace(const ThreadSlot<T>& slot, std::optional<T> value) {
    return with_mut(slot, [&](std::optional<T>& current) {
        std::swap(current, value);
        return std::move(value);
    });
}

}  // namespace inheritable_thread_local

// Per-thread slots: each thread sees its own optional value in a slot, empty until the thread
// puts one there. Reads may nest; a write (see testing.h) excludes everything else. Values are
// released when their thread ends. A slot is touched only by its own thread: nothing here locks.
#pragma once

#include <new>
#include <optional>
#include <type_traits>
#include <utility>

#include "inheritable_thread_local/slot_core.h"

namespace inheritable_thread_local {

// One thread's instance of a slot. Trivially destructible and constant-initialised, so it
// exists from the thread's start without any call; the value lives in raw storage and is
// released by the slot's thread-exit clean-up, not by a destructor.
template <typename T>
class SlotStorage {
  public:
    SlotCore core;

    const T* get() const {
        return engaged_ ? std::launder(reinterpret_cast<const T*>(bytes_)) : nullptr;
    }

    std::optional<T> take() {
        std::optional<T> value;
        if (engaged_) {
            T* held = std::launder(reinterpret_cast<T*>(bytes_));
            value.emplace(std::move(*held));
            engaged_ = false;
            // Ending the moved-from value's lifetime is what a move leaves it fit for.
            held->~T();  // NOLINT(clang-analyzer-cplusplus.Move)
        }
        return value;
    }

    void put(std::optional<T>&& value) {
        if (value.has_value()) {
            ::new (static_cast<void*>(bytes_)) T(std::move(*value));
            engaged_ = true;
        }
    }

  private:
    alignas(T) unsigned char bytes_[sizeof(T)]{};
    bool engaged_ = false;
};

// A slot: a handle on the per-thread instances held in a thread_local SlotStorage<T>. Declare
// the storage as `constinit thread_local SlotStorage<T>` and pass a function that returns it.
template <typename T>
class ThreadSlot {
  public:
    using Storage = SlotStorage<T>;
    using StorageFunction = Storage& (*)() noexcept;

    constexpr explicit ThreadSlot(StorageFunction storage) : storage_(storage) {}
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // The calling thread's instance, alive from here on; fatal during or after its clean-up.
    Storage& instance() const {
        Storage& storage = storage_();
        detail::enter(storage.core, &clean_up, &storage);
        return storage;
    }

  private:
    // Thread-exit clean-up: marked destroyed before the value goes, so a released value that
    // reaches back into this slot stops the process instead of reading freed storage.
    static void clean_up(void* argument) {
        Storage& storage = *static_cast<Storage*>(argument);
        storage.core.state = LifeState::destroyed;
        storage.take();
    }

    StorageFunction storage_;
};

namespace detail {

// Holds one borrow of a slot for a scope: taken with Acquire, given back with Release, also when
// the scope is left by an exception.
template <void (*Acquire)(SlotCore&), void (*Release)(SlotCore&)>
class ScopedBorrow {
  public:
    explicit ScopedBorrow(SlotCore& core) : core_(core) { Acquire(core_); }
    ~ScopedBorrow() { Release(core_); }
    ScopedBorrow(const ScopedBorrow&) = delete;
    ScopedBorrow& operator=(const ScopedBorrow&) = delete;

  private:
    SlotCore& core_;
};

using ReadBorrow = ScopedBorrow<acquire_read, release_read>;

}  // namespace detail

// Read access: calls function once with the calling thread's value (nullptr when the slot is
// empty) and returns its result. The value cannot change while function runs.
template <typename T, typename Function>
decltype(auto) with(const ThreadSlot<T>& slot, Function&& function) {
    SlotStorage<T>& storage = slot.instance();
    const detail::ReadBorrow borrow(storage.core);
    return std::forward<Function>(function)(storage.get());
}

}  // namespace inheritable_thread_local

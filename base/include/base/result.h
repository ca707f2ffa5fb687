// The one result type of fallible library calls: a value of type T, or the error E that stopped
// the call. Like the standard's `expected`, which C++20 lacks. Reading the side that is not
// there is a broken contract and fatal. Plain value type; thread-safety is that of T and E.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/fatal_report.h"

namespace base {

template <typename T, typename E>
class [[nodiscard]] Result {
    // Both sides convert implicitly, so they must never be mistaken for each other.
    static_assert(!std::is_convertible_v<T, E> && !std::is_convertible_v<E, T>);

  public:
    Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
    Result(E error) : outcome_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit

    bool ok() const { return outcome_.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(checked(*this, true)); }
    T& value() & { return std::get<0>(checked(*this, true)); }
    T&& value() && { return std::get<0>(std::move(checked(*this, true))); }

    const E& error() const& { return std::get<1>(checked(*this, false)); }
    E& error() & { return std::get<1>(checked(*this, false)); }
    E&& error() && { return std::get<1>(std::move(checked(*this, false))); }

  private:
    template <typename Self>
    static auto& checked(Self& self, bool want_value) {
        if (self.ok() != want_value) {
            fatal(want_value ? "read the value of a failed result" : "read the error of a success");
        }
        return self.outcome_;
    }

    std::variant<T, E> outcome_;
};

// The outcome of a call that yields nothing on success.
template <typename E>
class [[nodiscard]] Result<void, E> {
  public:
    Result() = default;
    Result(E error) : error_(std::move(error)) {}  // NOLINT: implicit by design

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }

    const E& error() const& { return checked(*this); }
    E& error() & { return checked(*this); }
    E&& error() && { return std::move(checked(*this)); }

  private:
    template <typename Self>
    static auto& checked(Self& self) {
        if (self.ok()) {
            fatal("read the error of a success");
        }
        return *self.error_;
    }

    std::optional<E> error_;
};

}  // namespace base

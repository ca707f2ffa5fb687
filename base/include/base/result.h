// The one result type of fallible library calls: a value of type T, or the error E that stopped
// the call. Like the standard's `expected`, which C++20 lacks. Reading the side that is not
// there is a broken contract and fatal. Plain value type; thread-safety is that of T and E.
#pragma once

#include <cstddef>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/fatal_report.h"

namespace base {
namespace detail {

// Stops the process on a read of the side a Result does not hold. One copy for every Result.
[[noreturn]] inline void misread(bool value_wanted) {
    fatal(value_wanted ? "read the value of a failed result" : "read the error of a success");
}

}  // namespace detail

template <typename T, typename E>
class [[nodiscard]] Result {
    // Both sides convert implicitly, so they must never be mistaken for each other.
    static_assert(!std::is_convertible_v<T, E> && !std::is_convertible_v<E, T>);

  public:
    Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
    Result(E error) : outcome_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit

    bool ok() const { return outcome_.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return *side<0>(*this); }
    T& value() & { return *side<0>(*this); }
    T&& value() && { return std::move(*side<0>(*this)); }

    const E& error() const& { return *side<1>(*this); }
    E& error() & { return *side<1>(*this); }
    E&& error() && { return std::move(*side<1>(*this)); }

  private:
    // The side of self's outcome with index I (0: the value, 1: the error). Through get_if
    // rather than get, which has a throwing path that callers' checks would have to allow for.
    template <std::size_t I, typename Self>
    static auto* side(Self& self) {
        auto* held = std::get_if<I>(&self.outcome_);
        if (held == nullptr) {
            detail::misread(I == 0);
        }
        return held;
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
            detail::misread(false);
        }
        return *self.error_;
    }

    std::optional<E> error_;
};

}  // namespace base

// The kinds of value a key-value pair of a log record can carry, and their plain display texts.
// Values refer to texts the caller owns and live only as long as the logging call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

namespace events {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// Integers of pointer width, kept apart from the 64-bit kinds they share a type with.
struct PointerWidthSigned {
    std::intptr_t value;
};
struct PointerWidthUnsigned {
    std::uintptr_t value;
};

// The absent value (shown as "None") and the unit value (shown as "()").
struct Absent {};
struct Unit {};

// Text produced by formatting at the moment of use: the function appends the text to `out`
// and returns false when formatting fails. Refers to a function the caller owns.
using FormatFunction = std::function<bool(std::string& out)>;
struct Formatted {
    const FormatFunction* format;
};

using Value = std::variant<std::string_view, Formatted, std::int8_t, std::int16_t, std::int32_t,
                           std::int64_t, Int128, PointerWidthSigned, std::uint8_t, std::uint16_t,
                           std::uint32_t, std::uint64_t, UInt128, PointerWidthUnsigned, float,
                           double, bool, char32_t, Absent, Unit>;

// Appends the plain display text of `value` to `out`, with no quoting or escaping: text as it
// is, integers and floats in decimal, "true"/"false", a character as UTF-8, "None", "()".
// Returns false when a pre-formatted value fails to format.
bool append_display_text(const Value& value, std::string& out);

}  // namespace events

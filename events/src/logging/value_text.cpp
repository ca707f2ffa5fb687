// Display texts of values: integers and floats in decimal, characters in UTF-8.
#include "value_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "base/number_text.h"
#include "base/utf8.h"

namespace events {
namespace {

// 128-bit integers are not std::integral in standard C++, so base's decimal texts do not take
// them.
void append_unsigned_128(UInt128 number, std::string& out) {
    std::array<char, 40> digits{};
    std::size_t first = digits.size();
    do {
        digits[--first] = static_cast<char>('0' + static_cast<int>(number % 10));
        number /= 10;
    } while (number != 0);
    out.append(digits.data() + first, digits.size() - first);
}

void append_signed_128(Int128 number, std::string& out) {
    if (number < 0) {
        out += '-';
        // Negate in unsigned arithmetic so that the most negative value is exact.
        append_unsigned_128(UInt128(0) - static_cast<UInt128>(number), out);
    } else {
        append_unsigned_128(static_cast<UInt128>(number), out);
    }
}

// A decimal number in scientific form: `significand` written with `digits` digits, its first
// digit standing for 10^exponent.
struct Decimal {
    std::uint64_t significand;
    int digits;
    int exponent;
};

std::uint64_t power_of_ten(int exponent) {
    std::uint64_t power = 1;
    for (int i = 0; i < exponent; ++i) {
        power *= 10;
    }
    return power;
}

// The number of type Float that `decimal` reads back as. The C library reads and writes
// numbers by the "C" locale's rules here: the program never sets another locale.
template <typename Float>
Float read_back(const Decimal& decimal) {
    std::string text = base::decimal(decimal.significand);
    text += 'e';
    base::append_decimal(text, decimal.exponent - decimal.digits + 1);
    if constexpr (std::is_same_v<Float, float>) {
        return std::strtof(text.c_str(), nullptr);
    } else {
        return std::strtod(text.c_str(), nullptr);
    }
}

// The decimal of `digits` digits nearest to `number` (finite, not negative), ties to even.
Decimal nearest_decimal(double number, int digits) {
    std::array<char, 40> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.*e", digits - 1, number);
    const std::string_view written(text.data(), static_cast<std::size_t>(std::max(length, 0)));
    const std::size_t exponent_at = written.find('e');
    Decimal decimal{0, digits, 0};
    for (const char digit : written.substr(0, exponent_at)) {
        if (digit != '.') {
            decimal.significand = decimal.significand * 10 + static_cast<unsigned>(digit - '0');
        }
    }
    decimal.exponent = static_cast<int>(std::strtol(text.data() + exponent_at + 1, nullptr, 10));
    return decimal;
}

// The decimal of as many digits that is one unit of the last digit above or below.
Decimal step_decimal(Decimal decimal, bool up) {
    const std::uint64_t smallest = power_of_ten(decimal.digits - 1);
    if (up) {
        if (++decimal.significand == smallest * 10) {
            decimal.significand = smallest;
            ++decimal.exponent;
        }
    } else if (decimal.significand-- == smallest) {
        decimal.significand = smallest * 10 - 1;
        --decimal.exponent;
    }
    return decimal;
}

// The shortest decimal that reads back as `number` (finite, not negative); of several that
// short, the nearest. The nearest decimal of each length is tried, and when it reads back as
// another number, the one beside it on the other side of `number`: the only other candidate,
// as the numbers that read back as `number` form one interval around it.
template <typename Float>
Decimal shortest_decimal(Float number) {
    constexpr int kMaxDigits = std::numeric_limits<Float>::max_digits10;
    Decimal found{};
    for (int digits = 1;; ++digits) {
        const Decimal nearest = nearest_decimal(number, digits);
        const Float nearest_value = read_back<Float>(nearest);
        // With max_digits10 digits the nearest decimal always reads back.
        if (nearest_value == number || digits == kMaxDigits) {
            found = nearest;
            break;
        }
        const Decimal beside = step_decimal(nearest, nearest_value < number);
        if (read_back<Float>(beside) == number) {
            found = beside;
            break;
        }
    }
    while (found.digits > 1 && found.significand % 10 == 0) {
        found.significand /= 10;
        --found.digits;
    }
    return found;
}

// Shortest decimal text that reads back as the same number, never in exponent form. Written
// with the C library's correctly rounded conversions rather than the floating-point
// std::to_chars, which macOS's libc++ has only from macOS 13.4 on.
template <typename Float>
void append_float(Float number, std::string& out) {
    if (std::isnan(number)) {
        out += "NaN";
        return;
    }
    if (std::signbit(number)) {
        out += '-';
        number = -number;
    }
    if (std::isinf(number)) {
        out += "inf";
        return;
    }
    // From 2^digits up every number is whole, and the shortest text of a whole number without
    // an exponent is its exact value, which no other text of that length is nearer to (as
    // std::to_chars writes it: 1e23 as 99999999999999991611392).
    if (number >= std::ldexp(Float{1}, std::numeric_limits<Float>::digits)) {
        std::array<char, 320> text{};
        const int length =
            std::snprintf(text.data(), text.size(), "%.0f", static_cast<double>(number));
        out.append(text.data(), static_cast<std::size_t>(length));
        return;
    }
    const Decimal decimal = shortest_decimal(number);
    const base::DecimalText significand(decimal.significand);
    const std::string_view digits = significand.view();
    if (decimal.exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-decimal.exponent - 1), '0');
        out.append(digits);
    } else if (static_cast<std::size_t>(decimal.exponent) + 1 >= digits.size()) {
        out.append(digits);
        out.append(static_cast<std::size_t>(decimal.exponent) + 1 - digits.size(), '0');
    } else {
        const auto whole = static_cast<std::size_t>(decimal.exponent) + 1;
        out.append(digits.substr(0, whole));
        out += '.';
        out.append(digits.substr(whole));
    }
}

// Appends the display text of every kind of value but a pre-formatted one.
struct PlainText {
    std::string& out;

    void operator()(std::string_view text) const { out.append(text); }
    void operator()(const Formatted& /*formatted*/) const {}  // see append_display_text
    void operator()(Int128 number) const { append_signed_128(number, out); }
    void operator()(UInt128 number) const { append_unsigned_128(number, out); }
    void operator()(PointerWidthSigned number) const { base::append_decimal(out, number.value); }
    void operator()(PointerWidthUnsigned number) const { base::append_decimal(out, number.value); }
    void operator()(float number) const { append_float(number, out); }
    void operator()(double number) const { append_float(number, out); }
    void operator()(bool flag) const { out += flag ? "true" : "false"; }
    void operator()(char32_t character) const { base::append_utf8(out, character); }
    void operator()(Absent /*absent*/) const { out += "None"; }
    void operator()(Unit /*unit*/) const { out += "()"; }
    template <std::integral Integer>
    void operator()(Integer number) const {
        base::append_decimal(out, number);
    }
};

}  // namespace

bool append_display_text(const Value& value, std::string& out) {
    // Only a pre-formatted value can fail to give its text.
    if (const auto* formatted = std::get_if<Formatted>(&value)) {
        return formatted->format != nullptr && (*formatted->format)(out);
    }
    std::visit(PlainText{out}, value);
    return true;
}

}  // namespace events

// Plain display texts of key-value values, as the line formatter prints them.
#include "events/value.h"

#include <array>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace events {
namespace {

template <typename Integer>
void append_integer(Integer number, std::string& out) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    out.append(digits.data(), result.ptr);
}

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

// Shortest decimal text that reads back as the same number, never in exponent form.
template <typename Float>
void append_float(Float number, std::string& out) {
    if (std::isnan(number)) {
        out += "NaN";
        return;
    }
    if (std::isinf(number)) {
        out += number < 0 ? "-inf" : "inf";
        return;
    }
    std::array<char, 1100> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), number,
                                      std::chars_format::fixed);
    out.append(digits.data(), result.ptr);
}

void append_character(char32_t character, std::string& out) {
    auto code = static_cast<std::uint32_t>(character);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
    }
    auto byte = [](std::uint32_t bits) {
        return static_cast<char>(static_cast<unsigned char>(bits));
    };
    if (code < 0x80) {
        out += byte(code);
    } else if (code < 0x800) {
        out += byte(0xC0 | (code >> 6));
        out += byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += byte(0xE0 | (code >> 12));
        out += byte(0x80 | ((code >> 6) & 0x3F));
        out += byte(0x80 | (code & 0x3F));
    } else {
        out += byte(0xF0 | (code >> 18));
        out += byte(0x80 | ((code >> 12) & 0x3F));
        out += byte(0x80 | ((code >> 6) & 0x3F));
        out += byte(0x80 | (code & 0x3F));
    }
}

struct DisplayText {
    std::string& out;

    bool operator()(std::string_view text) const {
        out.append(text);
        return true;
    }
    bool operator()(const Formatted& formatted) const {
        return formatted.format != nullptr && (*formatted.format)(out);
    }
    bool operator()(Int128 number) const {
        append_signed_128(number, out);
        return true;
    }
    bool operator()(UInt128 number) const {
        append_unsigned_128(number, out);
        return true;
    }
    bool operator()(PointerWidthSigned number) const {
        append_integer(number.value, out);
        return true;
    }
    bool operator()(PointerWidthUnsigned number) const {
        append_integer(number.value, out);
        return true;
    }
    bool operator()(float number) const {
        append_float(number, out);
        return true;
    }
    bool operator()(double number) const {
        append_float(number, out);
        return true;
    }
    bool operator()(bool flag) const {
        out += flag ? "true" : "false";
        return true;
    }
    bool operator()(char32_t character) const {
        append_character(character, out);
        return true;
    }
    bool operator()(Absent) const {
        out += "None";
        return true;
    }
    bool operator()(Unit) const {
        out += "()";
        return true;
    }
    template <typename Integer>
    requires std::is_integral_v<Integer>
    bool operator()(Integer number) const {
        append_integer(number, out);
        return true;
    }
};

}  // namespace

bool append_display_text(const Value& value, std::string& out) {
    return std::visit(DisplayText{out}, value);
}

}  // namespace events

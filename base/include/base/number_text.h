// Numbers as text: decimal digits in storage of the caller's (no allocation, so the fatal report
// can use them too) and lower-case hexadecimal digits. Plain functions and values.
#pragma once

#include <array>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// The decimal text of an integer, held in the object itself.
class DecimalText {
  public:
    template <std::integral Integer>
    explicit DecimalText(Integer value) {
        const auto result = std::to_chars(digits_.data(), digits_.data() + digits_.size(), value);
        length_ = static_cast<std::size_t>(result.ptr - digits_.data());
    }

    std::string_view view() const { return {digits_.data(), length_}; }

  private:
    std::array<char, 24> digits_{};  // room for a sign and the 20 digits of 64 bits
    std::size_t length_ = 0;
};

template <std::integral Integer>
void append_decimal(std::string& out, Integer value) {
    out.append(DecimalText(value).view());
}

template <std::integral Integer>
std::string decimal(Integer value) {
    return std::string(DecimalText(value).view());
}

// The lower-case hexadecimal digit of the low four bits of value.
constexpr char hex_digit(unsigned value) {
    return "0123456789abcdef"[value & 0xFU];
}

}  // namespace base

// Describes a byte string that cannot become a C string because it holds a zero byte, in the
// form the program's fatal messages use: "NulError(INDEX, [B0, B1, ...])".
#pragma once

#include <string>
#include <string_view>

namespace base {

// Position of the first zero byte in bytes, or npos when there is none.
inline std::size_t first_nul(std::string_view bytes) {
    return bytes.find('\0');
}

// "NulError(" first zero byte's index ", [" every byte in decimal, ", "-separated "])".
// Precondition: bytes holds a zero byte.
std::string describe_nul_error(std::string_view bytes);

}  // namespace base

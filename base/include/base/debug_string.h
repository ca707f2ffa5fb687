// The debug form of a text, as the program's fatal messages show error texts: in double quotes,
// with the quote, the backslash, tab, carriage return, line feed and NUL as backslash escapes
// and every other non-printable character as \u{HEX} (lower-case). Invalid UTF-8 is first
// replaced by U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace base {

std::string debug_quoted(std::string_view text);

}  // namespace base

// UTF-8 checks and lossy conversion of byte strings, with the replacement rule of the Unicode
// standard's "maximal subpart" practice: each invalid sequence becomes one U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at the start of bytes, or 0 when it does not start with
// one. For an invalid start, *invalid_length (if given) receives the length of the maximal
// subpart to replace: at least 1, and the bytes of a truncated sequence at the end.
std::size_t valid_sequence_length(std::string_view bytes, std::size_t* invalid_length = nullptr);

bool is_valid_utf8(std::string_view bytes);

// bytes with every invalid sequence replaced by U+FFFD; valid input is returned unchanged.
std::string to_utf8_lossy(std::string_view bytes);

// Number of characters (code points) in valid UTF-8 text; each invalid sequence counts as one.
std::size_t count_characters(std::string_view bytes);

// The code point of one valid sequence, as valid_sequence_length measured it.
char32_t decode_sequence(std::string_view sequence);

// Appends the UTF-8 form of code_point; a surrogate or a value above U+10FFFF, which have none,
// becomes U+FFFD.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace base

// The quoted debug form of texts, as fatal messages show loader and stream errors.
#include "base/debug_string.h"

#include <algorithm>
#include <cstdint>

#include "base/number_text.h"
#include "base/utf8.h"

namespace base {
namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Characters shown escaped because they print nothing visible: controls, format characters,
// line and paragraph separators, private-use characters and noncharacters.
constexpr Range kNonPrintable[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},    {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},    {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},    {0x2066, 0x206F},
    {0xE000, 0xF8FF},   {0xFDD0, 0xFDEF},   {0xFEFF, 0xFEFF},    {0xFFF9, 0xFFFB},
    {0xFFFE, 0xFFFF},   {0x110BD, 0x110BD}, {0x1BCA0, 0x1BCA3},  {0x1D173, 0x1D17A},
    {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xF0000, 0x10FFFF},
};

bool printable(std::uint32_t code_point) {
    if ((code_point & 0xFFFE) == 0xFFFE) {
        return false;  // U+xFFFE and U+xFFFF of every plane
    }
    return std::ranges::none_of(kNonPrintable, [code_point](const Range& range) {
        return code_point >= range.first && code_point <= range.last;
    });
}

void append_escaped(std::string& out, std::string_view sequence) {
    const std::uint32_t code_point = decode_sequence(sequence);
    switch (code_point) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\0':
            out += "\\0";
            return;
        default:
            break;
    }
    if (printable(code_point)) {
        out += sequence;
        return;
    }
    char digits[8];
    std::size_t count = 0;
    std::uint32_t rest = code_point;
    do {
        digits[count++] = hex_digit(rest);
        rest >>= 4;
    } while (rest != 0);
    out += "\\u{";
    while (count > 0) {
        out += digits[--count];
    }
    out += '}';
}

}  // namespace

std::string debug_quoted(std::string_view text) {
    const std::string valid = to_utf8_lossy(text);
    const std::string_view rest(valid);
    std::string out = "\"";
    out.reserve(valid.size() + 2);
    std::size_t at = 0;
    while (at < rest.size()) {
        const std::size_t length = valid_sequence_length(rest.substr(at));
        append_escaped(out, rest.substr(at, length));
        at += length;
    }
    out += '"';
    return out;
}

}  // namespace base

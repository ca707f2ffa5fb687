// Reading back the quoted debug form of a text, for fuzz targets that check it round-trips.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

inline void append_code_point(std::string& out, std::uint32_t value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | value >> 6);
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | value >> 12);
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | value >> 18);
        out += static_cast<char>(0x80 | (value >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

// Reads the quoted part of a debug form back into text.
inline std::string unescape(std::string_view quoted) {
    std::string out;
    for (std::size_t at = 0; at < quoted.size(); ++at) {
        const char c = quoted[at];
        check(c != '"');
        if (c != '\\') {
            out += c;
            continue;
        }
        check(++at < quoted.size());
        switch (quoted[at]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case '0':
                out += '\0';
                break;
            case 'u': {
                check(quoted.substr(at + 1, 1) == "{");
                const std::size_t close = quoted.find('}', at);
                check(close != std::string_view::npos && close > at + 2 && close <= at + 8);
                const std::string digits(quoted.substr(at + 2, close - at - 2));
                check(digits.find_first_not_of("0123456789abcdef") == std::string::npos);
                append_code_point(out, static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)));
                at = close;
                break;
            }
            default:
                check(false);
        }
    }
    return out;
}

// Checks that form is one line of printable ASCII-or-UTF-8 text in double quotes, and returns
// the text it stands for.
inline std::string read_debug_quoted(std::string_view form) {
    check(form.size() >= 2 && form.front() == '"' && form.back() == '"');
    for (const char c : form) {
        const auto byte = static_cast<unsigned char>(c);
        check(byte >= 0x20 && byte != 0x7F);
    }
    return unescape(form.substr(1, form.size() - 2));
}

}  // namespace fuzz

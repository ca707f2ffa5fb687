// Fuzzes the JSON encoding of event fields: a JSON string with no raw control bytes, whose
// escapes read back to the input bytes exactly; every byte outside the escaped set is copied.
// The encoding of byte strings (paths) reads back the same way, with \udcXX for each byte that
// is not valid UTF-8, and is itself always valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/utf8.h"
#include "debug_string_reader.h"
#include "platform/logging_events.h"

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    fuzz::check(c >= 'a' && c <= 'f');
    return c - 'a' + 10;
}

// The letters of the short escapes, and the bytes they stand for.
constexpr std::pair<std::string_view, std::string_view> kShortEscapes = {"\"\\bfnrt",
                                                                         "\"\\\b\f\n\r\t"};

// bytes: whether \udcXX stands for the byte XX (0x80 to 0xFF), as in json_bytes.
std::string parse_json_string(std::string_view json, bool bytes) {
    using fuzz::check;
    check(json.size() >= 2 && json.front() == '"' && json.back() == '"');
    std::string out;
    for (std::size_t at = 1; at + 1 < json.size(); ++at) {
        const char c = json[at];
        check(static_cast<unsigned char>(c) >= 0x20 && c != '"');
        if (c != '\\') {
            out += c;
            continue;
        }
        ++at;
        check(at + 1 < json.size());
        if (json[at] == 'u' && bytes && json.substr(at + 1, 2) == "dc") {
            check(at + 5 < json.size());
            const int value = hex_digit(json[at + 3]) * 16 + hex_digit(json[at + 4]);
            check(value >= 0x80);
            out += static_cast<char>(value);
            at += 4;
            continue;
        }
        if (json[at] == 'u') {
            check(at + 5 < json.size() && json.substr(at + 1, 2) == "00");
            const int value = hex_digit(json[at + 3]) * 16 + hex_digit(json[at + 4]);
            // Only control bytes without a short escape use this form.
            check(value < 0x20 &&
                  kShortEscapes.second.find(static_cast<char>(value)) == std::string_view::npos);
            out += static_cast<char>(value);
            at += 4;
            continue;
        }
        const std::size_t escape = kShortEscapes.first.find(json[at]);
        check(escape != std::string_view::npos);
        out += kShortEscapes.second[escape];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string json = platform::json_string(text);
    fuzz::check(parse_json_string(json, false) == text);
    fuzz::check(platform::json_text(text) == json);
    const std::string json_of_bytes = platform::json_bytes(text);
    fuzz::check(parse_json_string(json_of_bytes, true) == text);
    fuzz::check(base::is_valid_utf8(json_of_bytes));
    fuzz::check(!base::is_valid_utf8(text) || json_of_bytes == json);
    fuzz::check(platform::json_text(std::nullopt) == "null");
    return 0;
}

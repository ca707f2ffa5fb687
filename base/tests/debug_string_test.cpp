// The quoted debug form of texts.
#include "base/debug_string.h"

#include <gtest/gtest.h>

namespace {

TEST(DebugString, EscapesWhatDoesNotPrint) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"", "\"\""},
        {"dlsym(RTLD_DEFAULT, getattrlistat): symbol not found",
         "\"dlsym(RTLD_DEFAULT, getattrlistat): symbol not found\""},
        {"q\"b\\t\tr\rn\nz\0'"s, "\"q\\\"b\\\\t\\tr\\rn\\nz\\0'\""},
        {"\x1b[31m\x7f\x01", "\"\\u{1b}[31m\\u{7f}\\u{1}\""},
        // Non-ASCII text prints as itself; invisible characters are escaped.
        {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80",
         "\"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\""},
        {"\xC2\x85\xC2\xAD\xE2\x80\x8B\xEF\xBB\xBF\xE2\x80\xA8",
         "\"\\u{85}\\u{ad}\\u{200b}\\u{feff}\\u{2028}\""},
        {"\xEE\x80\x80\xF4\x8F\xBF\xBF", "\"\\u{e000}\\u{10ffff}\""},
        {"\xFF", "\"\xEF\xBF\xBD\""},
    };
    for (const auto& [text, form] : cases) {
        EXPECT_EQ(base::debug_quoted(text), form);
    }
}

}  // namespace

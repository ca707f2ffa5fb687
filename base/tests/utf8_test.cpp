// UTF-8 validity, lossy replacement of each maximal invalid subpart, and character counts.
#include "base/utf8.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_view_literals;

struct LossyCase {
    std::string_view input;
    std::string_view lossy;
};

TEST(Utf8, LossyReplacesEachMaximalSubpart) {
    const std::string_view r = base::kReplacementCharacter;
    const LossyCase cases[] = {
        {"", ""},
        {"plain /usr/lib", "plain /usr/lib"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\x7F\0"sv, "\x7F\0"sv},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(base::is_valid_utf8(c.input)) << c.input;
        EXPECT_EQ(base::to_utf8_lossy(c.input), c.lossy);
    }
    const std::pair<std::string_view, std::string> invalid[] = {
        {"\xFF", std::string(r)},
        {"a\x80"
         "b",
         "a" + std::string(r) + "b"},
        // A truncated three-byte sequence is one subpart, then the next byte starts anew.
        {"\xE2\x82"
         "A",
         std::string(r) + "A"},
        {"\xE2\x82", std::string(r)},
        // Overlong, surrogate and beyond-range leads: every byte stands alone.
        {"\xC0\xAF", std::string(r) + std::string(r)},
        {"\xED\xA0\x80", std::string(r) + std::string(r) + std::string(r)},
        {"\xF4\x90\x80\x80", std::string(r) + std::string(r) + std::string(r) + std::string(r)},
        {"\xF0\x9F\x98", std::string(r)},
        {"\xF0\x9F\x98\xF0\x9F\x98\x80", std::string(r) + "\xF0\x9F\x98\x80"},
    };
    for (const auto& [input, lossy] : invalid) {
        EXPECT_FALSE(base::is_valid_utf8(input));
        EXPECT_EQ(base::to_utf8_lossy(input), lossy);
        EXPECT_TRUE(base::is_valid_utf8(base::to_utf8_lossy(input)));
    }
}

TEST(Utf8, CountsCharactersNotBytes) {
    EXPECT_EQ(base::count_characters(""), 0u);
    EXPECT_EQ(base::count_characters("main"), 4u);
    EXPECT_EQ(base::count_characters("\xC3\xA9t\xC3\xA9"), 3u);
    EXPECT_EQ(base::count_characters("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE5\xAD\x97"), 4u);
    EXPECT_EQ(base::count_characters("a\xFF"
                                     "b"),
              3u);
}

}  // namespace

// UTF-8 validity, lossy replacement of each maximal invalid subpart, and character counts.
#include "base/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

// Each lead byte's bounds: the least and the greatest sequence it starts (those just outside
// are overlong forms, surrogates or beyond U+10FFFF), and the leads that start none.
TEST(Utf8, EachLeadTakesExactlyItsRangeOfSecondBytes) {
    const std::pair<std::string_view, char32_t> valid[] = {
        {"\x7F", 0x7F},
        {"\xC2\x80", 0x80},
        {"\xDF\xBF", 0x7FF},
        {"\xE0\xA0\x80", 0x800},
        {"\xE0\xBF\xBF", 0xFFF},
        {"\xE1\x80\x80", 0x1000},
        {"\xEC\xBF\xBF", 0xCFFF},
        {"\xED\x80\x80", 0xD000},
        {"\xED\x9F\xBF", 0xD7FF},
        {"\xEE\x80\x80", 0xE000},
        {"\xEF\xBF\xBF", 0xFFFF},
        {"\xF0\x90\x80\x80", 0x10000},
        {"\xF0\xBF\xBF\xBF", 0x3FFFF},
        {"\xF1\x80\x80\x80", 0x40000},
        {"\xF3\xBF\xBF\xBF", 0xFFFFF},
        {"\xF4\x80\x80\x80", 0x100000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
    };
    for (const auto& [bytes, code_point] : valid) {
        EXPECT_EQ(base::valid_sequence_length(bytes), bytes.size()) << std::hex << static_cast<std::uint32_t>(code_point);
        EXPECT_EQ(base::decode_sequence(bytes), code_point);
        std::string encoded;
        base::append_utf8(encoded, code_point);
        EXPECT_EQ(encoded, bytes);
    }
    // Each with the number of maximal subparts it falls into, every byte non-ASCII.
    std::vector<std::pair<std::string, std::size_t>> invalid = {
        {"\x80", 1},
        {"\xBF", 1},
        {"\xC0\x80", 2},
        {"\xC1\xBF", 2},
        {"\xC2\xC0", 2},
        {"\xDF\xC0", 2},
        {"\xE0\x9F\xBF", 3},
        {"\xE0\xC0\x80", 3},
        {"\xE1\xC0\x80", 3},
        {"\xE1\x80\xC0", 2},
        {"\xED\xA0\x80", 3},
        {"\xED\xBF\xBF", 3},
        {"\xEF\xBF\xC0", 2},
        {"\xF0\x8F\xBF\xBF", 4},
        {"\xF0\x90\x80\xC0", 2},
        {"\xF3\xC0\x80\x80", 4},
        {"\xF4\x90\x80\x80", 4},
        {"\xF4\x8F\xBF", 1},
    };
    for (int lead = 0xF5; lead <= 0xFF; ++lead) {
        invalid.emplace_back(std::string(1, static_cast<char>(lead)) + "\x80\x80\x80", 4);
    }
    for (const auto& [bytes, subparts] : invalid) {
        std::string replaced;
        for (std::size_t i = 0; i < subparts; ++i) {
            replaced += base::kReplacementCharacter;
        }
        EXPECT_FALSE(base::is_valid_utf8(bytes)) << testing::PrintToString(bytes);
        EXPECT_EQ(base::to_utf8_lossy(bytes), replaced) << testing::PrintToString(bytes);
        EXPECT_EQ(base::count_characters(bytes), subparts) << testing::PrintToString(bytes);
    }
    // A view ends where it ends, whatever the bytes after it in memory: here a continuation
    // byte that would complete the sequence, and a byte that is never valid.
    const std::string_view cut = std::string_view("\xE2\x82\xAC").substr(0, 2);
    EXPECT_EQ(base::valid_sequence_length(cut), 0u);
    const std::string_view before_invalid = std::string_view("ok\xFF").substr(0, 2);
    EXPECT_TRUE(base::is_valid_utf8(before_invalid));
    EXPECT_EQ(base::to_utf8_lossy(before_invalid), "ok");
    EXPECT_EQ(base::count_characters(before_invalid), 2u);
    // Code points that have no UTF-8 form.
    for (const char32_t code_point : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
        std::string encoded;
        base::append_utf8(encoded, code_point);
        EXPECT_EQ(encoded, base::kReplacementCharacter) << std::hex << static_cast<std::uint32_t>(code_point);
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

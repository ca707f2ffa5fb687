// The description of a byte string with an embedded zero byte.
#include "base/nul_error.h"

#include <gtest/gtest.h>

namespace {

TEST(NulError, NamesFirstZeroAndEveryByte) {
    using namespace std::string_view_literals;
    EXPECT_EQ(base::describe_nul_error("\0"sv), "NulError(0, [0])");
    EXPECT_EQ(base::describe_nul_error("ab\0c\0"sv), "NulError(2, [97, 98, 0, 99, 0])");
    EXPECT_EQ(base::describe_nul_error("\xff\0"sv), "NulError(1, [255, 0])");
    EXPECT_EQ(base::first_nul("abc"), std::string_view::npos);
}

}  // namespace

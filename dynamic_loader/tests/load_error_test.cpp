// Loader messages as LoadError values, and their debug form.
#include "dynamic_loader/load_error.h"

#include <gtest/gtest.h>

namespace {

using dynamic_loader::debug_form;
using dynamic_loader::LoadError;

TEST(LoadError, FromPlatformText) {
    EXPECT_EQ(LoadError::from_platform_text(nullptr).text(), std::nullopt);
    EXPECT_EQ(LoadError::from_platform_text("").text(), std::optional<std::string>(""));
    EXPECT_EQ(LoadError::from_platform_text("bad \xC3 byte").text(),
              std::optional<std::string>("bad \xEF\xBF\xBD byte"));
}

TEST(LoadError, DebugFormWrapsTheQuotedText) {
    EXPECT_EQ(debug_form(LoadError()), "None");
    EXPECT_EQ(debug_form(LoadError("")), "Some(\"\")");
    EXPECT_EQ(debug_form(LoadError("a \"b\"\n")), "Some(\"a \\\"b\\\"\\n\")");
}

}  // namespace

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

TEST(LoadError, DebugForm) {
    using namespace std::string_literals;
    const std::pair<LoadError, std::string> cases[] = {
        {LoadError(), "None"},
        {LoadError(""), "Some(\"\")"},
        {LoadError("dlsym(RTLD_DEFAULT, getattrlistat): symbol not found"),
         "Some(\"dlsym(RTLD_DEFAULT, getattrlistat): symbol not found\")"},
        {LoadError("q\"b\\t\tr\rn\nz"s + '\0' + "'"), "Some(\"q\\\"b\\\\t\\tr\\rn\\nz\\0'\")"},
        {LoadError("\x1b[31m\x7f\x01"), "Some(\"\\u{1b}[31m\\u{7f}\\u{1}\")"},
        // Non-ASCII text prints as itself; invisible characters are escaped.
        {LoadError("caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"),
         "Some(\"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\")"},
        {LoadError("\xC2\x85\xC2\xAD\xE2\x80\x8B\xEF\xBB\xBF\xE2\x80\xA8"),
         "Some(\"\\u{85}\\u{ad}\\u{200b}\\u{feff}\\u{2028}\")"},
        {LoadError("\xEE\x80\x80\xF4\x8F\xBF\xBF"), "Some(\"\\u{e000}\\u{10ffff}\")"},
        {LoadError("\xFF"), "Some(\"\xEF\xBF\xBD\")"},
    };
    for (const auto& [error, form] : cases) {
        EXPECT_EQ(debug_form(error), form);
    }
}

}  // namespace

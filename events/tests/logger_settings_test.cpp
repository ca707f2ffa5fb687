// The default logger's settings from RUST_LOG and RUST_LOG_EVENTS_TO_STDERR.
#include "logger_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

using events::Level;
using events::LogStreamChoice;

TEST(RustLog, LevelWords) {
    const std::pair<std::optional<std::string_view>, Level> cases[] = {
        {std::nullopt, Level::trace},
        // Naming no level: TRACE.
        {"", Level::trace},
        {"off", Level::trace},
        {"OFF", Level::trace},
        {"O", Level::trace},
        {"of", Level::trace},
        {"verbose", Level::trace},
        {"none", Level::trace},
        {"\xC3\xA9rror", Level::trace},
        // Not UTF-8: TRACE, even when it begins with a level word.
        {"critical\xFF", Level::trace},
        {"\xFF", Level::trace},
        // A level word, in any case, or a value beginning with one.
        {"critical", Level::critical},
        {"CrItIcAl", Level::critical},
        {"CRIT", Level::critical},
        {"C", Level::critical},
        {"c", Level::critical},
        {"critical-only", Level::critical},
        {"error", Level::error},
        {"E", Level::error},
        {"errors", Level::error},
        {"warn", Level::warn},
        {"WARNING", Level::warn},
        {"w", Level::warn},
        {"info", Level::info},
        {"INFO", Level::info},
        {"Info", Level::info},
        {"i", Level::info},
        {"debug", Level::debug},
        {"debug,foo", Level::debug},
        {"D", Level::debug},
        {"trace", Level::trace},
        {"t", Level::trace},
    };
    for (const auto& [value, level] : cases) {
        EXPECT_EQ(events::level_from_rust_log(value), level)
            << (value ? std::string(*value) : "(unset)");
    }
}

TEST(RustLog, OffNamesNoLevelWhileTraceDoes) {
    EXPECT_EQ(events::level_named_by("off"), std::nullopt);
    EXPECT_EQ(events::level_named_by(""), std::nullopt);
    EXPECT_EQ(events::level_named_by("verbose"), std::nullopt);
    EXPECT_EQ(events::level_named_by("trace"), Level::trace);
    // Only the letters A to Z are compared without case.
    EXPECT_EQ(events::level_named_by("e"), Level::error);
    EXPECT_EQ(events::level_named_by("\xC3\x89"), std::nullopt);
}

TEST(EventsToStderr, AnyUtf8ValueChoosesStandardError) {
    const std::pair<std::optional<std::string_view>, LogStreamChoice> cases[] = {
        {std::nullopt, LogStreamChoice::standard_output},
        {"\xFF", LogStreamChoice::standard_output},
        {"a\xC3", LogStreamChoice::standard_output},
        {"", LogStreamChoice::standard_error},
        {"0", LogStreamChoice::standard_error},
        {"false", LogStreamChoice::standard_error},
        {"1", LogStreamChoice::standard_error},
        {"\xC3\xA9", LogStreamChoice::standard_error},
    };
    for (const auto& [value, choice] : cases) {
        EXPECT_EQ(events::stream_from_variable(value), choice)
            << (value ? std::string(*value) : "(unset)");
    }
}

TEST(LoggerSettings, ReadFromTheEnvironment) {
    ::setenv("RUST_LOG_EVENTS_TO_STDERR", "0", 1);
    ::setenv("RUST_LOG", "Warning", 1);
    events::LoggerSettings settings = events::read_logger_settings();
    EXPECT_EQ(settings.stream, LogStreamChoice::standard_error);
    EXPECT_EQ(settings.level, Level::warn);
    ::unsetenv("RUST_LOG_EVENTS_TO_STDERR");
    ::unsetenv("RUST_LOG");
    settings = events::read_logger_settings();
    EXPECT_EQ(settings.stream, LogStreamChoice::standard_output);
    EXPECT_EQ(settings.level, Level::trace);
}

}  // namespace

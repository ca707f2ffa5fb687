// Reading the logging variables and the level words of RUST_LOG.
#include "logger_settings.h"

#include <algorithm>
#include <utility>

#include "base/environment.h"
#include "base/utf8.h"

namespace events {
namespace {

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal over the shorter length, letters A to Z compared without case.
bool agrees(std::string_view value, std::string_view word) {
    const std::size_t length = std::min(value.size(), word.size());
    for (std::size_t at = 0; at < length; ++at) {
        if (ascii_lower(value[at]) != ascii_lower(word[at])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<Level> level_named_by(std::string_view value) {
    static constexpr std::pair<std::string_view, std::optional<Level>> kWords[] = {
        {"OFF", std::nullopt},   {"CRITICAL", Level::critical}, {"ERROR", Level::error},
        {"WARN", Level::warn},   {"INFO", Level::info},         {"DEBUG", Level::debug},
        {"TRACE", Level::trace},
    };
    for (const auto& [word, level] : kWords) {
        if (agrees(value, word)) {
            return level;
        }
    }
    return std::nullopt;
}

Level level_from_rust_log(std::optional<std::string_view> value) {
    if (!value || !base::is_valid_utf8(*value)) {
        return Level::trace;
    }
    return level_named_by(*value).value_or(Level::trace);
}

LogStreamChoice stream_from_variable(std::optional<std::string_view> value) {
    if (value && base::is_valid_utf8(*value)) {
        return LogStreamChoice::standard_error;
    }
    return LogStreamChoice::standard_output;
}

LoggerSettings read_logger_settings() {
    const LogStreamChoice stream =
        stream_from_variable(base::environment_variable(kStreamVariable));
    const Level level = level_from_rust_log(base::environment_variable(kLevelVariable));
    return LoggerSettings{stream, level};
}

}  // namespace events

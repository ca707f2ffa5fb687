// The default logger's settings from the environment: RUST_LOG_EVENTS_TO_STDERR chooses the
// stream, RUST_LOG the level. Read once, when the first record needs the default logger.
#pragma once

#include <optional>
#include <string_view>

#include "events/log_record.h"

namespace events {

inline constexpr char kStreamVariable[] = "RUST_LOG_EVENTS_TO_STDERR";
inline constexpr char kLevelVariable[] = "RUST_LOG";

enum class LogStreamChoice { standard_output, standard_error };

struct LoggerSettings {
    LogStreamChoice stream;
    Level level;
};

// The level a RUST_LOG value names, or nothing for "OFF" and for values naming no level. The
// value is compared with "OFF", "CRITICAL", "ERROR", "WARN", "INFO", "DEBUG", "TRACE" in this
// order over the length of the shorter one, letters A to Z in either case; the first that
// agrees decides. So "warning" names WARN, "E" ERROR and "" nothing.
std::optional<Level> level_named_by(std::string_view value);

// The level for a RUST_LOG value (nothing when unset): TRACE when unset, not UTF-8 or naming
// no level.
Level level_from_rust_log(std::optional<std::string_view> value);

// Standard error when RUST_LOG_EVENTS_TO_STDERR is set to valid UTF-8 (any text, also empty
// or "0"), else standard output.
LogStreamChoice stream_from_variable(std::optional<std::string_view> value);

// Reads RUST_LOG_EVENTS_TO_STDERR, then RUST_LOG.
LoggerSettings read_logger_settings();

}  // namespace events

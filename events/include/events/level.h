// The level scale of log records, from the most severe (CRITICAL, 0) to TRACE (5).
#pragma once

#include <cstdint>

namespace events {

enum class Level : std::uint8_t { critical = 0, error, warn, info, debug, trace };

constexpr int level_number(Level level) {
    return static_cast<int>(level);
}

// Whether a record of level `record` gets through a filter configured at `configured`.
constexpr bool passes(Level record, Level configured) {
    return level_number(record) <= level_number(configured);
}

}  // namespace events

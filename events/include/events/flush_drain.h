// The drain of a text logger: where its records go. Held through a shared handle and used
// from any thread, so implementations do their own locking.
#pragma once

#include <string>
#include <vector>

#include "events/level.h"
#include "events/log_record.h"

namespace events {

class FlushDrain {
  public:
    virtual ~FlushDrain() = default;

    // Takes one record with the logger's own pairs. Returns nothing: a failure is fatal here.
    virtual void log(const LogRecord& record, const KeyValueSource& logger_values) = 0;

    // Whether a record of this level would be written.
    virtual bool is_enabled(Level level) const = 0;

    bool is_critical_enabled() const { return is_enabled(Level::critical); }
    bool is_error_enabled() const { return is_enabled(Level::error); }
    bool is_warn_enabled() const { return is_enabled(Level::warn); }
    bool is_info_enabled() const { return is_enabled(Level::info); }
    bool is_debug_enabled() const { return is_enabled(Level::debug); }
    bool is_trace_enabled() const { return is_enabled(Level::trace); }

    // Lines taken but held back, not yet written. A drain that writes each line as it comes
    // holds none.
    virtual std::vector<std::string> held_lines() const = 0;

    // Writes out whatever is held back.
    virtual void flush() = 0;
};

}  // namespace events

// Where records and events go: each thread's current text logger (LOGGER) and event logger
// (EVENT_LOGGER), and the process-wide default text logger built from the environment by the
// first record that finds LOGGER empty. The slots are per thread and need no lock; drains and
// event loggers are shared between threads and do their own locking.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "events/log_record.h"
#include "inheritable_thread_local/thread_slot.h"

namespace events {

// A line that could not be written, with the stream's error as people read it
// ("Broken pipe (os error 32)").
struct LineNotWritten {
    std::string reason;
};

// The drain of a text logger: where its records go.
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

    // As log, but a failed write is returned instead of being fatal, and leaves the drain as
    // usable as before (what was written stays written): for lines that only observe, whose
    // loss must cost the program nothing else. True when the line was written, false when its
    // level dropped it.
    virtual base::Result<bool, LineNotWritten> try_log(const LogRecord& record,
                                                       const KeyValueSource& logger_values) = 0;
};

// The structured copy of a platform event. Owns all its texts; ownership passes to the event
// logger that receives it.
struct PlatformEvent {
    std::string name;
    // (field name, JSON text), in declaration order.
    std::vector<std::pair<std::string, std::string>> fields;
    std::string event_namespace;
    std::int32_t code = 0;
};

// The receiver of structured events.
class EventLogger {
  public:
    virtual ~EventLogger() = default;
    virtual void log_event(PlatformEvent event) = 0;
};

// A text logger: its drain and its own pairs, both shared.
struct TextLogger {
    std::shared_ptr<FlushDrain> drain;
    std::shared_ptr<const KeyValueSource> values;

    TextLogger(std::shared_ptr<FlushDrain> drain_handle,
               std::shared_ptr<const KeyValueSource> value_handle)
        : drain(std::move(drain_handle)), values(std::move(value_handle)) {}
    TextLogger(const TextLogger&) = default;
    TextLogger(TextLogger&&) = default;
    TextLogger& operator=(const TextLogger&) = default;
    TextLogger& operator=(TextLogger&&) = default;
    // The drain is released before the pairs.
    ~TextLogger() { drain.reset(); }
};

// The calling thread's text logger; empty means the process default.
extern const inheritable_thread_local::ThreadSlot<TextLogger> LOGGER;
// The calling thread's event logger; empty means events are discarded.
extern const inheritable_thread_local::ThreadSlot<std::shared_ptr<EventLogger>> EVENT_LOGGER;

// Logs record through the calling thread's text logger, or through the default logger: built
// from RUST_LOG_EVENTS_TO_STDERR and RUST_LOG by the process's first such record (concurrent
// first users wait for it), it lives until the process ends. Failures inside the logger are
// fatal there; a record dropped by level is no failure.
void log_record(const LogRecord& record);

// As log_record, but a failed write is returned to the caller instead of stopping the process
// (FlushDrain::try_log). True when the line was written, false when its level dropped it.
base::Result<bool, LineNotWritten> try_log_record(const LogRecord& record);

// Hands an event to the calling thread's event logger. make_event is called only when there is
// one, so that a thread without an event logger never builds the event.
void dispatch_event(const std::function<PlatformEvent()>& make_event);

}  // namespace events

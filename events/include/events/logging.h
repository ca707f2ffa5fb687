// Where records and events go: each thread's current text logger (LOGGER) and event logger
// (EVENT_LOGGER), and the process-wide default text logger built from the environment by the
// first record that finds LOGGER empty. The slots are per thread and need no lock; the
// default logger is shared and serialises its lines.
#pragma once

#include <memory>

#include "events/event_logger.h"
#include "events/flush_drain.h"
#include "events/log_record.h"
#include "inheritable_thread_local/thread_slot.h"

namespace events {

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

// Logs record through the calling thread's text logger, or through the default logger (built
// now if this is the process's first such record). Failures inside the logger are fatal
// there; a record dropped by level is no failure.
void log_record(const LogRecord& record);

// Hands event to the calling thread's event logger, or releases it when there is none.
void dispatch_event(PlatformEvent event);

// The process-wide default text logger, built on first use from RUST_LOG_EVENTS_TO_STDERR and
// RUST_LOG; concurrent first users wait for it. Lives until the process ends.
const TextLogger& default_logger();

}  // namespace events

// The LOGGER and EVENT_LOGGER slots, routing of records and events, and the default logger.
#include "events/logging.h"

#include <new>
#include <optional>
#include <utility>

#include "log_stream.h"
#include "logger_settings.h"
#include "text_drain.h"
#include "time_of_day.h"

namespace events {
namespace {

using inheritable_thread_local::SlotStorage;
using EventLoggerHandle = std::shared_ptr<EventLogger>;

constinit thread_local SlotStorage<TextLogger> logger_storage;
constinit thread_local SlotStorage<EventLoggerHandle> event_logger_storage;

SlotStorage<TextLogger>& logger_instance() noexcept {
    return logger_storage;
}

SlotStorage<EventLoggerHandle>& event_logger_instance() noexcept {
    return event_logger_storage;
}

// Holds an object that is never destroyed, so that records logged while the process ends
// (from other objects' destructors) still find it.
template <typename T>
class NeverDestroyed {
  public:
    explicit NeverDestroyed(T&& value) { ::new (static_cast<void*>(bytes_)) T(std::move(value)); }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    const T& get() const { return *std::launder(reinterpret_cast<const T*>(bytes_)); }

  private:
    alignas(T) unsigned char bytes_[sizeof(T)];
};

TextLogger build_default_logger() {
    const LoggerSettings settings = read_logger_settings();
    std::unique_ptr<LogStream> stream = settings.stream == LogStreamChoice::standard_error
                                            ? FdStream::standard_error()
                                            : FdStream::standard_output();
    return TextLogger(make_text_drain(settings.level, std::move(stream), log_timestamp),
                      std::make_shared<const OwnedKeyValues>());
}

const TextLogger& default_logger() {
    // The static's guard is the one-time initialisation: the first caller builds, others wait.
    static const NeverDestroyed<TextLogger> logger(build_default_logger());
    return logger.get();
}

}  // namespace

constinit const inheritable_thread_local::ThreadSlot<TextLogger> LOGGER{&logger_instance};
constinit const inheritable_thread_local::ThreadSlot<EventLoggerHandle> EVENT_LOGGER{
    &event_logger_instance};

void log_record(const LogRecord& record) {
    inheritable_thread_local::with(LOGGER, [&](const TextLogger* logger) {
        const TextLogger& target = logger != nullptr ? *logger : default_logger();
        target.drain->log(record, *target.values);
    });
}

base::Result<bool, LineNotWritten> try_log_record(const LogRecord& record) {
    std::optional<base::Result<bool, LineNotWritten>> outcome;
    inheritable_thread_local::with(LOGGER, [&](const TextLogger* logger) {
        const TextLogger& target = logger != nullptr ? *logger : default_logger();
        outcome.emplace(target.drain->try_log(record, *target.values));
    });
    return std::move(*outcome);
}

void dispatch_event(const std::function<PlatformEvent()>& make_event) {
    inheritable_thread_local::with(EVENT_LOGGER, [&](const EventLoggerHandle* logger) {
        if (logger != nullptr && *logger) {
            (*logger)->log_event(make_event());
        }
    });
}

}  // namespace events

// The default logger's drain chain behind its mutex.
#include "text_drain.h"

#include <exception>
#include <mutex>
#include <utility>

#include "base/fatal_report.h"

namespace events {
namespace {

// The most verbose level that level queries report as enabled, whatever the configured level.
constexpr Level kMaximumQueryLevel = Level::debug;

// Sets the poisoned flag if the call that holds the lock is left by an exception.
class PoisonOnUnwind {
  public:
    explicit PoisonOnUnwind(bool& poisoned)
        : poisoned_(poisoned), exceptions_(std::uncaught_exceptions()) {}
    ~PoisonOnUnwind() {
        if (std::uncaught_exceptions() > exceptions_) {
            poisoned_ = true;
        }
    }
    PoisonOnUnwind(const PoisonOnUnwind&) = delete;
    PoisonOnUnwind& operator=(const PoisonOnUnwind&) = delete;

  private:
    bool& poisoned_;
    int exceptions_;
};

class MutexDrain final : public FlushDrain {
  public:
    MutexDrain(Level level, std::unique_ptr<LogStream> stream, TimestampFunction timestamp)
        : level_(level), format_(std::move(timestamp), std::move(stream), LineOptions{}) {}

    void log(const LogRecord& record, const KeyValueSource& logger_values) override {
        std::unique_lock<std::mutex> lock(mutex_);
        const base::Result<bool, IoError> written = filter_and_write(lock, record, logger_values);
        // Fatal-on-error guard around the formatter. The lock is still held, so the mutex
        // counts as poisoned from here on.
        if (!written.ok()) {
            poisoned_ = true;
            base::fatal("slog::Fuse Drain: ", written.error().debug_form());
        }
    }

    // The same chain without the guard: the error goes back to the caller, and nothing is
    // poisoned, since no fatal stop passes out while the lock is held.
    base::Result<bool, LineNotWritten> try_log(const LogRecord& record,
                                               const KeyValueSource& logger_values) override {
        std::unique_lock<std::mutex> lock(mutex_);
        const base::Result<bool, IoError> written = filter_and_write(lock, record, logger_values);
        if (!written.ok()) {
            return LineNotWritten{written.error().display_form()};
        }
        return written.value();
    }

    bool is_enabled(Level level) const override {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (poisoned_) {
            return true;
        }
        return passes(level, kMaximumQueryLevel) && passes(level, level_);
    }

    std::vector<std::string> held_lines() const override { return {}; }

    // Every line is flushed as it is written; there is nothing left to write.
    void flush() override {}

  private:
    // Under lock: the poisoned check, the level filter and the formatter. True when the line
    // was written, false when its level dropped it.
    base::Result<bool, IoError> filter_and_write(std::unique_lock<std::mutex>& lock,
                                                 const LogRecord& record,
                                                 const KeyValueSource& logger_values) {
        if (poisoned_) {
            lock.unlock();
            base::fatal("slog::Fuse Drain: ", "MutexDrainError::Mutex");
        }
        const PoisonOnUnwind poison(poisoned_);
        if (!passes(record.level(), level_)) {
            return false;
        }
        base::Result<void, IoError> written = format_.log(record, logger_values);
        if (!written.ok()) {
            return std::move(written).error();
        }
        return true;
    }

    mutable std::mutex mutex_;
    bool poisoned_ = false;
    Level level_;
    LineFormat format_;
};

}  // namespace

std::shared_ptr<FlushDrain> make_text_drain(Level level, std::unique_ptr<LogStream> stream,
                                            TimestampFunction timestamp) {
    return std::make_shared<MutexDrain>(level, std::move(stream), std::move(timestamp));
}

}  // namespace events

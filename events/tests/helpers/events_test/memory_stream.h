// Test helpers for the logging library: a log stream in memory that can fail on demand, and a
// timestamp function on a fixed clock.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <string>

#include "line_format.h"
#include "log_stream.h"
#include "time_of_day.h"

namespace events_test {

// What a MemoryStream received, and how it should misbehave. Shared between the test and the
// stream, which the logger owns.
struct MemoryLog {
    std::string written;
    std::size_t flushed = 0;  // length of `written` at the last successful flush
    int flush_calls = 0;

    // Bytes accepted before every write fails with `fail_errno` (or takes nothing, with
    // `take_nothing`).
    std::size_t budget = std::numeric_limits<std::size_t>::max();
    int fail_errno = EPIPE;
    bool take_nothing = false;
    // Only the first write past the budget fails; the ones after it are taken again.
    bool fail_once = false;
    // At most this many bytes per write.
    std::size_t per_write = std::numeric_limits<std::size_t>::max();
    // Every other write is interrupted before taking anything.
    bool interrupt = false;
    bool fail_flush = false;

    std::string flushed_text() const { return written.substr(0, flushed); }
};

class MemoryStream final : public events::LogStream {
  public:
    explicit MemoryStream(std::shared_ptr<MemoryLog> log) : log_(std::move(log)) {}

    base::Result<std::size_t, events::IoError> write(std::string_view bytes) override {
        MemoryLog& log = *log_;
        if (log.interrupt && (interrupted_ = !interrupted_)) {
            return events::IoError::from_errno(EINTR);
        }
        const std::size_t left = log.budget - std::min(log.budget, log.written.size());
        if (left == 0 && !bytes.empty()) {
            if (log.take_nothing) {
                return std::size_t{0};
            }
            if (log.fail_once) {
                log.budget = std::numeric_limits<std::size_t>::max();
            }
            return events::IoError::from_errno(log.fail_errno);
        }
        const std::size_t taken = std::min({bytes.size(), left, log.per_write});
        log.written.append(bytes.substr(0, taken));
        return taken;
    }

    base::Result<void, events::IoError> flush() override {
        ++log_->flush_calls;
        if (log_->fail_flush) {
            return events::IoError::from_errno(EIO);
        }
        log_->flushed = log_->written.size();
        return {};
    }

  private:
    std::shared_ptr<MemoryLog> log_;
    bool interrupted_ = false;
};

// Seconds since the epoch of hh:mm:ss on 2024-03-01 UTC, plus a fraction in nanoseconds.
inline std::chrono::system_clock::time_point utc_time(int hour, int minute, int second,
                                                      long nanoseconds = 0) {
    const long day = 1709251200;  // 2024-03-01T00:00:00Z
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(day) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
            std::chrono::seconds(second) + std::chrono::nanoseconds(nanoseconds)));
}

// A timestamp function that always writes `time`, in the zone TZ names.
inline events::TimestampFunction fixed_clock(std::chrono::system_clock::time_point time) {
    return
        [time](events::RecordDecorator& writer) { return events::write_time_of_day(writer, time); };
}

// Sets TZ for this process and makes the C library read it again.
inline void use_time_zone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

}  // namespace events_test

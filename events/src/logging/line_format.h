// The line formatter of a text logger: renders one record as one plain-text line
//   TIME LEVL THREAD-------- [FILE:LINE] message, key: value, ...
// and flushes it. Made once per logger, it owns the log stream; a use guard gives the stream to
// one line at a time, so lines never interleave. Colour is always off.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "base/result.h"
#include "events/log_record.h"
#include "io_error.h"
#include "log_stream.h"
#include "record_decorator.h"

namespace events {

// Writes the time of day at the start of a line.
using TimestampFunction = std::function<base::Result<void, IoError>(RecordDecorator& writer)>;

struct LineOptions {
    bool show_thread = true;
    bool show_location = true;
    // Pairs collected first and printed in the order the logging call lists them.
    bool call_order = true;
};

class LineFormat {
  public:
    LineFormat(TimestampFunction timestamp, std::unique_ptr<LogStream> stream, LineOptions options)
        : timestamp_(std::move(timestamp)), stream_(std::move(stream)), options_(options) {}
    LineFormat(const LineFormat&) = delete;
    LineFormat& operator=(const LineFormat&) = delete;

    // Writes one line for record with the logger's own pairs, then flushes. A failure ends the
    // line where it happened and is returned; what was written stays written.
    base::Result<void, IoError> log(const LogRecord& record, const KeyValueSource& logger_values);

  private:
    TimestampFunction timestamp_;
    std::mutex use_guard_;
    std::unique_ptr<LogStream> stream_;
    LineOptions options_;
};

}  // namespace events

// The line formatter of a text logger: renders one record as one plain-text line
//   TIME LEVL THREAD-------- [FILE:LINE] message, key: value, ...
// and flushes it. Made once per logger; one line is rendered at a time (a use guard holds the
// stream for the whole line), so lines never interleave.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "base/result.h"
#include "events/log_record.h"
#include "io_error.h"
#include "log_stream.h"
#include "record_decorator.h"

namespace events {

// The four-letter word of a level on a line: "CRIT", "ERRO", "WARN", "INFO", "DEBG", "TRCE".
std::string_view level_word(Level level);

// Writes the time of day at the start of a line.
using TimestampFunction = std::function<base::Result<void, IoError>(RecordDecorator& writer)>;

// The rendering steps of one line, given the line's decorator.
using LineSteps = std::function<base::Result<void, IoError>(RecordDecorator& line)>;

// The terminal layer's long-lived part: the log stream behind a use guard. Colour is always
// off, whatever the stream is connected to.
class TermDecorator {
  public:
    explicit TermDecorator(std::unique_ptr<LogStream> stream) : stream_(std::move(stream)) {}
    TermDecorator(const TermDecorator&) = delete;
    TermDecorator& operator=(const TermDecorator&) = delete;

    // Holds the stream for one line and runs steps with that line's TermRecordDecorator.
    base::Result<void, IoError> with_record(Level level, const LineSteps& steps);

  private:
    std::mutex use_guard_;
    std::unique_ptr<LogStream> stream_;
};

// The decorator of a text logger: the terminal layer plus the thread column and location.
class LogDecorator {
  public:
    LogDecorator(std::unique_ptr<LogStream> stream, bool show_thread, bool show_location)
        : term_(std::move(stream)), show_thread_(show_thread), show_location_(show_location) {}

    // Lends the line's LogRecordDecorator (over its TermRecordDecorator) to steps.
    base::Result<void, IoError> with_record(const LogRecord& record, const LineSteps& steps);

  private:
    TermDecorator term_;
    bool show_thread_;
    bool show_location_;
};

struct LineOptions {
    bool show_thread = true;
    bool show_location = true;
    // Pairs collected first and printed in the order the logging call lists them.
    bool call_order = true;
};

class LineFormat {
  public:
    LineFormat(TimestampFunction timestamp, std::unique_ptr<LogStream> stream, LineOptions options)
        : timestamp_(std::move(timestamp)),
          decorator_(std::move(stream), options.show_thread, options.show_location),
          call_order_(options.call_order) {}
    LineFormat(const LineFormat&) = delete;
    LineFormat& operator=(const LineFormat&) = delete;

    // Writes one line for record with the logger's own pairs, then flushes. A failure ends the
    // line where it happened and is returned; what was written stays written.
    base::Result<void, IoError> log(const LogRecord& record, const KeyValueSource& logger_values);

  private:
    TimestampFunction timestamp_;
    LogDecorator decorator_;
    bool call_order_;
};

// Writes the line up to and including the message: time, level word, thread column, location,
// message. Returns whether the message wrote any bytes.
base::Result<bool, IoError> print_msg_header(const TimestampFunction& timestamp,
                                             RecordDecorator& line, const LogRecord& record);

}  // namespace events

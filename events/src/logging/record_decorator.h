// The hook interface through which the line formatter writes one line, and its two layers: the
// terminal layer on the log stream (colour off: hooks write nothing) and the layer that adds
// the thread column and the source location before the message. Both live for one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/result.h"
#include "events/log_record.h"
#include "io_error.h"
#include "log_stream.h"

namespace events {

// A byte writer (write and flush as a stream's) with hooks before each element of a line.
class RecordDecorator : public LogStream {
  public:
    // Writes all of bytes: a short write is continued, an interrupted one tried again, and a
    // write that takes nothing is the error "failed to write whole buffer".
    base::Result<void, IoError> write_all(std::string_view bytes);

    // Hooks called before each element of a line (reset ends a styled element). Lines have no
    // colour, so unless a layer adds text of its own they write nothing.
    virtual base::Result<void, IoError> reset() { return {}; }
    virtual base::Result<void, IoError> start_whitespace() { return {}; }
    virtual base::Result<void, IoError> start_msg() { return {}; }
    virtual base::Result<void, IoError> start_timestamp() { return {}; }
    virtual base::Result<void, IoError> start_level() { return {}; }
    virtual base::Result<void, IoError> start_comma() { return {}; }
    virtual base::Result<void, IoError> start_key() { return {}; }
    virtual base::Result<void, IoError> start_value() { return {}; }
    virtual base::Result<void, IoError> start_separator() { return {}; }
};

// The terminal layer: passes bytes to the stream; with colour off its hooks write nothing.
// Flushes the stream once more when the line is done, ignoring the outcome (a failure was
// already reported by the line's own flush).
class TermRecordDecorator final : public RecordDecorator {
  public:
    TermRecordDecorator(LogStream& stream, Level level) : stream_(stream), level_(level) {}
    ~TermRecordDecorator() override;
    TermRecordDecorator(const TermRecordDecorator&) = delete;
    TermRecordDecorator& operator=(const TermRecordDecorator&) = delete;

    Level level() const { return level_; }

    base::Result<std::size_t, IoError> write(std::string_view bytes) override {
        return stream_.write(bytes);
    }
    base::Result<void, IoError> flush() override { return stream_.flush(); }

  private:
    LogStream& stream_;
    Level level_;
};

// File path and line number of a record's call site.
struct SourceLocation {
    std::string_view file;
    std::uint32_t line;
};

// Wraps the line's terminal layer (borrowed) and writes, at the start of the message, the
// calling thread's name padded to 13 characters and the record's "[FILE:LINE] ".
class LogRecordDecorator final : public RecordDecorator {
  public:
    LogRecordDecorator(RecordDecorator& inner, std::optional<SourceLocation> location,
                       bool show_thread)
        : inner_(inner), location_(location), show_thread_(show_thread) {}
    LogRecordDecorator(const LogRecordDecorator&) = delete;
    LogRecordDecorator& operator=(const LogRecordDecorator&) = delete;

    base::Result<std::size_t, IoError> write(std::string_view bytes) override {
        return inner_.write(bytes);
    }
    base::Result<void, IoError> flush() override { return inner_.flush(); }
    base::Result<void, IoError> reset() override { return inner_.reset(); }
    base::Result<void, IoError> start_whitespace() override { return inner_.start_whitespace(); }
    base::Result<void, IoError> start_msg() override;
    base::Result<void, IoError> start_timestamp() override { return inner_.start_timestamp(); }
    base::Result<void, IoError> start_level() override { return inner_.start_level(); }
    base::Result<void, IoError> start_comma() override { return inner_.start_comma(); }
    base::Result<void, IoError> start_key() override { return inner_.start_key(); }
    base::Result<void, IoError> start_value() override { return inner_.start_value(); }
    base::Result<void, IoError> start_separator() override { return inner_.start_separator(); }

  private:
    RecordDecorator& inner_;
    std::optional<SourceLocation> location_;
    bool show_thread_;
};

// Calls one hook of decorator, then writes text with it; stops at the first failure.
inline base::Result<void, IoError> hook_then_write(
    RecordDecorator& decorator, base::Result<void, IoError> (RecordDecorator::*hook)(),
    std::string_view text) {
    if (auto started = (decorator.*hook)(); !started.ok()) {
        return started;
    }
    return decorator.write_all(text);
}

// Width of the thread column, in characters, before its separating blank.
inline constexpr std::size_t kThreadColumnWidth = 13;

}  // namespace events

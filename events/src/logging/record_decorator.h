// The hook interface through which the line formatter writes one line, and its two layers: the
// terminal layer on the log stream (colour off: hooks write nothing) and the layer that adds
// the thread column and the source location before the message. Both live for one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "events/log_record.h"
#include "io_error.h"
#include "log_stream.h"

namespace events {

class RecordDecorator {
  public:
    virtual ~RecordDecorator() = default;

    // Writes some of bytes and returns how many were taken.
    virtual IoResult<std::size_t> write(std::string_view bytes) = 0;
    virtual IoStatus flush() = 0;

    // Writes all of bytes: a short write is continued, an interrupted one tried again, and a
    // write that takes nothing is the error "failed to write whole buffer".
    IoStatus write_all(std::string_view bytes);

    // Hooks called before each element of a line.
    virtual IoStatus reset() = 0;
    virtual IoStatus start_whitespace() = 0;
    virtual IoStatus start_msg() = 0;
    virtual IoStatus start_timestamp() = 0;
    virtual IoStatus start_level() = 0;
    virtual IoStatus start_comma() = 0;
    virtual IoStatus start_key() = 0;
    virtual IoStatus start_value() = 0;
    virtual IoStatus start_separator() = 0;
};

// The terminal layer: passes bytes to the stream; with colour off every hook writes nothing.
// Flushes the stream once more when the line is done, ignoring the outcome (a failure was
// already reported by the line's own flush).
class TermRecordDecorator final : public RecordDecorator {
  public:
    TermRecordDecorator(LogStream& stream, Level level) : stream_(stream), level_(level) {}
    ~TermRecordDecorator() override;
    TermRecordDecorator(const TermRecordDecorator&) = delete;
    TermRecordDecorator& operator=(const TermRecordDecorator&) = delete;

    Level level() const { return level_; }

    IoResult<std::size_t> write(std::string_view bytes) override;
    IoStatus flush() override;
    IoStatus reset() override { return {}; }
    IoStatus start_whitespace() override { return {}; }
    IoStatus start_msg() override { return {}; }
    IoStatus start_timestamp() override { return {}; }
    IoStatus start_level() override { return {}; }
    IoStatus start_comma() override { return {}; }
    IoStatus start_key() override { return {}; }
    IoStatus start_value() override { return {}; }
    IoStatus start_separator() override { return {}; }

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

    IoResult<std::size_t> write(std::string_view bytes) override { return inner_.write(bytes); }
    IoStatus flush() override { return inner_.flush(); }
    IoStatus reset() override { return inner_.reset(); }
    IoStatus start_whitespace() override { return inner_.start_whitespace(); }
    IoStatus start_msg() override;
    IoStatus start_timestamp() override { return inner_.start_timestamp(); }
    IoStatus start_level() override { return inner_.start_level(); }
    IoStatus start_comma() override { return inner_.start_comma(); }
    IoStatus start_key() override { return inner_.start_key(); }
    IoStatus start_value() override { return inner_.start_value(); }
    IoStatus start_separator() override { return inner_.start_separator(); }

  private:
    RecordDecorator& inner_;
    std::optional<SourceLocation> location_;
    bool show_thread_;
};

// Calls one hook of decorator, then writes text with it; stops at the first failure.
inline IoStatus hook_then_write(RecordDecorator& decorator, IoStatus (RecordDecorator::*hook)(),
                                std::string_view text) {
    if (IoStatus started = (decorator.*hook)(); !started.ok()) {
        return started;
    }
    return decorator.write_all(text);
}

// Width of the thread column, in characters, before its separating blank.
inline constexpr std::size_t kThreadColumnWidth = 13;

}  // namespace events

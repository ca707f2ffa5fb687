// The byte stream that log lines go to, and its implementation on a file descriptor. A stream
// is used by one line at a time (the line formatter's use guard sees to that).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"
#include "io_error.h"

namespace events {

class LogStream {
  public:
    virtual ~LogStream() = default;
    // Writes some of bytes and returns how many were taken.
    virtual base::Result<std::size_t, IoError> write(std::string_view bytes) = 0;
    // Sends everything written so far to the device.
    virtual base::Result<void, IoError> flush() = 0;
};

// A stream on a descriptor it does not own. Buffered, bytes gather until a flush (or until the
// buffer is full); unbuffered, each write goes to the descriptor at once. Interrupted system
// calls are retried; a system write that takes no bytes is the error "failed to write whole
// buffer".
class FdStream final : public LogStream {
  public:
    enum class Buffering { none, until_flush };
    static constexpr std::size_t kBufferCapacity = 8192;

    FdStream(int fd, Buffering buffering) : fd_(fd), buffering_(buffering) {}
    FdStream(const FdStream&) = delete;
    FdStream& operator=(const FdStream&) = delete;

    // Standard output, buffered until each flush; standard error, unbuffered.
    static std::unique_ptr<LogStream> standard_output();
    static std::unique_ptr<LogStream> standard_error();

    base::Result<std::size_t, IoError> write(std::string_view bytes) override;
    base::Result<void, IoError> flush() override;

  private:
    int fd_;
    Buffering buffering_;
    std::string buffer_;
};

}  // namespace events

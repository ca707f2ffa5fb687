// Log streams on standard output and standard error, written with plain system calls.
#include "log_stream.h"

#include <unistd.h>

#include <cerrno>

#include "base/write_all.h"

namespace events {
namespace {

// One system write, repeated while it is interrupted by a signal.
base::Result<std::size_t, IoError> write_once(int fd, std::string_view bytes) {
    for (;;) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written >= 0) {
            return static_cast<std::size_t>(written);
        }
        if (errno != EINTR) {
            return IoError::from_errno(errno);
        }
    }
}

}  // namespace

std::unique_ptr<LogStream> FdStream::standard_output() {
    return std::make_unique<FdStream>(STDOUT_FILENO, Buffering::until_flush);
}

std::unique_ptr<LogStream> FdStream::standard_error() {
    return std::make_unique<FdStream>(STDERR_FILENO, Buffering::none);
}

base::Result<std::size_t, IoError> FdStream::write(std::string_view bytes) {
    if (buffering_ == Buffering::none) {
        return write_once(fd_, bytes);
    }
    if (buffer_.size() + bytes.size() > kBufferCapacity) {
        if (auto flushed = flush(); !flushed.ok()) {
            return flushed.error();
        }
    }
    if (bytes.size() >= kBufferCapacity) {
        return write_once(fd_, bytes);
    }
    buffer_.append(bytes);
    return bytes.size();
}

base::Result<void, IoError> FdStream::flush() {
    const base::Result<void, base::WriteFailure> written = base::write_all(fd_, buffer_);
    if (written.ok()) {
        buffer_.clear();
        return {};
    }
    // What reached the descriptor leaves the buffer; the rest stays for a later flush.
    const base::WriteFailure& failure = written.error();
    buffer_.erase(0, failure.written);
    if (failure.error_number == 0) {
        return IoError::simple(IoErrorKind::write_zero, kWriteZeroMessage);
    }
    return IoError::from_errno(failure.error_number);
}

}  // namespace events

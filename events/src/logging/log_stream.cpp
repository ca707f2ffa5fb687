// Log streams on standard output and standard error, written with plain system calls.
#include "log_stream.h"

#include <unistd.h>

#include <cerrno>

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
    std::size_t done = 0;
    base::Result<void, IoError> status;
    while (done < buffer_.size()) {
        const base::Result<std::size_t, IoError> written =
            write_once(fd_, std::string_view(buffer_).substr(done));
        if (!written.ok()) {
            status = written.error();
            break;
        }
        if (written.value() == 0) {
            status = IoError::simple(IoErrorKind::write_zero, kWriteZeroMessage);
            break;
        }
        done += written.value();
    }
    // What reached the descriptor leaves the buffer; the rest stays for a later flush.
    buffer_.erase(0, done);
    return status;
}

}  // namespace events

// Whole writes to a descriptor with the system's write.
#include "base/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace base {
namespace {

struct SystemError {
    int number;
};

}  // namespace

Result<void, WriteFailure> write_all(int fd, std::string_view bytes) {
    std::size_t written = 0;
    Result<void, SystemError> outcome = write_all<SystemError>(
        bytes,
        [&](std::string_view rest) -> Result<std::size_t, SystemError> {
            const ssize_t taken = ::write(fd, rest.data(), rest.size());
            if (taken < 0) {
                return SystemError{errno};
            }
            written += static_cast<std::size_t>(taken);
            return static_cast<std::size_t>(taken);
        },
        [](const SystemError& error) { return error.number == EINTR; },
        [] { return SystemError{0}; });
    if (!outcome.ok()) {
        return WriteFailure{outcome.error().number, written};
    }
    return {};
}

}  // namespace base

// Process start-up: every later write to a standard stream reaches something, and a vanished
// reader shows up as a write error rather than a signal.
#include "ownership_mender/process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/thread_identity.h"
#include "process_start_platform.h"

namespace ownership_mender {
namespace {

void open_closed_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is fd itself, since every lower one is open by now.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened == -1) {
            std::abort();
        }
        if (opened != fd) {
            if (::dup2(opened, fd) == -1) {
                std::abort();
            }
            ::close(opened);
        }
    }
}

// The walk keeps one open listing per level of descent. With the usual soft limit of 1024
// descriptors, deep trees would be cut short by descriptors rather than by path length; the
// hard limit is what the administrator actually allows.
void raise_descriptor_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) {
        return;
    }
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
        return;
    }
    const std::optional<rlim_t> lesser = lesser_descriptor_limit(limit.rlim_max);
    if (lesser && *lesser > limit.rlim_cur) {
        raised.rlim_cur = *lesser;
        ::setrlimit(RLIMIT_NOFILE, &raised);
    }
}

}  // namespace

void start_process() {
    open_closed_standard_descriptors();
    raise_descriptor_limit();
    static_cast<void>(::signal(SIGPIPE, SIG_IGN));
    base::set_current_thread_name("main");
}

}  // namespace ownership_mender

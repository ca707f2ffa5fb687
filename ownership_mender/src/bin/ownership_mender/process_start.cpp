// Process start-up: every later write to a standard stream reaches something, and a vanished
// reader shows up as a write error rather than a signal.
#include "ownership_mender/process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/thread_identity.h"

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

}  // namespace

void start_process() {
    open_closed_standard_descriptors();
    ::signal(SIGPIPE, SIG_IGN);
    base::set_current_thread_name("main");
}

}  // namespace ownership_mender

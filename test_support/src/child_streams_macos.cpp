// Pipes and terminals for child streams on macOS, which has no pipe2: close-on-exec is set
// right after creation (test programs fork from one thread only). openpty is in <util.h>.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <util.h>

#include "child_streams.h"

namespace test_support {

bool open_pipe(int fds[2]) {
    if (::pipe(fds) != 0) {
        return false;
    }
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    return true;
}

bool open_terminal(int& primary, int& replica) {
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&primary, &replica, nullptr, &raw, nullptr) != 0) {
        return false;
    }
    ::fcntl(primary, F_SETFD, FD_CLOEXEC);
    ::fcntl(replica, F_SETFD, FD_CLOEXEC);
    return true;
}

}  // namespace test_support

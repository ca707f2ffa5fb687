// Pipes and terminals for child streams on Linux: pipe2 sets close-on-exec as it creates.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "child_streams.h"

namespace test_support {

bool open_pipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC) == 0;
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

// Pipes and pseudo-terminals on macOS, which has no pipe2: close-on-exec is set right after
// creation (test programs fork from one thread only). openpty is in <util.h>.
#include <fcntl.h>
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

bool open_pseudo_terminal(int& primary, int& replica, termios& settings) {
    return ::openpty(&primary, &replica, nullptr, &settings, nullptr) == 0;
}

// In a program built with AddressSanitizer, macOS's allocator may find its small-block zone's
// address range taken and say so on standard error ("nano zone abandoned"), which would put
// bytes of its own among the program's. Without that zone it has nothing to say.
void add_platform_environment(std::vector<std::string>& env) {
    env.emplace_back("MallocNanoZone=0");
}

}  // namespace test_support

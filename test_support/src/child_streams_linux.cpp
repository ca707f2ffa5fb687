// Pipes and pseudo-terminals on Linux: pipe2 sets close-on-exec as it creates; openpty is in
// <pty.h>.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include "child_streams.h"

namespace test_support {

bool open_pipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC) == 0;
}

bool open_pseudo_terminal(int& primary, int& replica, termios& settings) {
    return ::openpty(&primary, &replica, nullptr, &settings, nullptr) == 0;
}

void add_platform_environment(std::vector<std::string>& /*env*/) {}

}  // namespace test_support

// What both platforms share in opening child streams: terminals in raw mode.
#include <fcntl.h>
#include <termios.h>

#include "child_streams.h"

namespace test_support {

bool open_terminal(int& primary, int& replica) {
    termios raw{};
    ::cfmakeraw(&raw);
    if (!open_pseudo_terminal(primary, replica, raw)) {
        return false;
    }
    ::fcntl(primary, F_SETFD, FD_CLOEXEC);
    ::fcntl(replica, F_SETFD, FD_CLOEXEC);
    return true;
}

}  // namespace test_support

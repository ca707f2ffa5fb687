// Mounts as macOS tells them: a status call does not name the mount, and macOS has no bind
// mounts that would show a directory through a second one, so there is nothing to reopen.
#include <sys/stat.h>

#include <cerrno>

#include "path_scope_platform.h"

namespace ownership_mender {

int see_directory(int at, const char* relative, SeenDirectory& seen) {
    struct stat status {};
    if (::fstatat(at, relative, &status, 0) != 0) {
        return errno;
    }
    seen.identity = DirectoryIdentity::of(status);
    seen.mount = 0;
    return 0;
}

int reopen_through_mount_of(int /*mount_directory*/, int /*at*/, const char* /*relative*/) {
    errno = ENOTSUP;
    return -1;
}

}  // namespace ownership_mender

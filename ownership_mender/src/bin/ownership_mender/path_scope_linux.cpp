// Mounts as Linux tells them: statx names the mount a path reaches a directory through, and a
// file handle opens the directory again through another mount of the same file system.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <cerrno>
#include <new>

#include "path_scope_platform.h"

namespace ownership_mender {

int see_directory(int at, const char* relative, SeenDirectory& seen) {
    struct statx status {};
    // As stat does, the last component is not mounted on demand.
    if (::statx(at, relative, AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO | STATX_MNT_ID, &status) !=
        0) {
        return errno;
    }
    seen.identity = {makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino};
    // Kernels before 5.8 tell no mount.
    seen.mount = (status.stx_mask & STATX_MNT_ID) != 0 ? status.stx_mnt_id : 0;
    return 0;
}

int reopen_through_mount_of(int mount_directory, int at, const char* relative) {
    // Room for the handle of any file system.
    alignas(file_handle) std::array<unsigned char, sizeof(file_handle) + MAX_HANDLE_SZ> storage{};
    file_handle* handle = new (storage.data()) file_handle{};
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mount_id = 0;
    if (::name_to_handle_at(at, relative, handle, &mount_id, AT_SYMLINK_FOLLOW) != 0) {
        return -1;
    }
    return ::open_by_handle_at(mount_directory, handle, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace ownership_mender

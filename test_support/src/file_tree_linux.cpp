// File-tree helpers that only Linux has: the immutable attribute through its ioctl, and mounts
// in a mount namespace of the process's own.
#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include "test_support/file_tree.h"

namespace test_support {

bool set_immutable(const std::string& path, bool immutable) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1) {
        return false;
    }
    int flags = 0;
    bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (set) {
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        set = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return set;
}

bool mount_read_only(const std::string& source, const std::string& target) {
    // Private first, so that nothing of this namespace's mounts reaches the system's.
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
               0;
}

bool bind_mount(const std::string& source, const std::string& target) {
    static const bool own_namespace =
        ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return own_namespace && ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

void unmount(const std::string& target) {
    ::umount2(target.c_str(), MNT_DETACH);
}

}  // namespace test_support

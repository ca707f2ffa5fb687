// File-tree helpers as macOS has them: the immutable attribute is the user-immutable flag, and
// there are no bind mounts.
#include <sys/stat.h>

#include "test_support/file_tree.h"

namespace test_support {

bool set_immutable(const std::string& path, bool immutable) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    constexpr unsigned kImmutable = UF_IMMUTABLE;
    const unsigned flags = immutable ? status.st_flags | kImmutable : status.st_flags & ~kImmutable;
    return ::chflags(path.c_str(), flags) == 0;
}

bool mount_read_only(const std::string& /*source*/, const std::string& /*target*/) {
    return false;
}

bool bind_mount(const std::string& /*source*/, const std::string& /*target*/) {
    return false;
}

void unmount(const std::string& /*target*/) {}

}  // namespace test_support

// A directory's identity as stat reports it (device and inode): equal identities are the same
// directory, whichever path or link led to it. Plain values.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace ownership_mender {

struct DirectoryIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const DirectoryIdentity&) const = default;

    static DirectoryIdentity of(const struct stat& status) {
        return {status.st_dev, status.st_ino};
    }
};

struct IdentityHash {
    std::size_t operator()(const DirectoryIdentity& identity) const {
        return std::hash<ino_t>()(identity.inode) * 31 + std::hash<dev_t>()(identity.device);
    }
};

}  // namespace ownership_mender

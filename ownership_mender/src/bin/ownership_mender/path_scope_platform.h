// What placing a directory needs of each system (path_scope_linux.cpp, path_scope_macos.cpp):
// the mount through which a path reaches a directory, where the system tells it, and the same
// directory reopened as another mount shows it. One directory can be seen through several
// mounts (a bind mount shows it elsewhere too), and ".." climbs out of each differently.
#pragma once

#include <cstdint>

#include "directory_identity.h"

namespace ownership_mender {

// A directory as a path reaches it: its identity and the mount it is seen through, or 0 where
// the system does not tell mounts apart.
struct SeenDirectory {
    DirectoryIdentity identity;
    std::uint64_t mount = 0;
};

// Looks at relative within the open directory at, links followed: 0, or the system's error.
int see_directory(int at, const char* relative, SeenDirectory& seen);

// A new descriptor of the directory relative within at, opened as the mount that holds the
// open directory mount_directory shows it; -1 with errno set where that cannot be done.
int reopen_through_mount_of(int mount_directory, int at, const char* relative);

}  // namespace ownership_mender

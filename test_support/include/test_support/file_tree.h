// Building and inspecting file trees in tests. A refused system call is recorded as a test
// failure naming the path, so a broken fixture shows up where it happens.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace test_support {

void make_directory(const std::string& path);
// An empty regular file.
void make_file(const std::string& path);
void make_link(const std::string& target, const std::string& path);
// A Unix-domain socket file, bound and closed: what mknod makes only on Linux. Bound by its
// name from within its directory, since a socket's whole path must fit in 104 bytes on macOS.
void make_socket(const std::string& path);
// A new directory root with a chain of levels directories below it, each named name inside the
// one before; root and every directory but the deepest hold an empty file "f". Built relative
// to each other, so that it can go deeper than any path the system accepts. at_bottom, when
// given, is called with a descriptor of the deepest directory.
void make_chain(const std::string& root, const std::string& name, int levels,
                const std::function<void(int deepest)>& at_bottom = {});

// Sets or clears the attribute that makes path immutable, so that not even root may change its
// owner. False where the system or the file system refuses.
bool set_immutable(const std::string& path, bool immutable);
// Mounts source read-only at target, in a mount namespace of the calling process's own, which
// must be about to exec or exit. False where that is not allowed (and on macOS, always).
bool mount_read_only(const std::string& source, const std::string& target);
// Shows the directory source at target as well (a bind mount), in a mount namespace of the
// calling process's own, made on first use: the process's mounts stay its own from then on.
// False where that is not allowed (and on macOS, always). unmount undoes it.
bool bind_mount(const std::string& source, const std::string& target);
void unmount(const std::string& target);

struct Owner {
    uid_t uid;
    gid_t gid;
    bool operator==(const Owner&) const = default;
};
// Owner of what path leads to, links followed.
Owner owner_of(const std::string& path);
// Owner of path itself, a link not followed.
Owner link_owner_of(const std::string& path);

std::string join(const std::string& directory, const std::string& name);

// The names in directory as the system lists them, in its order, "." and ".." included.
std::vector<std::string> system_listing(const std::string& directory);

bool running_as_root();

}  // namespace test_support

// Skips the current test where changing owners is not allowed.
#define OWNERSHIP_MENDER_REQUIRE_ROOT()               \
    if (!::test_support::running_as_root()) {         \
        GTEST_SKIP() << "changing owners needs root"; \
    }

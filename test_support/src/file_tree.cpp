// File-tree helpers for tests.
#include "test_support/file_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace test_support {

void make_directory(const std::string& path) {
    EXPECT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

void make_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    if (fd >= 0) {
        ::close(fd);
    }
}

void make_link(const std::string& target, const std::string& path) {
    EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
}

void make_socket(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(name.size(), sizeof address.sun_path) << path;
    name.copy(address.sun_path, name.size());
    const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_NE(here, -1);
    ASSERT_NE(listener, -1);
    EXPECT_EQ(::chdir(directory.c_str()), 0) << path;
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
    EXPECT_EQ(::fchdir(here), 0);
    ::close(listener);
    ::close(here);
}

void make_chain(const std::string& root, const std::string& name, int levels,
                const std::function<void(int deepest)>& at_bottom) {
    make_directory(root);
    int directory = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_NE(directory, -1) << root;
    for (int level = 0; level < levels && directory != -1; ++level) {
        const int file = ::openat(directory, "f", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        EXPECT_NE(file, -1) << level;
        ::close(file);
        EXPECT_EQ(::mkdirat(directory, name.c_str(), 0755), 0) << level;
        const int next = ::openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_NE(next, -1) << level;
        ::close(directory);
        directory = next;
    }
    if (directory != -1 && at_bottom) {
        at_bottom(directory);
    }
    ::close(directory);
}

Owner owner_of(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return {status.st_uid, status.st_gid};
}

Owner link_owner_of(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return {status.st_uid, status.st_gid};
}

std::string join(const std::string& directory, const std::string& name) {
    return directory + "/" + name;
}

std::vector<std::string> system_listing(const std::string& directory) {
    std::vector<std::string> names;
    DIR* stream = ::opendir(directory.c_str());
    EXPECT_NE(stream, nullptr) << directory;
    if (stream == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(stream)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(stream);
    return names;
}

bool running_as_root() {
    return ::geteuid() == 0;
}

}  // namespace test_support

// Scratch directories under $TMPDIR (or /tmp). Removal works relative to open directories, so
// trees deeper than any path the system accepts are removed too, and it first gives back the
// permissions a test may have taken away. Those that every user may pass through go to /tmp
// whatever $TMPDIR is: macOS's is a per-user folder of mode 0700, which sudo may keep.
#include "test_support/scratch_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace test_support {
namespace {

// Removes everything inside the open directory, then closes it.
void empty_directory(int directory) {
    DIR* stream = ::fdopendir(directory);
    if (stream == nullptr) {
        ::close(directory);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    for (const auto& name : names) {
        struct stat status {};
        if (::fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            // Tests may take permissions away; without them the directory cannot be emptied.
            // Removal is best effort, as everywhere here: what fails is left behind.
            const int restored = ::fchmodat(directory, name.c_str(), 0700, 0);
            static_cast<void>(restored);
            const int child =
                ::openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                empty_directory(child);
            }
            ::unlinkat(directory, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(directory, name.c_str(), 0);
        }
    }
    ::closedir(stream);
}

}  // namespace

ScratchDirectory::ScratchDirectory(ScratchAccess access) {
    const char* tmp = access == ScratchAccess::owner ? std::getenv("TMPDIR") : nullptr;
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                          "/ownership_mender_test.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path_ = buffer.data();
    if (access == ScratchAccess::everyone && ::chmod(path_.c_str(), 0755) != 0) {
        throw std::runtime_error("chmod 0755 failed for " + path_);
    }
}

ScratchDirectory::~ScratchDirectory() {
    ::chmod(path_.c_str(), 0700);
    const int directory = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory >= 0) {
        empty_directory(directory);
    }
    ::rmdir(path_.c_str());
}

}  // namespace test_support

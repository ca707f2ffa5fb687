// Scratch directories under $TMPDIR (or /tmp). Removal first restores permissions that a test
// may have taken away, so that even unreadable directories are cleaned up.
#include "test_support/scratch_directory.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace test_support {

ScratchDirectory::ScratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                          "/ownership_mender_test.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path_ = buffer.data();
}

ScratchDirectory::~ScratchDirectory() {
    namespace fs = std::filesystem;
    std::error_code error;
    ::chmod(path_.c_str(), 0700);
    for (auto it = fs::recursive_directory_iterator(
             path_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    fs::remove_all(path_, error);
}

}  // namespace test_support

// Climbing from a directory through "..", by path relative to an open directory: one status
// call a level, with no descriptor opened but every few hundred levels, so that the path stays
// within what the system accepts.
#include "path_scope.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <string_view>

#include "owned_descriptor.h"

namespace ownership_mender {
namespace {

// Well within the 1,024 bytes macOS allows a path, after a name of up to 255 bytes.
constexpr std::size_t kLongestRelative = 700;
// More links than any system follows in one resolution.
constexpr int kMostLinks = 64;

}  // namespace

bool PathScope::directory_inside(int at, const char* name, const DirectoryIdentity& identity) {
    return climb(at, name, identity);
}

bool PathScope::target_inside(int at, const char* name) {
    // Where the last link of a chain points, each link read where the one before led; what
    // cannot be read cannot be placed, and counts as outside.
    OwnedDescriptor holder;
    int directory = at;
    link_.assign(name);
    bool resolved = false;
    for (int links = 0; links < kMostLinks && !resolved; ++links) {
        std::array<char, PATH_MAX> text{};
        const ssize_t length = ::readlinkat(directory, link_.c_str(), text.data(), text.size());
        if (length < 0) {
            if (errno != EINVAL) {
                return false;
            }
            resolved = true;  // no link: the entry lies in directory
            continue;
        }
        const std::string_view target(text.data(), static_cast<std::size_t>(length));
        const std::size_t slash = target.rfind('/');
        if (slash != std::string_view::npos) {
            relative_.assign(target.substr(0, slash == 0 ? 1 : slash));
            const int opened =
                ::openat(directory, relative_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (opened == -1) {
                return false;
            }
            holder.reset(opened);
            directory = opened;
        }
        link_.assign(slash == std::string_view::npos ? target : target.substr(slash + 1));
    }
    struct stat status {};
    if (!resolved || ::fstat(directory, &status) != 0) {
        return false;
    }
    return climb(directory, ".", DirectoryIdentity::of(status));
}

bool PathScope::climb(int at, const char* name, DirectoryIdentity identity) {
    passed_.clear();
    relative_.assign(name);
    OwnedDescriptor anchor;
    // What cannot be climbed through cannot be placed in PATH, and counts as outside.
    bool inside = false;
    for (;;) {
        if (const std::optional<bool> known = known_(identity)) {
            inside = *known;
            break;
        }
        if (const auto climbed = climbed_.find(identity); climbed != climbed_.end()) {
            inside = climbed->second;
            break;
        }
        passed_.push_back(identity);
        if (relative_.size() > kLongestRelative) {
            const int opened = ::openat(at, relative_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (opened == -1) {
                break;
            }
            anchor.reset(opened);
            at = opened;
            relative_.assign(".");
        }
        relative_ += "/..";
        struct stat status {};
        if (::fstatat(at, relative_.c_str(), &status, 0) != 0) {
            break;
        }
        const DirectoryIdentity parent = DirectoryIdentity::of(status);
        if (parent == identity) {
            break;  // the root, come to without passing PATH
        }
        identity = parent;
    }
    for (const DirectoryIdentity& directory : passed_) {
        climbed_.emplace(directory, inside);
    }
    return inside;
}

}  // namespace ownership_mender

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

Placement PathScope::place_directory(int path_directory, int at, const char* name,
                                     const DirectoryIdentity& identity) {
    return climb(path_directory, at, name, SeenDirectory{identity, 0});
}

Placement PathScope::place_target(int path_directory, int at, const char* name) {
    // Where the last link of a chain points, each link read where the one before led.
    OwnedDescriptor holder;
    int directory = at;
    link_.assign(name);
    bool resolved = false;
    for (int links = 0; links < kMostLinks && !resolved; ++links) {
        std::array<char, PATH_MAX> text{};
        const ssize_t length = ::readlinkat(directory, link_.c_str(), text.data(), text.size());
        if (length < 0) {
            if (errno != EINVAL) {
                return Placement::failed(FailedCall::readlink, errno);
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
                return Placement::failed(FailedCall::open, errno);
            }
            holder.reset(opened);
            directory = opened;
        }
        link_.assign(slash == std::string_view::npos ? target : target.substr(slash + 1));
    }
    if (!resolved) {
        // The chain changed since the walk resolved it: a race.
        return Placement::failed(FailedCall::readlink, ELOOP);
    }
    SeenDirectory start;
    if (const int error = see_directory(directory, ".", start); error != 0) {
        return Placement::failed(FailedCall::stat, error);
    }
    return climb(path_directory, directory, ".", start);
}

Placement PathScope::climb(int path_directory, int at, const char* name, SeenDirectory start) {
    passed_.clear();
    relative_.assign(name);
    OwnedDescriptor anchor;
    if (!path_seen_) {
        if (const int error = see_directory(path_directory, ".", path_); error != 0) {
            return Placement::failed(FailedCall::stat, error);
        }
        path_seen_ = true;
    }
    SeenDirectory current = start;
    bool inside = false;
    for (;;) {
        if (known_(current.identity)) {
            inside = true;
            break;
        }
        if (const auto climbed = climbed_.find(current.identity); climbed != climbed_.end()) {
            inside = climbed->second;
            break;
        }
        // Where the start lies on PATH's file system but is reached through another mount, it
        // is climbed from as PATH's mount shows it: a bind mount elsewhere of a directory in
        // PATH would otherwise climb to where the bind mount is. Only the start: above a mount
        // crossed on the way, PATH's mount may show something else entirely.
        if (passed_.empty() && path_.identity.device == current.identity.device &&
            path_.mount != 0) {
            if (current.mount == 0) {
                if (const int error = see_directory(at, relative_.c_str(), current); error != 0) {
                    return Placement::failed(FailedCall::stat, error);
                }
            }
            if (current.mount != 0 && current.mount != path_.mount) {
                const int reopened = reopen_through_mount_of(path_directory, at, relative_.c_str());
                if (reopened == -1) {
                    return Placement::failed(FailedCall::open, errno);
                }
                anchor.reset(reopened);
                at = reopened;
                relative_.assign(".");
                current.mount = path_.mount;
            }
        }
        passed_.push_back(current);
        if (relative_.size() > kLongestRelative) {
            const int opened = ::openat(at, relative_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (opened == -1) {
                return Placement::failed(FailedCall::open, errno);
            }
            anchor.reset(opened);
            at = opened;
            relative_.assign(".");
        }
        relative_ += "/..";
        SeenDirectory parent;
        if (const int error = see_directory(at, relative_.c_str(), parent); error != 0) {
            return Placement::failed(FailedCall::stat, error);
        }
        if (parent.identity == current.identity) {
            break;  // the root, come to without passing PATH
        }
        current = parent;
    }
    for (const SeenDirectory& directory : passed_) {
        const bool elsewhere = path_.mount != 0 && directory.mount != 0 &&
                               directory.identity.device == path_.identity.device &&
                               directory.mount != path_.mount;
        if (inside || !elsewhere) {
            climbed_.emplace(directory.identity, inside);
        }
    }
    return {inside ? Placement::Place::inside : Placement::Place::outside};
}

}  // namespace ownership_mender

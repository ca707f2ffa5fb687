// The ownership walk as an explicit stack of open listings: one level per directory on the
// current line of descent, one path buffer shared by all levels, no allocation per entry or
// per directory; besides, a record of the directories entered through links, which allocates
// once per distinct link target and stays empty on a tree without links to directories.
#include "ownership_mender/chown_tree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/fatal_report.h"
#include "base/nul_error.h"
#include "directory_listing.h"

namespace ownership_mender {
namespace {

static_assert(sizeof(uid_t) == sizeof(std::uint32_t), "user ids are 32 bits on every target");

// A directory's identity as stat reports it; equal identities are the same directory,
// whichever path or link led to it.
struct DirectoryIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const DirectoryIdentity&) const = default;
};

struct IdentityHash {
    std::size_t operator()(const DirectoryIdentity& identity) const {
        return std::hash<ino_t>()(identity.inode) * 31 + std::hash<dev_t>()(identity.device);
    }
};

class TreeWalk {
  public:
    TreeWalk(std::string_view root, std::uint32_t uid) : path_(root), uid_(uid) {
        // Room for any path the system accepts, so the buffer rarely grows during the walk.
        path_.reserve(4096);
    }
    TreeWalk(const TreeWalk&) = delete;
    TreeWalk& operator=(const TreeWalk&) = delete;

    void run() {
        refuse_zero_bytes(0);
        // PATH counts as reached through a link, but it is not recorded: it stays on the line
        // of descent for the whole walk, so the ancestor check stops every later visit to it.
        visit(EntryKind::directory);
        DirectoryEntry entry;
        while (depth_ != 0) {
            Level& level = levels_[depth_ - 1];
            if (!level.listing.next(entry)) {
                level.listing.close();
                --depth_;
                path_.resize(level.path_length);
                change_owner();
                continue;
            }
            if (entry.name == "." || entry.name == "..") {
                continue;
            }
            path_.resize(level.children_start);
            path_.append(entry.name);
            refuse_zero_bytes(level.children_start);
            visit(entry.kind);
        }
    }

  private:
    // One directory on the line of descent: its open listing, where its own path ends and
    // where its children's names begin (after the separator, if one was needed).
    struct Level {
        DirectoryListing listing;
        std::size_t path_length = 0;
        std::size_t children_start = 0;
        DirectoryIdentity identity;
    };

    // The entry whose path is in path_: descends into it when it is a directory that can be
    // listed, is not already being listed further up, and is not a repeated visit through a
    // link; otherwise changes it at once.
    void visit(EntryKind kind) {
        if (kind != EntryKind::not_directory) {
            struct stat status {};
            if (::stat(path_.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
                const DirectoryIdentity identity{status.st_dev, status.st_ino};
                // An entry of unknown type may be a link. It is taken for one rather than told
                // apart with an lstat: on file systems that never tell types, that costs a
                // record per directory instead of a system call.
                const bool through_link = kind != EntryKind::directory;
                if (!on_descent_line(identity) && !(through_link && walked_already(identity)) &&
                    descend(identity)) {
                    if (through_link) {
                        walked_through_links_[identity] = levels_[depth_ - 1].path_length;
                    }
                    return;
                }
            }
        }
        change_owner();
    }

    // Whether the directory in path_, reached through a link, was walked before through a link
    // along a path no longer than this one: everything beneath it was reached then. Without
    // this, directories that link to each other would be walked once for every order of them,
    // in factorial time. A shorter path walks it again, since entries that lay beyond the limit
    // on path length before may be in reach now. Depth is left out: start-up raises the limit
    // on descriptors to the hard limit, so the path-length limit, not descriptors, bounds how
    // deep a walk goes. So is the system's limit on links followed in one path resolution: the
    // walk cannot see the links inside link targets, so in principle a shorter path through
    // more links could reach less than a longer one did.
    bool walked_already(const DirectoryIdentity& identity) const {
        const auto walked = walked_through_links_.find(identity);
        return walked != walked_through_links_.end() && walked->second <= path_.size();
    }

    // Opens the listing of the directory in path_ in the next level. Levels are kept when
    // the walk climbs back, so each depth allocates its listing once per walk.
    bool descend(const DirectoryIdentity& identity) {
        if (depth_ == levels_.size()) {
            levels_.emplace_back();
        }
        Level& level = levels_[depth_];
        if (!level.listing.open(path_.c_str(), depth_)) {
            return false;
        }
        ++depth_;
        level.path_length = path_.size();
        level.identity = identity;
        if (!path_.empty() && path_.back() != '/') {
            path_.push_back('/');
        }
        level.children_start = path_.size();
        return true;
    }

    bool on_descent_line(const DirectoryIdentity& identity) const {
        return std::any_of(levels_.begin(), levels_.begin() + static_cast<std::ptrdiff_t>(depth_),
                           [&](const Level& level) { return level.identity == identity; });
    }

    void change_owner() const {
        // Failures are expected on a live tree and are not reported; the walk goes on.
        const int ignored = ::chown(path_.c_str(), uid_, 0);
        static_cast<void>(ignored);
    }

    // Neither the command line nor a listing yields zero bytes, so this only fires when a
    // caller breaks that contract; as a C string such a path would silently be cut short.
    void refuse_zero_bytes(std::size_t from) const {
        if (path_.find('\0', from) != std::string::npos) {
            base::fatal("string has null embedded bytes", ": " + base::describe_nul_error(path_));
        }
    }

    std::string path_;
    std::vector<Level> levels_;  // levels_[0, depth_) are open, the rest kept for reuse
    std::size_t depth_ = 0;
    // Directories entered through a link, with the length of the shortest path they were
    // walked by.
    std::unordered_map<DirectoryIdentity, std::size_t, IdentityHash> walked_through_links_;
    const uid_t uid_;
};

}  // namespace

void chown_tree(std::string_view path, std::uint32_t uid) {
    TreeWalk(path, uid).run();
}

}  // namespace ownership_mender

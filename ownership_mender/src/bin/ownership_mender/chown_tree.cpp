// The ownership walk as an explicit stack of open listings: one level per directory on the
// current line of descent, one path buffer shared by all levels, no allocation per entry or
// per directory; besides, a record of the directories entered through links, which allocates
// once per distinct link target and stays empty on a tree without links to directories.
// Every call names its entry by its full path while the system accepts that; beyond the
// system's limits on path length and on links, by its name within the parent's open listing.
// A dry run is the same walk with the change left out, and keeps track of where entries lie.
#include "ownership_mender/chown_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/fatal_report.h"
#include "base/nul_error.h"
#include "directory_identity.h"
#include "directory_listing.h"
#include "path_scope.h"

namespace ownership_mender {
namespace {

static_assert(sizeof(uid_t) == sizeof(std::uint32_t), "user ids are 32 bits on every target");

class TreeWalk {
  public:
    TreeWalk(std::string_view root, std::uint32_t uid, const WalkOptions& options)
        : path_(root), uid_(uid), options_(options) {
        // Room for any path the system accepts whole, so the buffer rarely grows during the
        // walk; only entries named within their parent's listing lie beyond it.
        path_.reserve(4096);
    }
    TreeWalk(const TreeWalk&) = delete;
    TreeWalk& operator=(const TreeWalk&) = delete;

    WalkTally run() {
        refuse_zero_bytes(0);
        // PATH, even when it is a link, is visited as a directory reached without one: it is
        // not recorded, since it stays on the line of descent for the whole walk, where the
        // ancestor check stops every later visit to it; and it is where the walk starts, so it
        // lies in PATH whatever it leads to.
        visit(EntryKind::directory);
        DirectoryEntry entry;
        while (depth_ != 0) {
            Level& level = levels_[depth_ - 1];
            if (!level.listing.next(entry)) {
                const int read_error = level.listing.read_error();
                level.listing.close();
                --depth_;
                path_.resize(level.path_length);
                if (read_error != 0) {
                    not_listed(FailedCall::read, read_error);
                }
                change_owner(level.by_name, level.place, 0);
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
        return tally_;
    }

  private:
    // Where an entry lies, in a dry run: in PATH (outside_from 0), outside it (outside_from
    // is the length of the beginning of its path that names the link by which the walk left
    // PATH), or not placed, beneath a link whose place could not be decided.
    struct Place {
        std::size_t outside_from = 0;
        bool placed = true;

        bool inside() const { return placed && outside_from == 0; }
    };

    // One directory on the line of descent: its open listing, where its own path ends and
    // where its children's names begin (after the separator, if one was needed), whether it
    // lies beyond the system's limits, so that it and its entries are named within their
    // parents' listings, and in a dry run, where it lies.
    struct Level {
        DirectoryListing listing;
        std::size_t path_length = 0;
        std::size_t children_start = 0;
        DirectoryIdentity identity;
        bool by_name = false;
        Place place;
    };

    // The entry whose path is in path_: descends into it when it is a directory that can be
    // listed, is not already being listed further up, and is not a repeated visit through a
    // link; otherwise changes it at once.
    void visit(EntryKind kind) {
        // Below a directory that had to be named within its parent, every path is longer still
        // or crosses the same links: its entries are named within it from the start.
        bool by_name = depth_ != 0 && levels_[depth_ - 1].by_name;
        Place place = depth_ != 0 ? levels_[depth_ - 1].place : Place{};
        if (kind != EntryKind::not_directory) {
            struct stat status {};
            const int found = call(
                by_name, [&](const char* path) { return ::stat(path, &status); },
                [&](int directory, const char* name) {
                    return ::fstatat(directory, name, &status, 0);
                });
            if (found != 0) {
                // A dangling link, or a loop of links: the change fails too, but is tried.
                change_owner(by_name, place, errno);
                return;
            }
            // An entry of unknown type may be a link. It is taken for one rather than told
            // apart with an lstat: on file systems that never tell types, that costs a record
            // per directory instead of a system call.
            const bool through_link = kind != EntryKind::directory;
            const bool directory = S_ISDIR(status.st_mode);
            const DirectoryIdentity identity = DirectoryIdentity::of(status);
            const Level* ancestor = directory ? on_descent_line(identity) : nullptr;
            if (options_.dry_run && (through_link || ancestor != nullptr)) {
                place = placed(place, ancestor, status);
            }
            if (directory && ancestor == nullptr && !(through_link && walked_already(identity)) &&
                descend(identity, by_name, place)) {
                if (through_link) {
                    walked_through_links_[identity] = depth_ - 1;
                }
                return;
            }
        }
        change_owner(by_name, place, 0);
    }

    // Dry run: where the entry in path_ lies, a link (status: what it leads to) or a directory
    // on the line of descent (ancestor), given that its parent lies at parent_place. A target
    // in PATH brings the walk back in; one outside leaves PATH by this entry, unless the walk
    // had left it already. Never asked of PATH itself, which is where the walk starts,
    // whatever it is.
    Place placed(const Place& parent_place, const Level* ancestor, const struct stat& status) {
        Placement placement;
        if (ancestor != nullptr && ancestor->place.placed) {
            placement.place = ancestor->place.inside() ? Placement::Place::inside
                                                       : Placement::Place::outside;
        } else {
            const Level& parent = levels_[depth_ - 1];
            const char* name = path_.c_str() + parent.children_start;
            const int directory = parent.listing.descriptor();
            const int path_directory = levels_[0].listing.descriptor();
            placement = S_ISDIR(status.st_mode)
                            ? scope_.place_directory(path_directory, directory, name,
                                                     DirectoryIdentity::of(status))
                            : scope_.place_target(path_directory, directory, name);
        }
        switch (placement.place) {
            case Placement::Place::inside:
                return Place{};
            case Placement::Place::outside:
                return parent_place.placed && parent_place.outside_from != 0
                           ? parent_place
                           : Place{path_.size()};
            case Placement::Place::not_placed:
                break;
        }
        ++tally_.not_placed;
        if (options_.observer != nullptr) {
            options_.observer->entry_not_placed(path_, placement.call, placement.error);
        }
        return Place{0, false};
    }

    // Whether the directory in path_, reached through a link, was walked before through a link
    // from no deeper than here: everything beneath it was reached then. Without this,
    // directories that link to each other would be walked once for every order of them, in
    // factorial time. Depth is what can make a later visit reach more: each level of descent
    // holds a descriptor, so from higher up, directories may be listed that the deeper walk had
    // none left for. The length of the path cannot: entries beyond the system's limits on path
    // length and on links are named within their parent's listing, so they are reached from
    // any path.
    bool walked_already(const DirectoryIdentity& identity) const {
        const auto walked = walked_through_links_.find(identity);
        return walked != walked_through_links_.end() && walked->second <= depth_;
    }

    // Makes a system call on the entry in path_: by its full path, unless by_name says that it
    // lies beyond the system's limits, and by its name within its parent's listing when the
    // full path fails for that reason (too long, or crossing too many links); by_name then
    // tells the later calls on the entry to start there. A loop of links fails both ways.
    // PATH itself has no parent listing and is named by its path only.
    template <typename ByPath, typename ByName>
    int call(bool& by_name, const ByPath& by_path, const ByName& within_parent) const {
        if (!by_name) {
            const int result = by_path(path_.c_str());
            if (result == 0 || depth_ == 0 || (errno != ENAMETOOLONG && errno != ELOOP)) {
                return result;
            }
            by_name = true;
        }
        const Level& parent = levels_[depth_ - 1];
        return within_parent(parent.listing.descriptor(), path_.c_str() + parent.children_start);
    }

    // Opens the listing of the directory in path_ in the next level. Levels are kept when
    // the walk climbs back, so each depth allocates its listing once per walk.
    // by_name: as call found, whether the directory is named within its parent's listing.
    bool descend(const DirectoryIdentity& identity, bool by_name, const Place& place) {
        if (depth_ == levels_.size()) {
            levels_.emplace_back();
        }
        Level& level = levels_[depth_];
        const int opened = call(
            by_name, [&](const char* path) { return level.listing.open(path, depth_) ? 0 : -1; },
            [&](int directory, const char* name) {
                return level.listing.open_in(directory, name, depth_) ? 0 : -1;
            });
        if (opened != 0) {
            not_listed(FailedCall::open, errno);
            return false;
        }
        ++depth_;
        level.path_length = path_.size();
        level.identity = identity;
        level.by_name = by_name;
        level.place = place;
        if (!path_.empty() && path_.back() != '/') {
            path_.push_back('/');
        }
        level.children_start = path_.size();
        return true;
    }

    // The level on the line of descent that lists the directory identity, if one does.
    const Level* on_descent_line(const DirectoryIdentity& identity) const {
        const auto end = levels_.begin() + static_cast<std::ptrdiff_t>(depth_);
        const auto found = std::find_if(
            levels_.begin(), end, [&](const Level& level) { return level.identity == identity; });
        return found == end ? nullptr : &*found;
    }

    // Changes the entry in path_, or in a dry run tells that it would, or that it could not be
    // looked at (look_error, from stat). Failures are expected on a live tree; the walk goes on.
    void change_owner(bool by_name, const Place& place, int look_error) {
        if (options_.dry_run) {
            if (look_error != 0) {
                ++tally_.unchanged;
                if (options_.observer != nullptr) {
                    options_.observer->entry_not_changed(path_, FailedCall::stat, look_error);
                }
                return;
            }
            ++tally_.changed;
            std::optional<std::string_view> outside_through;
            if (place.placed && place.outside_from != 0) {
                ++tally_.outside;
                tally_.leaving_links += place.outside_from == path_.size() ? 1 : 0;
                outside_through = std::string_view(path_).substr(0, place.outside_from);
            }
            if (options_.observer != nullptr) {
                options_.observer->entry_would_change(path_, outside_through, place.placed);
            }
            return;
        }
        const int changed = call(
            by_name, [&](const char* path) { return ::chown(path, uid_, 0); },
            [&](int directory, const char* name) {
                return ::fchownat(directory, name, uid_, 0, 0);
            });
        if (changed == 0) {
            ++tally_.changed;
            return;
        }
        ++tally_.unchanged;
        if (options_.observer != nullptr) {
            options_.observer->entry_not_changed(path_, FailedCall::chown, errno);
        }
    }

    // The directory in path_ was not listed, or only in part.
    void not_listed(FailedCall call, int error) {
        ++tally_.not_listed;
        if (options_.observer != nullptr) {
            options_.observer->directory_not_listed(path_, call, error);
        }
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
    // Directories entered through a link, with the least depth they were walked from.
    std::unordered_map<DirectoryIdentity, std::size_t, IdentityHash> walked_through_links_;
    const uid_t uid_;
    const WalkOptions options_;
    WalkTally tally_;
    // Dry runs only: where link targets lie, starting from what the line of descent knows.
    PathScope scope_{[this](const DirectoryIdentity& identity) {
        const Level* level = on_descent_line(identity);
        return level != nullptr && level->place.inside();
    }};
};

}  // namespace

WalkTally chown_tree(std::string_view path, std::uint32_t uid, const WalkOptions& options) {
    return TreeWalk(path, uid, options).run();
}

}  // namespace ownership_mender

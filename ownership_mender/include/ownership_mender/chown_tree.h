// The ownership walk: hands a path and everything reachable beneath it to one user and group 0,
// depth first, children before their directory, following symbolic links. Silent by itself:
// whatever cannot be listed or changed is skipped, and told only to an observer, when there is
// one. Runs on the calling thread; shares nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ownership_mender {

// The system call that failed on an entry.
enum class FailedCall { chown, stat, open, read, readlink };

// What a walk tells, as it happens, besides making its changes. Paths are the entries' paths as
// the walk names them (PATH joined with the names read from listings: byte strings, valid only
// for the call).
class WalkObserver {
  public:
    virtual ~WalkObserver() = default;

    // The entry keeps its owner: chown refused (error is the system's error number), or in a
    // dry run, stat could not look at it (a dangling link, a loop of links).
    virtual void entry_not_changed(std::string_view path, FailedCall call, int error) = 0;

    // The directory's entries were not all walked: its listing could not be opened (no
    // permission, no descriptor left) or a read failed part-way (call read).
    virtual void directory_not_listed(std::string_view path, FailedCall call, int error) = 0;

    // Dry run: where what the link path leads to lies could not be decided (no descriptor
    // left, a race): call failed with the system's error. The link and everything the walk
    // reaches through it are then told as not placed, neither in PATH nor outside it.
    virtual void entry_not_placed(std::string_view path, FailedCall call, int error) = 0;

    // Dry run: the entry would be changed. outside_through names the link through which the
    // walk left PATH when the entry lies outside it (its path, a beginning of path or path
    // itself), and is empty when the entry lies in PATH or was not placed (placed false).
    virtual void entry_would_change(std::string_view path,
                                    std::optional<std::string_view> outside_through,
                                    bool placed) = 0;
};

// How a walk went. In a dry run, changed counts what would be changed and unchanged what could
// not be looked at; outside, leaving_links and not_placed are counted in dry runs only.
struct WalkTally {
    std::uint64_t changed = 0;
    std::uint64_t unchanged = 0;
    std::uint64_t not_listed = 0;     // directories not listed, or listed only in part
    std::uint64_t outside = 0;        // of changed: entries outside PATH
    std::uint64_t leaving_links = 0;  // links through which the walk left PATH
    std::uint64_t not_placed = 0;     // links whose place could not be decided
    bool operator==(const WalkTally&) const = default;
};

struct WalkOptions {
    WalkObserver* observer = nullptr;  // told what happens, when given; not owned
    // Walks exactly as the real walk would, with the same calls, but changes nothing: every
    // change is told to the observer instead, marked with where the entry lies.
    bool dry_run = false;
};

// Walks path (a byte string, used exactly as given; relative paths stay relative) and changes
// the owner of every entry to uid and the group to 0, each directory after all its entries.
// Entries whose full path is too long for the system, or crosses too many links, are named
// within their parent's open listing instead, so depth is bounded by descriptors alone.
// A directory already on the current line of descent (reached again through a link) is
// changed but not listed again, so link cycles end; so is a directory reached through a link
// that was walked before through a link from no deeper than here, so webs of links take
// linear time. The only failure is fatal: a path holding a zero byte.
WalkTally chown_tree(std::string_view path, std::uint32_t uid, const WalkOptions& options = {});

}  // namespace ownership_mender

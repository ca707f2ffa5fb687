// Tells whether what a link leads to lies in a walk's PATH (PATH itself or beneath it), by the
// identity of directories rather than by their paths, so that "..", bind mounts and paths
// spelt differently cannot mislead it. Used by dry runs only. One walk, one thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory_identity.h"

namespace ownership_mender {

class PathScope {
  public:
    // What the walk already knows of a directory: whether it lies in PATH, for the directories
    // on its line of descent (PATH among them); nullopt for any other.
    using Known = std::function<std::optional<bool>(const DirectoryIdentity&)>;

    explicit PathScope(Known known) : known_(std::move(known)) {}
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

    // Whether the directory identity, reached as name within the open directory at, lies in
    // PATH: whether climbing from it through ".." (as the system resolves it from there) comes
    // to a directory that does before it comes to the root.
    bool directory_inside(int at, const char* name, const DirectoryIdentity& identity);

    // Whether the non-directory that the link name within the open directory at leads to lies in
    // PATH: whether the directory holding the last link's target does. An entry that is no link
    // lies where at does.
    bool target_inside(int at, const char* name);

  private:
    bool climb(int at, const char* name, DirectoryIdentity identity);

    Known known_;
    // Every directory a climb passed, with its answer, so that each is climbed through once.
    std::unordered_map<DirectoryIdentity, bool, IdentityHash> climbed_;
    std::vector<DirectoryIdentity> passed_;  // the current climb's, kept for its capacity
    std::string relative_;                   // the current climb's path from its anchor
    std::string link_;                       // the link target_inside reads next
};

}  // namespace ownership_mender

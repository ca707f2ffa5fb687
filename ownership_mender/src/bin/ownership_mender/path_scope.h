// Tells whether what a link leads to lies in a walk's PATH (PATH itself or beneath it), by the
// identity of directories rather than by their paths, so that "..", bind mounts and paths
// spelt differently cannot mislead it. Used by dry runs only. One walk, one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory_identity.h"
#include "ownership_mender/chown_tree.h"
#include "path_scope_platform.h"

namespace ownership_mender {

// Where a link leads: in PATH, outside it, or not placed, when a call the placing needed
// failed (call, with the system's error).
struct Placement {
    enum class Place { inside, outside, not_placed };
    Place place = Place::inside;
    FailedCall call = FailedCall::stat;
    int error = 0;

    static Placement failed(FailedCall call, int error) {
        return {Place::not_placed, call, error};
    }
};

class PathScope {
  public:
    // Whether the walk knows a directory to lie in PATH: PATH, and the directories on its line
    // of descent that lie in it.
    using Known = std::function<bool(const DirectoryIdentity&)>;

    explicit PathScope(Known known) : known_(std::move(known)) {}
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

    // Where the directory identity lies, reached as name within the open directory at: whether
    // climbing from it through ".." (as the system resolves it from there) comes to a directory
    // in PATH before it comes to the root. path_directory is PATH's open directory: a directory
    // on PATH's file system that name reaches through another mount (a bind mount elsewhere) is
    // climbed from as PATH's own mount shows it.
    Placement place_directory(int path_directory, int at, const char* name,
                              const DirectoryIdentity& identity);

    // Where the non-directory that the link name within the open directory at leads to lies:
    // where the directory holding the last link's target does. An entry that is no link lies
    // where at does.
    Placement place_target(int path_directory, int at, const char* name);

  private:
    Placement climb(int path_directory, int at, const char* name, SeenDirectory start);

    Known known_;
    // PATH's own mount, looked at once, when a climb first needs it.
    bool path_seen_ = false;
    SeenDirectory path_;
    // Every directory a climb passed, with its answer, so that each is climbed through once.
    // A directory seen through another mount of PATH's file system than PATH's own is left out
    // when it lies outside: another mount may show it in PATH.
    std::unordered_map<DirectoryIdentity, bool, IdentityHash> climbed_;
    std::vector<SeenDirectory> passed_;  // the current climb's, kept for its capacity
    std::string relative_;               // the current climb's path from its anchor
    std::string link_;                   // the link place_target reads next
};

}  // namespace ownership_mender

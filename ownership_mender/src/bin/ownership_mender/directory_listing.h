// One open directory listing, read entry by entry in the order the system returns them. Owns
// its directory stream and closes it on destruction; movable, not copyable. One thread only.
#pragma once

#include <dirent.h>

#include <optional>
#include <string_view>

namespace ownership_mender {

// What a listing says about an entry's type, as far as it matters to the walk: only entries
// that may be directories, directly or through a link, need a look with stat.
enum class EntryKind { may_be_directory, not_directory };

struct DirectoryEntry {
    std::string_view name;  // valid until the next read or until the listing closes
    EntryKind kind = EntryKind::may_be_directory;
};

class DirectoryListing {
  public:
    // Opens the listing of path, or nothing when the system refuses.
    static std::optional<DirectoryListing> open(const char* path);

    DirectoryListing(DirectoryListing&& other) noexcept;
    DirectoryListing& operator=(DirectoryListing&& other) noexcept;
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;
    ~DirectoryListing();

    // Reads the next entry, "." and ".." included. False at the end of the listing, and when
    // a read fails without returning an entry.
    bool next(DirectoryEntry& entry);

  private:
    explicit DirectoryListing(DIR* stream) : stream_(stream) {}
    DIR* stream_ = nullptr;
};

}  // namespace ownership_mender

// A reusable directory listing slot: opened on one directory at a time, by path or by name within
// another open listing, read entry by entry in the order the system returns them, closed. The walk
// keeps one slot per level of depth, so nothing is allocated per directory or per entry. Owns what
// it has open; movable, not copyable; one thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace ownership_mender {

// What a listing says about an entry's type, as far as it matters to the walk: directories,
// links and entries of unknown type may be directories and need a look with stat; the walk
// also needs to know which of them may have been reached through a link.
enum class EntryKind { directory, link, unknown, not_directory };

// The kind of an entry of listing type type (DT_*); files, fifos, sockets and devices are not
// directories.
EntryKind entry_kind_of(unsigned char type);

struct DirectoryEntry {
    std::string_view name;  // valid until the next read, or until the listing closes or reopens
    EntryKind kind = EntryKind::unknown;
};

class DirectoryListing {
  public:
    // Opens the listing of path (links are followed), closing whatever was open before. False
    // when the system refuses, with errno telling why; the slot is then closed. depth is the number
    // of listings a walk has open above this one: where the listing keeps a read buffer of its own,
    // deep listings get a smaller one, so that a walk's memory grows only slowly with its depth.
    bool open(const char* path, std::size_t depth = 0);

    // Opens the listing of the entry name in the open directory whose descriptor is directory
    // (AT_FDCWD: the current directory, which makes it open), otherwise as open does: for
    // entries whose full path the system refuses as too long or as crossing too many links.
    bool open_in(int directory, const char* name, std::size_t depth = 0);

    // The descriptor of the open listing, by which its entries can be named; -1 when nothing
    // is open. It stays the listing's own.
    int descriptor() const;

    // Reads the next entry, "." and ".." included. False at the end of the listing, when a
    // read fails without returning an entry, and when nothing is open.
    bool next(DirectoryEntry& entry);

    // Why the last next() returned false: 0 at the end of the listing (or with nothing open),
    // else the system's error number of the read that failed.
    int read_error() const { return read_error_; }

    // Closes the open listing, if any; the slot can be opened again.
    void close();

  private:
    // The platform's reading state (directory_listing_linux.cpp, directory_listing_macos.cpp),
    // which owns what is open. Made on the first open; a moved-from slot has none.
    struct Reader;
    struct ReaderDeleter {
        void operator()(Reader* reader) const;
    };
    std::unique_ptr<Reader, ReaderDeleter> reader_;
    int read_error_ = 0;
};

}  // namespace ownership_mender

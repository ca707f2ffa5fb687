// What every platform's listing shares: the meaning of the entry types that listings report, and
// a path opened as a name relative to the current directory.
#include "directory_listing.h"

#include <dirent.h>
#include <fcntl.h>

namespace ownership_mender {

EntryKind entry_kind_of(unsigned char type) {
    switch (type) {
        case DT_DIR:
            return EntryKind::directory;
        case DT_LNK:
            return EntryKind::link;
        case DT_UNKNOWN:
            return EntryKind::unknown;
        default:
            return EntryKind::not_directory;
    }
}

bool DirectoryListing::open(const char* path, std::size_t depth) {
    return open_in(AT_FDCWD, path, depth);
}

}  // namespace ownership_mender

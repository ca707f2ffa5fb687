// What every platform's listing shares: the meaning of the entry types that listings report.
#include "directory_listing.h"

#include <dirent.h>

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

}  // namespace ownership_mender

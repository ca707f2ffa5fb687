// Directory listings through the system's directory streams (opendir, readdir, closedir).
#include <cstring>
#include <utility>

#include "directory_listing.h"

namespace ownership_mender {
namespace {

EntryKind kind_of(unsigned char type) {
    switch (type) {
        case DT_DIR:
        case DT_LNK:
        case DT_UNKNOWN:
            return EntryKind::may_be_directory;
        default:
            return EntryKind::not_directory;
    }
}

std::size_t name_length(const dirent& entry) {
#if defined(__APPLE__)
    return entry.d_namlen;
#else
    return std::strlen(entry.d_name);
#endif
}

}  // namespace

std::optional<DirectoryListing> DirectoryListing::open(const char* path) {
    DIR* stream = ::opendir(path);
    if (stream == nullptr) {
        return std::nullopt;
    }
    return DirectoryListing(stream);
}

DirectoryListing::DirectoryListing(DirectoryListing&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)) {}

DirectoryListing& DirectoryListing::operator=(DirectoryListing&& other) noexcept {
    if (this != &other) {
        if (stream_ != nullptr) {
            ::closedir(stream_);
        }
        stream_ = std::exchange(other.stream_, nullptr);
    }
    return *this;
}

DirectoryListing::~DirectoryListing() {
    if (stream_ != nullptr) {
        ::closedir(stream_);
    }
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    // readdir never fails with an entry in hand, so a failed read always ends the listing.
    const dirent* raw = ::readdir(stream_);
    if (raw == nullptr) {
        return false;
    }
    entry.name = std::string_view(raw->d_name, name_length(*raw));
    entry.kind = kind_of(raw->d_type);
    return true;
}

}  // namespace ownership_mender

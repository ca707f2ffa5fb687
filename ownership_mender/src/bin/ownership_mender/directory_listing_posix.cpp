// Directory listings through the system's directory streams (opendir, readdir, closedir), for
// systems without a Linux-style getdents64.
#include <dirent.h>

#include <cstring>
#include <utility>

#include "directory_listing.h"

namespace ownership_mender {

struct DirectoryListing::State {
    DIR* stream = nullptr;
};

namespace {

std::size_t name_length(const dirent& entry) {
#if defined(__APPLE__)
    return entry.d_namlen;
#else
    return std::strlen(entry.d_name);
#endif
}

}  // namespace

DirectoryListing::DirectoryListing() = default;
DirectoryListing::DirectoryListing(DirectoryListing&& other) noexcept = default;

DirectoryListing& DirectoryListing::operator=(DirectoryListing&& other) noexcept {
    if (this != &other) {
        close();
        state_ = std::move(other.state_);
    }
    return *this;
}

DirectoryListing::~DirectoryListing() {
    close();
}

// The stream keeps its own buffer, whatever the depth.
bool DirectoryListing::open(const char* path, std::size_t /*depth*/) {
    close();
    if (!state_) {
        state_ = std::make_unique<State>();
    }
    state_->stream = ::opendir(path);
    return state_->stream != nullptr;
}

void DirectoryListing::close() {
    if (state_ && state_->stream != nullptr) {
        ::closedir(state_->stream);
        state_->stream = nullptr;
    }
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    if (!state_ || state_->stream == nullptr) {
        return false;
    }
    // readdir never fails with an entry in hand, so a failed read always ends the listing.
    const dirent* raw = ::readdir(state_->stream);
    if (raw == nullptr) {
        return false;
    }
    entry.name = std::string_view(raw->d_name, name_length(*raw));
    entry.kind = entry_kind_of(raw->d_type);
    return true;
}

}  // namespace ownership_mender

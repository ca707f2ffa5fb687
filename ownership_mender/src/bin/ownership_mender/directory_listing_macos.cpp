// Directory listings on macOS: the system's directory streams (opendir, readdir, closedir).
// Nothing here is macOS's alone but the length of names, so Linux builds it too, to test it.
#include <dirent.h>

#include <cstring>
#include <memory>

#include "directory_listing.h"

namespace ownership_mender {
namespace {

// Closes a directory stream when its owner lets go of it.
struct CloseDirectory {
    void operator()(DIR* stream) const { ::closedir(stream); }
};

// The length of an entry's name: macOS's entries tell it, elsewhere the name is scanned.
template <typename Entry>
std::size_t name_length(const Entry& entry) {
    if constexpr (requires { entry.d_namlen; }) {
        return entry.d_namlen;
    } else {
        return std::strlen(entry.d_name);
    }
}

}  // namespace

struct DirectoryListing::Reader {
    std::unique_ptr<DIR, CloseDirectory> stream;
};

void DirectoryListing::ReaderDeleter::operator()(Reader* reader) const {
    delete reader;
}

// The stream keeps its own buffer, whatever the depth.
bool DirectoryListing::open(const char* path, std::size_t /*depth*/) {
    close();
    if (!reader_) {
        reader_.reset(new Reader);
    }
    reader_->stream.reset(::opendir(path));
    return reader_->stream != nullptr;
}

void DirectoryListing::close() {
    if (reader_) {
        reader_->stream.reset();
    }
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    if (!reader_ || !reader_->stream) {
        return false;
    }
    // readdir never fails with an entry in hand, so a failed read always ends the listing.
    const dirent* raw = ::readdir(reader_->stream.get());
    if (raw == nullptr) {
        return false;
    }
    entry.name = std::string_view(raw->d_name, name_length(*raw));
    entry.kind = entry_kind_of(raw->d_type);
    return true;
}

}  // namespace ownership_mender

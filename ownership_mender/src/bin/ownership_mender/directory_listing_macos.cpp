// Directory listings on macOS: the system's directory streams (opendir, readdir, closedir).
// Nothing here is macOS's alone but the length of names, so Linux builds it too, to test it.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

// Opened with the flags opendir uses: a fifo put in the directory's place fails at once instead
// of waiting for a writer.
DIR* open_stream_in(int directory, const char* name) {
    const int opened = ::openat(directory, name, O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
    if (opened == -1) {
        return nullptr;
    }
    // On success the stream owns the descriptor; on failure it is still ours, and the caller
    // reads why in errno, which closing it must not change.
    DIR* stream = ::fdopendir(opened);
    if (stream == nullptr) {
        const int failure = errno;
        ::close(opened);
        errno = failure;
    }
    return stream;
}

}  // namespace

struct DirectoryListing::Reader {
    std::unique_ptr<DIR, CloseDirectory> stream;
};

void DirectoryListing::ReaderDeleter::operator()(Reader* reader) const {
    delete reader;
}

// The stream keeps its own buffer, whatever the depth. A path is opened as it always was, with
// opendir; a name within an open directory as opendir opens a path, then made a stream.
bool DirectoryListing::open_in(int directory, const char* name, std::size_t /*depth*/) {
    close();
    if (!reader_) {
        reader_.reset(new Reader);
    }
    reader_->stream.reset(directory == AT_FDCWD ? ::opendir(name)
                                                : open_stream_in(directory, name));
    return reader_->stream != nullptr;
}

int DirectoryListing::descriptor() const {
    return reader_ && reader_->stream ? ::dirfd(reader_->stream.get()) : -1;
}

void DirectoryListing::close() {
    if (reader_) {
        reader_->stream.reset();
    }
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    read_error_ = 0;
    if (!reader_ || !reader_->stream) {
        return false;
    }
    // readdir never fails with an entry in hand, so a failed read always ends the listing. It
    // leaves errno alone at the end, so a change of errno is what tells a failure.
    errno = 0;
    const dirent* raw = ::readdir(reader_->stream.get());
    if (raw == nullptr) {
        read_error_ = errno;
        return false;
    }
    entry.name = std::string_view(raw->d_name, name_length(*raw));
    entry.kind = entry_kind_of(raw->d_type);
    return true;
}

}  // namespace ownership_mender

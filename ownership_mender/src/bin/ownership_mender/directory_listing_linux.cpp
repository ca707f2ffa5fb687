// Directory listings on Linux: the directory is opened by path and read with getdents64 into a
// buffer of the slot's own, which a directory stream would add a status call and an allocation
// to. The buffer is fixed per slot, so memory follows the depth of a walk, never the size of a
// directory.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>

#include "directory_listing.h"

namespace ownership_mender {

struct DirectoryListing::State {
    int descriptor = -1;
    std::size_t position = 0;  // next record in buffer
    std::size_t filled = 0;    // bytes of records the last read left in buffer
    std::size_t capacity = 0;
    std::unique_ptr<char[]> buffer;
};

namespace {

constexpr std::size_t name_offset = offsetof(dirent64, d_name);

// The first levels of a walk read into room for well over a hundred of the longest entries (a
// name of 255 bytes takes 280), and a typical directory of short names in one read plus the
// read that reports the end. Deeper levels are many only on unusual trees, where buffers that
// size would cost 32 KiB of memory per level (long names fill them); they read in steps of
// 4 KiB, which still hold 14 of the longest entries and a hundred short ones, for a read more
// now and then on a large directory far down.
constexpr std::size_t full_buffer_size = std::size_t{32} * 1024;
constexpr std::size_t deep_buffer_size = std::size_t{4} * 1024;
constexpr std::size_t full_buffer_levels = 8;

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

bool DirectoryListing::open(const char* path, std::size_t depth) {
    close();
    const std::size_t capacity = depth < full_buffer_levels ? full_buffer_size : deep_buffer_size;
    // A walk opens each slot at one depth only, so the buffer is made once per slot.
    if (!state_ || state_->capacity != capacity) {
        state_ = std::make_unique<State>();
        state_->buffer = std::make_unique_for_overwrite<char[]>(capacity);
        state_->capacity = capacity;
    }
    state_->descriptor = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    state_->position = 0;
    state_->filled = 0;
    return state_->descriptor != -1;
}

void DirectoryListing::close() {
    if (state_ && state_->descriptor != -1) {
        ::close(state_->descriptor);
        state_->descriptor = -1;
    }
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    if (!state_ || state_->descriptor == -1) {
        return false;
    }
    State& state = *state_;
    if (state.position >= state.filled) {
        // A failed read returns no entry, so it ends the listing like the end itself.
        const ssize_t read = ::getdents64(state.descriptor, state.buffer.get(), state.capacity);
        if (read <= 0) {
            return false;
        }
        state.position = 0;
        state.filled = static_cast<std::size_t>(read);
    }
    // Records are read field by field: the buffer promises no alignment for them.
    const char* record = state.buffer.get() + state.position;
    unsigned short record_length = 0;
    unsigned char type = DT_UNKNOWN;
    std::memcpy(&record_length, record + offsetof(dirent64, d_reclen), sizeof record_length);
    std::memcpy(&type, record + offsetof(dirent64, d_type), sizeof type);
    if (record_length <= name_offset || record_length > state.filled - state.position) {
        return false;  // not a record the kernel writes; nothing after it can be trusted
    }
    // The name is zero-terminated and padded with zero bytes to the record's end.
    const char* name = record + name_offset;
    entry.name = std::string_view(name, ::strnlen(name, record_length - name_offset));
    entry.kind = entry_kind_of(type);
    state.position += record_length;
    return true;
}

}  // namespace ownership_mender

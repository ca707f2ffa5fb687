// Directory listings on Linux: the directory is opened by path and read with getdents64 into a
// buffer of the slot's own, which a directory stream would add a status call and an allocation
// to. The buffer is fixed per slot, so memory follows the depth of a walk, never the size of a
// directory.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>

#include "directory_listing.h"
#include "owned_descriptor.h"

namespace ownership_mender {
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

struct DirectoryListing::Reader {
    explicit Reader(std::size_t size)
        : capacity(size), buffer(std::make_unique_for_overwrite<char[]>(size)) {}

    OwnedDescriptor directory;
    std::size_t position = 0;  // next record in buffer
    std::size_t filled = 0;    // bytes of records the last read left in buffer
    const std::size_t capacity;
    const std::unique_ptr<char[]> buffer;
};

void DirectoryListing::ReaderDeleter::operator()(Reader* reader) const {
    delete reader;
}

bool DirectoryListing::open_in(int directory, const char* name, std::size_t depth) {
    close();
    const std::size_t capacity = depth < full_buffer_levels ? full_buffer_size : deep_buffer_size;
    // A walk opens each slot at one depth only, so the buffer is made once per slot.
    if (!reader_ || reader_->capacity != capacity) {
        reader_.reset(new Reader(capacity));
    }
    reader_->directory.reset(::openat(directory, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    reader_->position = 0;
    reader_->filled = 0;
    return reader_->directory.get() != -1;
}

int DirectoryListing::descriptor() const {
    return reader_ ? reader_->directory.get() : -1;
}

void DirectoryListing::close() {
    if (reader_) {
        reader_->directory.reset();
    }
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    read_error_ = 0;
    if (!reader_ || reader_->directory.get() == -1) {
        return false;
    }
    Reader& reader = *reader_;
    if (reader.position >= reader.filled) {
        // A failed read returns no entry, so it ends the listing like the end itself.
        const ssize_t read =
            ::getdents64(reader.directory.get(), reader.buffer.get(), reader.capacity);
        if (read <= 0) {
            read_error_ = read < 0 ? errno : 0;
            return false;
        }
        reader.position = 0;
        reader.filled = static_cast<std::size_t>(read);
    }
    // Records are read field by field: the buffer promises no alignment for them.
    const char* record = reader.buffer.get() + reader.position;
    unsigned short record_length = 0;
    unsigned char type = DT_UNKNOWN;
    std::memcpy(&record_length, record + offsetof(dirent64, d_reclen), sizeof record_length);
    std::memcpy(&type, record + offsetof(dirent64, d_type), sizeof type);
    if (record_length <= name_offset || record_length > reader.filled - reader.position) {
        read_error_ = EIO;  // not a record the kernel writes; nothing after it can be trusted
        return false;
    }
    // The name is zero-terminated and padded with zero bytes to the record's end.
    const char* name = record + name_offset;
    entry.name = std::string_view(name, ::strnlen(name, record_length - name_offset));
    entry.kind = entry_kind_of(type);
    reader.position += record_length;
    return true;
}

}  // namespace ownership_mender

// The walk where listings tell no entry's type, as on network and FUSE file systems and on XFS
// without ftype: this test program's own getdents64 (the Linux listing's read) and readdir (the
// stream listing's) forward to the system's and, while asked to, report every entry as
// DT_UNKNOWN. getdents64 also tells the size of the Linux listing's reads. Linux only: macOS
// names its readdir differently on each processor.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "directory_listing.h"
#include "ownership_mender/chown_tree.h"
#include "test_support/file_tree.h"
#include "test_support/scratch_directory.h"

// Defined in chown_tree_test.cpp, which records the walk's changes.
std::vector<std::string> recorded_walk(const std::string& path);

namespace {

bool hide_entry_types = false;
int entries_hidden = 0;
std::vector<std::size_t>* read_sizes = nullptr;
// While not negative: how many more reads succeed (getdents64), or entries come (readdir),
// before a read fails with EIO.
int getdents_before_failure = -1;
int entries_before_failure = -1;

bool fail_now(int& before_failure) {
    if (before_failure < 0 || before_failure-- > 0) {
        return false;
    }
    errno = EIO;
    return true;
}

}  // namespace

extern "C" ssize_t getdents64(int fd, void* buffer,
                              size_t length) noexcept(noexcept(::getdents64(fd, buffer, length))) {
    using Getdents = ssize_t (*)(int, void*, size_t);
    static const auto system_getdents =
        reinterpret_cast<Getdents>(::dlsym(RTLD_NEXT, "getdents64"));
    if (read_sizes != nullptr) {
        read_sizes->push_back(length);
    }
    if (fail_now(getdents_before_failure)) {
        return -1;
    }
    const ssize_t read = system_getdents(fd, buffer, length);
    for (ssize_t at = 0; hide_entry_types && at < read; ++entries_hidden) {
        char* record = static_cast<char*>(buffer) + at;
        record[offsetof(dirent64, d_type)] = DT_UNKNOWN;
        unsigned short record_length = 0;
        std::memcpy(&record_length, record + offsetof(dirent64, d_reclen), sizeof record_length);
        at += record_length;
    }
    return read;
}

extern "C" dirent* readdir(DIR* stream) noexcept(noexcept(::readdir(stream))) {
    using Readdir = dirent* (*)(DIR*);
    static const auto system_readdir = reinterpret_cast<Readdir>(::dlsym(RTLD_NEXT, "readdir"));
    if (fail_now(entries_before_failure)) {
        return nullptr;
    }
    dirent* entry = system_readdir(stream);
    if (hide_entry_types && entry != nullptr) {
        entry->d_type = DT_UNKNOWN;
        ++entries_hidden;
    }
    return entry;
}

namespace {

using test_support::make_directory;
using test_support::make_file;
using test_support::make_link;

// The walk with every entry's type hidden.
std::vector<std::string> untyped_walk(const std::string& path) {
    hide_entry_types = true;
    entries_hidden = 0;
    std::vector<std::string> changes = recorded_walk(path);
    hide_entry_types = false;
    EXPECT_GT(entries_hidden, 0) << "the listing reads through this program's own calls";
    return changes;
}

// What the walk tells: listings that failed, and the changes a dry run would make with where
// they lie. Changes that fail are expected without root.
struct Told final : ownership_mender::WalkObserver {
    std::vector<std::string> not_listed;
    std::vector<std::string> would_change;
    void entry_not_changed(std::string_view, ownership_mender::FailedCall, int) override {}
    void directory_not_listed(std::string_view path, ownership_mender::FailedCall call,
                              int error) override {
        const bool read = call == ownership_mender::FailedCall::read;
        not_listed.push_back(std::string(path) + (read ? " read " : " ") + std::strerror(error));
    }
    void entry_not_placed(std::string_view path, ownership_mender::FailedCall, int) override {
        ADD_FAILURE() << "not placed: " << path;
    }
    void entry_would_change(std::string_view path, std::optional<std::string_view> outside_through,
                            bool) override {
        would_change.push_back(std::string(path) + " " + std::string(outside_through.value_or("")));
    }
};

TEST(ChownTree, ListingsThatTellNoTypesAreWalkedAsThoseThatDo) {
    test_support::ScratchDirectory scratch;
    const std::string d = scratch / "d";
    const std::string outside = scratch / "outside";
    make_directory(d);
    make_directory(d + "/sub");
    make_file(d + "/sub/file");
    make_directory(d + "/sub/.hidden");
    make_file(d + "/sub/.hidden/inside");
    make_file(d + "/top");
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0644), 0);
    make_directory(outside);
    make_file(outside + "/far");
    make_link(outside, d + "/out");
    make_link("top", d + "/to_file");
    make_link("missing", d + "/dangling");
    make_link(".", d + "/self");

    const std::vector<std::string> typed = recorded_walk(d);
    EXPECT_EQ(typed.size(), 12u);
    EXPECT_EQ(untyped_walk(d), typed);
    // A dry run places what it reaches alike, where any entry may be a link.
    Told with_types;
    Told without_types;
    ownership_mender::chown_tree(d, 4321, {&with_types, true});
    hide_entry_types = true;
    ownership_mender::chown_tree(d, 4321, {&without_types, true});
    hide_entry_types = false;
    EXPECT_EQ(without_types.would_change, with_types.would_change);
    const std::string outside_through_out = " " + d + "/out";
    EXPECT_EQ(
        std::count_if(with_types.would_change.begin(), with_types.would_change.end(),
                      [&](const std::string& line) { return line.ends_with(outside_through_out); }),
        2);  // out/far and out

    // An entry of unknown type is taken for a link: a directory reached through one and then
    // through a link from the same depth is listed once, where with types it is listed twice.
    const std::string twice = scratch / "twice";
    make_directory(twice);
    make_directory(twice + "/x");
    make_file(twice + "/x/f");
    make_link("x", twice + "/y");
    EXPECT_EQ(recorded_walk(twice).size(), 5u);
    EXPECT_EQ(untyped_walk(twice).size(), 4u);
}

TEST(ChownTree, AListingThatFailsPartWayIsToldAndItsDirectoryStillChanged) {
    test_support::ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    for (const char* name : {"a", "b", "c"}) {
        make_file(d + "/" + name);
    }
    // Every entry read, then a read that fails instead of telling the end.
    getdents_before_failure = 1;
    entries_before_failure = 5;
    Told told;
    const ownership_mender::WalkTally tally = ownership_mender::chown_tree(d, 4321, {&told});
    getdents_before_failure = -1;
    entries_before_failure = -1;
    EXPECT_EQ(told.not_listed, std::vector<std::string>{d + " read " + std::strerror(EIO)});
    EXPECT_EQ(tally.changed + tally.unchanged, 4u);
    EXPECT_EQ(tally.not_listed, 1u);
}

// The Linux listing reads into 32 KiB for the first eight levels of a walk and into 4 KiB below
// them, so that memory grows slowly with depth; a slot opened at another depth changes size.
// The stream listing's reads, inside the C library, do not pass through this program's own.
TEST(DirectoryListing, ReadsIntoSmallerBuffersBelowTheEighthLevel) {
    std::vector<std::size_t> sizes;
    read_sizes = &sizes;
    ownership_mender::DirectoryListing listing;
    ownership_mender::DirectoryEntry entry;
    for (const std::size_t depth : {0u, 7u, 8u, 9u, 0u}) {
        EXPECT_TRUE(listing.open(".", depth));
        EXPECT_TRUE(listing.next(entry));
    }
    read_sizes = nullptr;
    if (sizes.empty()) {
        GTEST_SKIP() << "this listing reads through the C library's directory streams";
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{32768, 32768, 4096, 4096, 32768}));
}

}  // namespace

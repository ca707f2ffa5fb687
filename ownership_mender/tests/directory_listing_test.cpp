// Directory listings: every entry exactly once in the system's order, however many reads a
// directory takes; the entry types that spare the walk a stat; slots that are reopened and
// moved while a listing is under way.
#include "directory_listing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "test_support/file_tree.h"
#include "test_support/scratch_directory.h"

namespace {

using ownership_mender::DirectoryEntry;
using ownership_mender::DirectoryListing;
using ownership_mender::EntryKind;
using test_support::ScratchDirectory;
using test_support::system_listing;

// Reads what is left of listing, "." and ".." included.
std::vector<std::string> read_rest(DirectoryListing& listing) {
    std::vector<std::string> names;
    DirectoryEntry entry;
    while (listing.next(entry)) {
        names.emplace_back(entry.name);
    }
    return names;
}

TEST(DirectoryListing, ListsEveryEntryOnceInTheSystemsOrderAcrossManyReads) {
    ScratchDirectory scratch;
    // Names of every length up to the longest the system allows: far more bytes of entries
    // than one read returns.
    std::vector<std::string> created{".", ".."};
    for (std::size_t i = 0; i < 700; ++i) {
        std::string name = std::to_string(i) + "-";
        name.resize(std::max(name.size(), i < 100 ? 255 : (i * 37) % 256), 'n');
        test_support::make_file(scratch / name);
        created.push_back(name);
    }
    std::sort(created.begin(), created.end());

    // Near the start of a walk and far down, where reads may come in smaller steps.
    for (const std::size_t depth : {std::size_t{0}, std::size_t{1000}}) {
        DirectoryListing listing;
        ASSERT_TRUE(listing.open(scratch.path().c_str(), depth));
        const std::vector<std::string> listed = read_rest(listing);

        EXPECT_EQ(listed, system_listing(scratch.path())) << depth;
        std::vector<std::string> sorted = listed;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, created) << depth;
        DirectoryEntry entry;
        EXPECT_FALSE(listing.next(entry));
    }
}

TEST(DirectoryListing, TellsWhatMayBeADirectoryAndOpensOnlyDirectories) {
    ScratchDirectory scratch;
    ASSERT_EQ(::mkdir((scratch / "directory").c_str(), 0755), 0);
    test_support::make_file(scratch / "file");
    // Opening the fifo for reading would wait for a writer.
    ASSERT_EQ(::mkfifo((scratch / "fifo").c_str(), 0644), 0);
    test_support::make_socket(scratch / "socket");
    ASSERT_EQ(::symlink("directory", (scratch / "to_directory").c_str()), 0);
    ASSERT_EQ(::symlink("file", (scratch / "to_file").c_str()), 0);
    ASSERT_EQ(::symlink("missing", (scratch / "dangling").c_str()), 0);
    // Device nodes need root; one like /dev/null will do.
    struct stat null_device {};
    ASSERT_EQ(::stat("/dev/null", &null_device), 0);
    const bool devices =
        ::mknod((scratch / "device").c_str(), S_IFCHR | 0600, null_device.st_rdev) == 0;

    DirectoryListing listing;
    ASSERT_TRUE(listing.open(scratch.path().c_str()));
    std::vector<std::pair<std::string, EntryKind>> kinds;
    DirectoryEntry entry;
    while (listing.next(entry)) {
        kinds.emplace_back(entry.name, entry.kind);
    }
    std::sort(kinds.begin(), kinds.end());
    // The scratch file system reports entry types, so only directories and links need a stat.
    using enum EntryKind;
    std::vector<std::pair<std::string, EntryKind>> expected{
        {".", directory},          {"..", directory},       {"dangling", link},
        {"directory", directory},  {"fifo", not_directory}, {"file", not_directory},
        {"socket", not_directory}, {"to_directory", link},  {"to_file", link}};
    if (devices) {
        expected.emplace(expected.begin() + 3, "device", not_directory);
    }
    EXPECT_EQ(kinds, expected);

    for (const char* name : {"file", "fifo", "socket", "to_file", "dangling", "missing"}) {
        EXPECT_FALSE(listing.open((scratch / name).c_str())) << name;
        EXPECT_FALSE(listing.next(entry)) << name;
    }
    ASSERT_TRUE(listing.open((scratch / "to_directory").c_str()));
    std::vector<std::string> names = read_rest(listing);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", ".."}));
}

TEST(DirectoryListing, SlotsReopenAndMoveWithoutLosingTheirPlace) {
    ScratchDirectory scratch;
    // a takes more than one read (36,000 bytes of entries), b less.
    for (const auto& [directory, files] : {std::pair{"a", 1500}, std::pair{"b", 100}}) {
        ASSERT_EQ(::mkdir((scratch / directory).c_str(), 0755), 0);
        for (int i = 0; i < files; ++i) {
            test_support::make_file(scratch / directory + "/" + std::to_string(i));
        }
    }
    const std::vector<std::string> a = system_listing(scratch / "a");
    const std::vector<std::string> b = system_listing(scratch / "b");

    // Reopening a slot in the middle of a listing starts the new listing afresh.
    DirectoryListing listing;
    ASSERT_TRUE(listing.open((scratch / "a").c_str()));
    DirectoryEntry entry;
    ASSERT_TRUE(listing.next(entry));
    ASSERT_TRUE(listing.open((scratch / "b").c_str()));
    EXPECT_EQ(read_rest(listing), b);
    listing.close();
    EXPECT_FALSE(listing.next(entry));
    EXPECT_EQ(listing.read_error(), 0) << "nothing open is no failed read";
    DirectoryListing never_opened;
    EXPECT_FALSE(never_opened.next(entry));
    EXPECT_EQ(never_opened.read_error(), 0);

    // A slot moved mid-listing (as a growing stack of them does) goes on where it was.
    ASSERT_TRUE(listing.open((scratch / "a").c_str()));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 1000 && listing.next(entry); ++i) {
        names.emplace_back(entry.name);
    }
    DirectoryListing moved(std::move(listing));
    DirectoryListing assigned;
    ASSERT_TRUE(assigned.open((scratch / "b").c_str()));
    assigned = std::move(moved);
    for (const std::string& name : read_rest(assigned)) {
        names.push_back(name);
    }
    EXPECT_EQ(names, a);
}

}  // namespace

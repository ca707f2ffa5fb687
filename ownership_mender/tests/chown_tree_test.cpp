// The ownership walk on real trees. The walk's chown calls are recorded by a chown of this
// test program's own, which forwards to the system's: the order of changes is then exact.
#include "ownership_mender/chown_tree.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_support/child_process.h"
#include "test_support/file_tree.h"
#include "test_support/scratch_directory.h"

namespace {

std::vector<std::string>* recorded_changes = nullptr;

}  // namespace

// Declared as the system declares it: noexcept in glibc's header, not in macOS's.
extern "C" int chown(const char* path, uid_t owner,
                     gid_t group) noexcept(noexcept(::chown(path, owner, group))) {
    using Chown = int (*)(const char*, uid_t, gid_t);
    static const auto system_chown = reinterpret_cast<Chown>(::dlsym(RTLD_NEXT, "chown"));
    if (recorded_changes != nullptr) {
        recorded_changes->emplace_back(path);
    }
    return system_chown(path, owner, group);
}

namespace {

using test_support::join;
using test_support::link_owner_of;
using test_support::make_directory;
using test_support::make_file;
using test_support::make_link;
using test_support::Owner;
using test_support::owner_of;
using test_support::ScratchDirectory;

constexpr uid_t kNewOwner = 4321;
constexpr gid_t kOldGroup = 5678;

// Records the chown calls made while it lives.
class ChangeRecorder {
  public:
    ChangeRecorder() { recorded_changes = &changes_; }
    ~ChangeRecorder() { recorded_changes = nullptr; }
    ChangeRecorder(const ChangeRecorder&) = delete;
    ChangeRecorder& operator=(const ChangeRecorder&) = delete;
    const std::vector<std::string>& changes() const { return changes_; }

  private:
    std::vector<std::string> changes_;
};

std::vector<std::string> walk(const std::string& path) {
    ChangeRecorder recorder;
    ownership_mender::chown_tree(path, kNewOwner);
    return recorder.changes();
}

std::vector<std::string> listing_order(const std::string& directory) {
    std::vector<std::string> names;
    for (auto& name : test_support::system_listing(directory)) {
        if (name != "." && name != "..") {
            names.push_back(std::move(name));
        }
    }
    return names;
}
std::ptrdiff_t position(const std::vector<std::string>& changes, const std::string& path) {
    const auto it = std::find(changes.begin(), changes.end(), path);
    return it == changes.end() ? -1 : it - changes.begin();
}

TEST(ChownTree, PostOrderInListingOrder) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    for (const char* name : {"a", "c", "e", "g"}) {
        make_file(d + "/" + name);
    }
    make_directory(d + "/s");
    make_file(d + "/s/b");
    make_directory(d + "/s/t");

    const auto changes = walk(d);

    ASSERT_EQ(changes.size(), 8u);
    EXPECT_EQ(changes.back(), d);
    // Every entry comes after everything beneath it and before the rest of its parent.
    EXPECT_LT(position(changes, d + "/s/b"), position(changes, d + "/s"));
    EXPECT_LT(position(changes, d + "/s/t"), position(changes, d + "/s"));
    EXPECT_EQ(position(changes, d + "/s") - position(changes, d + "/s/b") +
                  position(changes, d + "/s") - position(changes, d + "/s/t"),
              3);
    // Children of d are changed in the order the system lists them.
    std::vector<std::string> children;
    for (const auto& path : changes) {
        if (path.rfind(d + "/", 0) == 0 && path.find('/', d.size() + 1) == std::string::npos) {
            children.push_back(path.substr(d.size() + 1));
        }
    }
    EXPECT_EQ(children, listing_order(d));
}

TEST(ChownTree, ChangesOwnerAndGroupOfEverything) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_directory(d + "/sub");
    make_file(d + "/sub/file");
    make_file(d + "/top");
    for (const auto& path : {d, d + "/sub", d + "/sub/file", d + "/top"}) {
        ASSERT_EQ(::chown(path.c_str(), 0, kOldGroup), 0);
    }
    walk(d);
    for (const auto& path : {d, d + "/sub", d + "/sub/file", d + "/top"}) {
        EXPECT_EQ(owner_of(path), (Owner{kNewOwner, 0})) << path;
    }
}

TEST(ChownTree, FollowsLinksInsideAndOutsideButLeavesLinksAlone) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    const std::string outside = scratch / "outside";
    make_directory(d);
    make_directory(outside);
    make_file(outside + "/far");
    make_directory(d + "/real");
    make_file(d + "/real/near");
    make_link(outside, d + "/out");
    make_link("real", d + "/in");
    make_link("missing", d + "/dangling");
    const Owner link_owner = link_owner_of(d + "/out");

    const auto changes = walk(d);

    EXPECT_NE(position(changes, d + "/out/far"), -1);
    EXPECT_NE(position(changes, d + "/in/near"), -1);
    EXPECT_NE(position(changes, d + "/dangling"), -1);
    EXPECT_EQ(owner_of(outside), (Owner{kNewOwner, 0}));
    EXPECT_EQ(owner_of(outside + "/far"), (Owner{kNewOwner, 0}));
    EXPECT_EQ(link_owner_of(d + "/out"), link_owner);
    EXPECT_EQ(link_owner_of(d + "/dangling"), link_owner);
}

TEST(ChownTree, PathIsUsedExactlyAsGiven) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_file(d + "/a");
    make_file(scratch / "file");

    EXPECT_EQ(walk(d + "/"), (std::vector<std::string>{d + "/a", d + "/"}));
    EXPECT_EQ(walk(d + "//"), (std::vector<std::string>{d + "//a", d + "//"}));
    EXPECT_EQ(walk(""), (std::vector<std::string>{""}));
    EXPECT_EQ(walk(scratch / "missing"), (std::vector<std::string>{scratch / "missing"}));
    EXPECT_EQ(walk(scratch / "file"), (std::vector<std::string>{scratch / "file"}));
    make_link("d", scratch / "via");
    EXPECT_EQ(walk(scratch / "via"),
              (std::vector<std::string>{scratch / "via/a", scratch / "via"}));
}

TEST(ChownTree, RelativePathsStayRelative) {
    ScratchDirectory scratch;
    make_directory(scratch / "d");
    make_file(scratch / "d/a");
    const auto result = test_support::run_function([&] {
        if (::chdir(scratch.path().c_str()) != 0) {
            ::_exit(3);
        }
        const auto changes = walk("d");
        ::_exit(changes == std::vector<std::string>{"d/a", "d"} ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0);
}

TEST(ChownTree, LinkCyclesEndAndAreChangedAsLeaves) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_link(".", d + "/self1");
    make_link(".", d + "/self2");
    make_directory(d + "/sub");
    make_link("..", d + "/sub/up1");
    make_link("..", d + "/sub/up2");
    make_link(d, d + "/sub/top");

    const auto changes = walk(d);

    // Each link back to a directory on the line of descent is changed once, unlisted.
    std::vector<std::string> sorted = changes;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{d, d + "/self1", d + "/self2", d + "/sub",
                                                d + "/sub/top", d + "/sub/up1", d + "/sub/up2"}));
    EXPECT_EQ(changes.back(), d);
}

TEST(ChownTree, LinksToOneDirectoryAreWalkedAgainOnlyAlongShorterPaths) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_directory(d + "/x");
    make_file(d + "/x/f");
    make_link("x", d + "/y");
    make_directory(d + "/z");
    make_link("../x", d + "/z/w");
    // x is walked as d/x, without a link, and through links as d/y and as the longer d/z/w,
    // which is walked only when it comes first.
    const auto changes = walk(d);
    const auto order = listing_order(d);
    const bool z_first = position(order, "z") < position(order, "y");
    for (const auto& path : {d + "/x/f", d + "/y/f", d + "/z/w"}) {
        EXPECT_NE(position(changes, path), -1) << path;
    }
    EXPECT_EQ(position(changes, d + "/z/w/f") != -1, z_first);
    EXPECT_EQ(changes.size(), z_first ? 8u : 7u);
}

using Identity = std::pair<dev_t, ino_t>;

// The walk without a record of link targets, as plainly as it can be written: every path to a
// directory is walked, except into a directory already on the line of descent. It gathers
// what chown on its paths would change.
struct PlainWalk {
    std::vector<Identity> line;
    std::set<Identity> reached;
    std::size_t changes = 0;

    void walk(const std::string& path) {
        ++changes;
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            return;  // a path the system cannot resolve cannot be changed either
        }
        const Identity identity{status.st_dev, status.st_ino};
        reached.insert(identity);
        const bool listed =
            S_ISDIR(status.st_mode) && std::find(line.begin(), line.end(), identity) == line.end();
        DIR* directory = listed ? ::opendir(path.c_str()) : nullptr;
        if (directory == nullptr) {
            return;
        }
        line.push_back(identity);
        while (const dirent* entry = ::readdir(directory)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                walk(join(path, name));
            }
        }
        line.pop_back();
        ::closedir(directory);
    }
};

// What chown on the paths of changes changed.
std::set<Identity> reached(const std::vector<std::string>& changes) {
    std::set<Identity> identities;
    for (const auto& path : changes) {
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0) {
            identities.emplace(status.st_dev, status.st_ino);
        }
    }
    return identities;
}

// Siblings root/0 .. root/(n-1), each holding a file and a link to every other sibling.
void make_web(const std::string& root, int n) {
    make_directory(root);
    for (int i = 0; i < n; ++i) {
        make_directory(join(root, std::to_string(i)));
        make_file(join(join(root, std::to_string(i)), "f"));
        for (int j = 0; j < n; ++j) {
            if (i != j) {
                make_link(join(root, std::to_string(j)),
                          join(join(root, std::to_string(i)), "to" + std::to_string(j)));
            }
        }
    }
}

TEST(ChownTree, LinkWebsAndFanInReachWhatThePlainWalkReaches) {
    const std::function<void(const std::string& d, const std::string& outside)> trees[] = {
        [](const auto& d, const auto&) { make_web(join(d, "web"), 5); },
        // Entered only through links, one of them a level further down.
        [](const auto& d, const auto& outside) {
            make_web(outside, 4);
            make_link(join(outside, "0"), join(d, "first"));
            make_directory(join(d, "sub"));
            make_link(join(outside, "2"), join(d, "sub/second"));
        },
        // Many links to one directory, to its subdirectory, to a link, and back to PATH.
        [](const auto& d, const auto& outside) {
            make_directory(outside);
            make_directory(join(outside, "sub"));
            for (int i = 0; i < 20; ++i) {
                make_file(join(outside, std::to_string(i)));
                make_link(outside, join(d, std::to_string(i)));
            }
            make_link(join(outside, "sub"), join(d, "sub"));
            make_link("sub", join(d, "to_link"));
            make_link(d, join(outside, "sub/back"));
        },
    };
    for (std::size_t i = 0; i < std::size(trees); ++i) {
        ScratchDirectory scratch;
        const std::string d = scratch / "d";
        make_directory(d);
        trees[i](d, scratch / "outside");
        PlainWalk plain;
        plain.walk(d);
        const auto changes = walk(d);
        EXPECT_EQ(reached(changes), plain.reached) << "tree " << i;
        EXPECT_LT(changes.size(), plain.changes) << "tree " << i;
    }
}

TEST(ChownTree, AShorterPathWalksALinkTargetAgain) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    const std::string target = scratch / "t";
    make_directory(d);
    make_directory(join(d, "a"));
    make_directory(join(d, "b"));
    // The target is linked to from deep in the directory that d lists first, and from the one
    // it lists second; its deepest file is within the path limit only below the second link.
    const std::vector<std::string> order = listing_order(d);
    std::string long_path = join(d, order[0]);
    std::string chain = target;
    make_directory(chain);
    const std::string name(200, 'n');
    for (int level = 0; level < 12; ++level) {
        long_path += "/" + name;
        chain += "/" + name;
        make_directory(long_path);
        make_directory(chain);
    }
    make_file(join(chain, "deepest"));
    make_link(target, join(long_path, "to_target"));
    make_link(target, join(join(d, order[1]), "to_target"));
    ASSERT_GE(long_path.size() + chain.size() - target.size(), std::size_t{PATH_MAX});

    PlainWalk plain;
    plain.walk(d);
    const auto reached_by_walk = reached(walk(d));
    struct stat deepest {};
    ASSERT_EQ(::stat(join(chain, "deepest").c_str(), &deepest), 0);
    EXPECT_EQ(reached_by_walk.count({deepest.st_dev, deepest.st_ino}), 1u);
    EXPECT_EQ(reached_by_walk, plain.reached);
}

TEST(ChownTree, EveryKindOfEntryIsChangedOnceAndNothingButDirectoriesIsOpened) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_directory(d + "/sub");
    make_file(d + "/sub/file");
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mknod((d + "/socket").c_str(), S_IFSOCK | 0644, 0), 0);
    make_link("fifo", d + "/to_fifo");
    make_link("sub/file", d + "/to_file");
    make_link("sub", d + "/to_sub");
    make_link("missing", d + "/dangling");
    // A fifo opened for reading would wait for a writer forever; the time limit catches that.
    const auto result = test_support::run_function(
        [&] {
            std::vector<std::string> changes = walk(d);
            std::sort(changes.begin(), changes.end());
            for (const auto& path : changes) {
                static_cast<void>(std::printf("%s\n", path.substr(d.size()).c_str()));
            }
            static_cast<void>(std::fflush(stdout));
        },
        std::chrono::seconds(20));
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out,
              "\n/dangling\n/fifo\n/socket\n/sub\n/sub/file\n/to_fifo\n/to_file\n/to_sub\n"
              "/to_sub/file\n");
}

TEST(ChownTree, LeavesNoDescriptorOpen) {
    ScratchDirectory scratch;
    std::string path = scratch / "d";
    make_directory(path);
    for (int level = 0; level < 5; ++level) {
        make_file(path + "/file");
        path += "/n";
        make_directory(path);
    }
    const auto open_descriptors = [] {
        int count = 0;
        for (int fd = 0; fd < 1024; ++fd) {
            count += ::fcntl(fd, F_GETFD) != -1 ? 1 : 0;
        }
        return count;
    };
    const int before = open_descriptors();
    // Twice: the second walk reuses what the first one kept.
    EXPECT_EQ(walk(scratch / "d").size(), 11u);
    EXPECT_EQ(walk(scratch / "d").size(), 11u);
    EXPECT_EQ(open_descriptors(), before);
}

TEST(ChownTree, UnlistableDirectoriesAreStillChanged) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    std::string deepest = d;
    make_directory(d);
    for (int level = 0; level < 6; ++level) {
        deepest += "/n";
        make_directory(deepest);
    }
    make_file(deepest + "/leaf");
    // With only two descriptors free, two listings open at a time; deeper directories are
    // changed without being listed.
    const auto result = test_support::run_function([&] {
        // New descriptors take the lowest free numbers: the limit is the third free one.
        int limit_fd = 0;
        for (int free_seen = 0; free_seen < 3; ++limit_fd) {
            if (::fcntl(limit_fd, F_GETFD) == -1) {
                ++free_seen;
            }
        }
        const rlimit limit{static_cast<rlim_t>(limit_fd - 1), static_cast<rlim_t>(limit_fd - 1)};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        for (const auto& path : walk(d)) {
            static_cast<void>(std::printf("%s\n", path.substr(d.size()).c_str()));
        }
        static_cast<void>(std::fflush(stdout));
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "/n/n\n/n\n\n");
}

TEST(ChownTree, UnreadableDirectoryKeepsChildrenButIsChanged) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_directory(d + "/locked");
    make_file(d + "/locked/inside");
    ASSERT_EQ(::chmod((d + "/locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod(scratch.path().c_str(), 0755), 0);
    const auto result = test_support::run_function([&] {
        // Root reads any directory; an ordinary user cannot read this one.
        if (::geteuid() == 0 && ::setuid(65534) != 0) {
            ::_exit(3);
        }
        for (const auto& path : walk(d)) {
            static_cast<void>(std::printf("%s\n", path.substr(d.size()).c_str()));
        }
        static_cast<void>(std::fflush(stdout));
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "/locked\n\n");
}

TEST(ChownTree, ZeroByteInPathIsFatal) {
    using namespace std::string_view_literals;
    const auto result =
        test_support::run_function([] { ownership_mender::chown_tree("d\0x"sv, kNewOwner); });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_NE(result.err.find("\nstring has null embedded bytes: NulError(1, [100, 0, 120])\n"),
              std::string::npos)
        << result.err;
}

}  // namespace

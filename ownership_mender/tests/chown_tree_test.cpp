// The ownership walk on real trees. The walk's chown and fchownat calls are recorded by
// versions of this test program's own, which forward to the system's: the order of changes is
// then exact.
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
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_support/child_process.h"
#include "test_support/file_tree.h"
#include "test_support/scratch_directory.h"

namespace {

using Identity = std::pair<dev_t, ino_t>;

// The paths of every chown call, and what each change, by path or by name, was aimed at: what
// the system resolves the path or name to, whether or not the change is allowed, so that the
// walk's reach shows without root as well.
std::vector<std::string>* recorded_changes = nullptr;
std::vector<Identity>* recorded_identities = nullptr;
// Every change tried, by path or by name: the last name of the path, and 0 or the error.
std::vector<std::pair<std::string, int>>* recorded_attempts = nullptr;

std::string last_name(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

int record_attempt(const char* path, int result) {
    const int error = errno;
    if (recorded_attempts != nullptr) {
        recorded_attempts->emplace_back(last_name(path), result == 0 ? 0 : error);
    }
    errno = error;
    return result;
}

void record_identity(int directory, const char* path, int flags) {
    struct stat status {};
    if (recorded_identities != nullptr && ::fstatat(directory, path, &status, flags) == 0) {
        recorded_identities->emplace_back(status.st_dev, status.st_ino);
    }
}

}  // namespace

// Declared as the system declares them: noexcept in glibc's header, not in macOS's.
extern "C" int chown(const char* path, uid_t owner,
                     gid_t group) noexcept(noexcept(::chown(path, owner, group))) {
    using Chown = int (*)(const char*, uid_t, gid_t);
    static const auto system_chown = reinterpret_cast<Chown>(::dlsym(RTLD_NEXT, "chown"));
    if (recorded_changes != nullptr) {
        recorded_changes->emplace_back(path);
    }
    record_identity(AT_FDCWD, path, 0);
    return record_attempt(path, system_chown(path, owner, group));
}

extern "C" int fchownat(int directory, const char* name, uid_t owner, gid_t group,
                        int flags) noexcept(noexcept(::fchownat(directory, name, owner, group,
                                                                flags))) {
    using Fchownat = int (*)(int, const char*, uid_t, gid_t, int);
    static const auto system_fchownat = reinterpret_cast<Fchownat>(::dlsym(RTLD_NEXT, "fchownat"));
    record_identity(directory, name, flags & AT_SYMLINK_NOFOLLOW);
    return record_attempt(name, system_fchownat(directory, name, owner, group, flags));
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

// Records the changes made while it lives.
class ChangeRecorder {
  public:
    ChangeRecorder() {
        recorded_changes = &changes_;
        recorded_identities = &changed_;
        recorded_attempts = &attempts_;
    }
    ~ChangeRecorder() {
        recorded_changes = nullptr;
        recorded_identities = nullptr;
        recorded_attempts = nullptr;
    }
    ChangeRecorder(const ChangeRecorder&) = delete;
    ChangeRecorder& operator=(const ChangeRecorder&) = delete;
    // The paths of the chown calls, successful or not.
    const std::vector<std::string>& changes() const { return changes_; }
    // What the changes by chown or fchownat were aimed at, in order.
    const std::vector<Identity>& changed() const { return changed_; }
    // Each entry's last name and how its change ended, once per entry: a change by path that
    // failed for the system's limits is followed by the same change by name, which stands.
    std::vector<std::pair<std::string, int>> tried() const {
        std::vector<std::pair<std::string, int>> tried;
        for (std::size_t i = 0; i < attempts_.size(); ++i) {
            const int error = attempts_[i].second;
            if ((error != ENAMETOOLONG && error != ELOOP) || i + 1 == attempts_.size() ||
                attempts_[i + 1].first != attempts_[i].first) {
                tried.push_back(attempts_[i]);
            }
        }
        return tried;
    }

  private:
    std::vector<std::string> changes_;
    std::vector<Identity> changed_;
    std::vector<std::pair<std::string, int>> attempts_;
};

std::vector<std::string> walk(const std::string& path) {
    ChangeRecorder recorder;
    ownership_mender::chown_tree(path, kNewOwner);
    return recorder.changes();
}

}  // namespace

// The paths of the walk's chown calls, for the tests of chown_tree_test_linux.cpp.
std::vector<std::string> recorded_walk(const std::string& path) {
    return walk(path);
}

namespace {

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
    // Names that begin with dots are entries like any other: only "." and ".." are not.
    for (const char* name : {"a", "c", "e", "g", ".bashrc", "..x", "...", ". "}) {
        make_file(d + "/" + name);
    }
    make_directory(d + "/s");
    make_file(d + "/s/b");
    make_directory(d + "/s/t");
    make_directory(d + "/.ssh");
    make_file(d + "/.ssh/authorized_keys");

    const auto changes = walk(d);

    ASSERT_EQ(changes.size(), 14u);
    EXPECT_NE(position(changes, d + "/.ssh/authorized_keys"), -1);
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

TEST(ChownTree, LinksToOneDirectoryAreWalkedAgainOnlyFromHigherUp) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_directory(d + "/x");
    make_file(d + "/x/f");
    make_link("x", d + "/y");
    make_directory(d + "/z");
    make_link("../x", d + "/z/w");
    // x is walked as d/x, without a link, and through links as d/y and as the deeper d/z/w,
    // which is walked only when it comes first.
    const auto changes = walk(d);
    const auto order = listing_order(d);
    const bool z_first = position(order, "z") < position(order, "y");
    for (const auto& path : {d + "/x/f", d + "/y/f", d + "/z/w"}) {
        EXPECT_NE(position(changes, path), -1) << path;
    }
    EXPECT_EQ(position(changes, d + "/z/w/f") != -1, z_first);
    EXPECT_EQ(changes.size(), z_first ? 8u : 7u);

    // Links from one depth walk their target once: 30 links to 20 files make 1 + 30 + 20
    // changes, not 1 + 30 + 30 * 20.
    const std::string fan = scratch / "fan";
    const std::string files = scratch / "files";
    make_directory(fan);
    make_directory(files);
    for (int i = 0; i < 30; ++i) {
        make_file(join(files, std::to_string(i % 20)));
        make_link(files, join(fan, std::to_string(i)));
    }
    EXPECT_EQ(walk(fan).size(), 51u);

    // A target linked to from 5 levels of descent, then from 2, then from 3: the second link
    // walks it again from higher up and lowers its depth to 2, so the third does not. Each of
    // the two walks changes its 2 files; besides, d, its 7 directories and the 3 links.
    const std::string depths = scratch / "depths";
    const std::string target = scratch / "target";
    make_directory(depths);
    make_directory(target);
    make_file(join(target, "f1"));
    make_file(join(target, "f2"));
    for (const char* name : {"a", "b", "c"}) {
        make_directory(join(depths, name));
    }
    const std::vector<std::string> at = listing_order(depths);
    std::string deep = join(depths, at[0]);
    for (int level = 0; level < 3; ++level) {
        deep += "/n";
        make_directory(deep);
    }
    make_link(target, join(deep, "to_target"));
    make_link(target, join(depths, at[1] + "/to_target"));
    make_directory(join(depths, at[2] + "/n"));
    make_link(target, join(depths, at[2] + "/n/to_target"));
    const auto walked = walk(depths);
    EXPECT_EQ(walked.size(), 1u + 7 + 3 + 2 * 2);
    EXPECT_EQ(position(walked, join(depths, at[2] + "/n/to_target/f1")), -1);
}

// The walk without a record of link targets, as plainly as it can be written: every path to a
// directory is walked, except into a directory already on the line of descent. Every entry is
// named within its open parent, so no limit on path length or links cuts it short. It gathers
// what chown on its paths would change, and which directory lists which entry.
struct PlainWalk {
    std::vector<Identity> line;
    std::set<Identity> reached;
    std::set<std::pair<Identity, Identity>> lists;
    std::size_t changes = 0;

    void walk(const std::string& path) { walk(AT_FDCWD, path); }

    void walk(int directory, const std::string& name) {
        ++changes;
        struct stat status {};
        if (::fstatat(directory, name.c_str(), &status, 0) != 0) {
            return;  // what the system cannot resolve cannot be changed either
        }
        const Identity identity{status.st_dev, status.st_ino};
        reached.insert(identity);
        if (!line.empty()) {
            lists.emplace(line.back(), identity);
        }
        if (!S_ISDIR(status.st_mode) ||
            std::find(line.begin(), line.end(), identity) != line.end()) {
            return;
        }
        const int opened = ::openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* listing = opened == -1 ? nullptr : ::fdopendir(opened);
        if (listing == nullptr) {
            return;
        }
        line.push_back(identity);
        while (const dirent* entry = ::readdir(listing)) {
            const std::string entry_name = entry->d_name;
            if (entry_name != "." && entry_name != "..") {
                walk(::dirfd(listing), entry_name);
            }
        }
        line.pop_back();
        ::closedir(listing);
    }
};

// What the walk of path aimed its changes at, each once.
std::set<Identity> walk_reaches(const std::string& path) {
    ChangeRecorder recorder;
    ownership_mender::chown_tree(path, kNewOwner);
    return {recorder.changed().begin(), recorder.changed().end()};
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
        ChangeRecorder recorder;
        ownership_mender::chown_tree(d, kNewOwner);
        const auto& changed = recorder.changed();
        EXPECT_EQ(std::set<Identity>(changed.begin(), changed.end()), plain.reached) << i;
        EXPECT_LT(recorder.changes().size(), plain.changes) << "tree " << i;
    }

    // Walked along every path through its links, a web of 12 would take days. Here each of
    // its directories is listed once without a link and through links from at most 11 depths
    // (2 to 12, since at 13 all of them are on the line of descent), changing 12 entries each
    // time.
    ScratchDirectory scratch;
    make_web(scratch / "web", 12);
    EXPECT_LE(walk(scratch / "web").size(), 1u + 12 + 12 * (1 + 11) * 12);
}

// Lowers the limit on descriptors so that exactly free more can be opened. New descriptors
// take the lowest free numbers, so the limit is the number of the one after the last of them.
void leave_free_descriptors(int free) {
    int limit = 0;
    for (int free_seen = 0; free_seen <= free; ++limit) {
        if (::fcntl(limit, F_GETFD) == -1) {
            ++free_seen;
        }
    }
    const rlimit lowered{static_cast<rlim_t>(limit - 1), static_cast<rlim_t>(limit - 1)};
    ::setrlimit(RLIMIT_NOFILE, &lowered);
}

TEST(ChownTree, AShallowerLinkWalksATargetAgainThatRanShortOfDescriptors) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    const std::string target = scratch / "t";
    make_directory(d);
    make_directory(join(d, "a"));
    make_directory(join(d, "b"));
    // The target is linked to from 12 levels down in the directory that d lists first, and
    // from the one it lists second. With listings for 20 levels, its deepest file (11 levels
    // down) is in reach only below the second link.
    const std::vector<std::string> order = listing_order(d);
    std::string deep = join(d, order[0]);
    for (int level = 0; level < 12; ++level) {
        deep += "/n";
        make_directory(deep);
    }
    make_link(target, join(deep, "to_target"));
    make_link(target, join(join(d, order[1]), "to_target"));
    test_support::make_chain(target, "n", 12);
    struct stat deepest {};
    ASSERT_EQ(::stat((target + "/n/n/n/n/n/n/n/n/n/n/n/f").c_str(), &deepest), 0);

    const auto result = test_support::run_function([&] {
        leave_free_descriptors(20);
        ::_exit(walk_reaches(d).count({deepest.st_dev, deepest.st_ino}) == 1 ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0);
}

// Trees that the system cannot name by full path everywhere, and where PATH is.
struct BeyondLimits {
    const char* what;
    std::function<std::string(const std::string& scratch)> make;
};

// What the walk of path gets wrong, as text: entries changed twice, a reach other than the
// plain walk's, an entry changed after its directory, paths tried whole below the first that
// had to be named within its parent.
std::string beyond_limits_faults(const std::string& path) {
    PlainWalk plain;
    plain.walk(path);
    ChangeRecorder recorder;
    ownership_mender::chown_tree(path, kNewOwner);

    std::string faults;
    std::map<Identity, std::size_t> changed_at;
    std::set<Identity> changed;
    for (std::size_t i = 0; i < recorder.changed().size(); ++i) {
        if (!changed_at.emplace(recorder.changed()[i], i).second) {
            faults += "change " + std::to_string(i) + " repeats an earlier one\n";
        }
        changed.insert(recorder.changed()[i]);
    }
    if (changed != plain.reached) {
        faults += "changed " + std::to_string(changed.size()) + " entries, not the " +
                  std::to_string(plain.reached.size()) + " the plain walk reaches\n";
    }
    for (const auto& [directory, entry] : plain.lists) {
        if (changed_at[entry] >= changed_at[directory]) {
            faults += "an entry changed after its directory\n";
        }
    }
    if (std::count_if(recorder.changes().begin(), recorder.changes().end(),
                      [](const std::string& p) { return p.size() >= PATH_MAX; }) > 1) {
        faults += "more than one change tried by a path the system refuses\n";
    }
    return faults;
}

TEST(ChownTree, EntriesBeyondTheSystemsLimitsAreChangedOnceChildrenFirst) {
    const BeyondLimits trees[] = {
        {"paths longer than the limit",
         [](const std::string& scratch) {
             test_support::make_chain(scratch + "/d", std::string(200, 'n'), 40);
             return scratch + "/d";
         }},
        // Each directory holds a file and a link to the next: from the first, the last is 47
        // links away, more than one path resolution follows.
        {"more links than one resolution follows",
         [](const std::string& scratch) {
             std::string through_links = scratch + "/0";
             for (int i = 0; i < 48; ++i) {
                 make_directory(join(scratch, std::to_string(i)));
                 make_file(join(join(scratch, std::to_string(i)), "f"));
                 make_link("../" + std::to_string(i + 1),
                           join(join(scratch, std::to_string(i)), "next"));
                 through_links += i < 47 ? "/next" : "";
             }
             struct stat status {};
             EXPECT_EQ(::stat(through_links.c_str(), &status), -1);
             EXPECT_EQ(errno, ELOOP);
             return scratch + "/0";
         }},
        // Two links that lead to each other fail both by path and by name.
        {"a loop of links beyond the path limit",
         [](const std::string& scratch) {
             test_support::make_chain(scratch + "/d", std::string(200, 'n'), 30, [](int deepest) {
                 EXPECT_EQ(::symlinkat("b", deepest, "a"), 0);
                 EXPECT_EQ(::symlinkat("a", deepest, "b"), 0);
                 EXPECT_EQ(::mkdirat(deepest, "last", 0755), 0);
             });
             return scratch + "/d";
         }},
        // PATH is named whole, even with two slashes added; a directory in it only within it.
        {"PATH a few bytes short of the limit",
         [](const std::string& scratch) {
             std::string path = scratch + "/d";
             make_directory(path);
             while (path.size() + 201 < PATH_MAX - 8) {
                 path += "/" + std::string(200, 'n');
                 make_directory(path);
             }
             path += "/" + std::string(PATH_MAX - 8 - path.size() - 1, 'p');
             test_support::make_chain(path, "directory-with-a-long-name", 1, [](int deepest) {
                 EXPECT_EQ(::mkdirat(deepest, "inside", 0755), 0);
             });
             return path;
         }},
    };
    for (const auto& tree : trees) {
        ScratchDirectory scratch;
        const std::string path = tree.make(scratch.path());
        // PATH as made, ending in one slash and in two, and relative to the current directory:
        // each places the start of its entries' names differently.
        for (const std::string& form :
             {path, path + "/", path + "//", path.substr(scratch.path().size() + 1)}) {
            const auto result = test_support::run_function([&] {
                if (::chdir(scratch.path().c_str()) != 0) {
                    ::_exit(3);
                }
                test_support::tell_parent(beyond_limits_faults(form));
            });
            EXPECT_EQ(result.exit_status, 0) << tree.what;
            EXPECT_EQ(result.err, "") << tree.what << ", PATH " << form.substr(0, 60) << "... ("
                                      << form.size() << " bytes)";
        }
    }
}

TEST(ChownTree, EveryKindOfEntryIsChangedOnceAndNothingButDirectoriesIsOpened) {
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_directory(d + "/sub");
    make_file(d + "/sub/file");
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0644), 0);
    test_support::make_socket(d + "/socket");
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
        leave_free_descriptors(2);
        for (const auto& path : walk(d)) {
            static_cast<void>(std::printf("%s\n", path.substr(d.size()).c_str()));
        }
        static_cast<void>(std::fflush(stdout));
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "/n/n\n/n\n\n");
}

TEST(ChownTree, UnreadableDirectoryKeepsChildrenButIsChanged) {
    // The child below walks as uid 65534, which must reach the tree whatever TMPDIR is.
    ScratchDirectory scratch(test_support::ScratchAccess::everyone);
    const std::string d = scratch / "d";
    make_directory(d);
    ASSERT_EQ(::chmod(d.c_str(), 0755), 0);  // whatever the umask
    make_directory(d + "/locked");
    make_file(d + "/locked/inside");
    ASSERT_EQ(::chmod((d + "/locked").c_str(), 0), 0);
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

// What a dry run tells: each entry it would change, with the link by which it left PATH or
// that its place could not be decided, or that it could not look at an entry (would_change
// false); besides, the links it could not place and the directories it could not list.
struct DryRunLine {
    std::string path;
    std::optional<std::string> outside_through;
    bool would_change = true;
    bool placed = true;
    bool operator==(const DryRunLine&) const = default;
};

void PrintTo(const DryRunLine& line, std::ostream* out) {
    *out << line.path << (line.would_change ? "" : " (not looked at)")
         << (line.placed ? "" : " (not placed)") << " outside through "
         << line.outside_through.value_or("-");
}

class DryRunRecorder final : public ownership_mender::WalkObserver {
  public:
    std::vector<DryRunLine> lines;
    std::vector<std::string> not_placed;
    std::vector<std::string> not_listed;

    void entry_not_changed(std::string_view path, ownership_mender::FailedCall call, int) override {
        EXPECT_EQ(call, ownership_mender::FailedCall::stat) << path;
        lines.push_back({std::string(path), std::nullopt, false});
    }
    void directory_not_listed(std::string_view path, ownership_mender::FailedCall,
                              int error) override {
        not_listed.push_back(std::string(path) + ": " + std::strerror(error));
    }
    void entry_not_placed(std::string_view path, ownership_mender::FailedCall,
                          int error) override {
        not_placed.push_back(std::string(path) + ": " + std::strerror(error));
    }
    void entry_would_change(std::string_view path, std::optional<std::string_view> outside_through,
                            bool placed) override {
        lines.push_back({std::string(path),
                         outside_through ? std::optional<std::string>(*outside_through)
                                         : std::nullopt,
                         true, placed});
    }
};

// What path leads to, links followed, however long it is: each name opened in turn.
std::optional<Identity> identity_at(const std::string& path) {
    int directory = path.starts_with('/') ? ::open("/", O_RDONLY | O_DIRECTORY) : AT_FDCWD;
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos;
         start = slash + 1) {
        if (slash == start) {
            continue;
        }
        const int next = ::openat(directory, path.substr(start, slash - start).c_str(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory != AT_FDCWD) {
            ::close(directory);
        }
        directory = next;
    }
    struct stat status {};
    const bool found =
        ::fstatat(directory, start < path.size() ? path.c_str() + start : ".", &status, 0) == 0;
    if (directory != AT_FDCWD) {
        ::close(directory);
    }
    return found ? std::optional<Identity>({status.st_dev, status.st_ino}) : std::nullopt;
}

// Everything that lies in the directory at, links not followed.
void collect_inside(int at, const char* name, std::set<Identity>& inside) {
    struct stat status {};
    if (::fstatat(at, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(status.st_mode)) {
        return;
    }
    inside.emplace(status.st_dev, status.st_ino);
    const int opened = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* listing = opened == -1 ? nullptr : ::fdopendir(opened);
    while (const dirent* entry = listing != nullptr ? ::readdir(listing) : nullptr) {
        if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..") {
            collect_inside(::dirfd(listing), entry->d_name, inside);
        }
    }
    if (listing != nullptr) {
        ::closedir(listing);
    }
}

// Trees for a dry run, and what it cannot do there: with descriptors more descriptors free (0:
// as many as the process has), it cannot place the links not_placed nor list the directories
// not_listed (paths beneath PATH). make returns PATH, or nothing where the tree cannot be made
// here; mounted, when given, is a mount beneath the scratch directory to undo afterwards.
struct DryRunTree {
    const char* what;
    std::function<std::string(const std::string& scratch)> make;
    const char* mounted = nullptr;
    int descriptors = 0;
    std::vector<std::string> not_placed = {};
    std::vector<std::string> not_listed = {};
};

// While it lives, the process may open only so many more descriptors.
class DescriptorLimit {
  public:
    explicit DescriptorLimit(int more) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        if (more == 0) {
            return;
        }
        rlimit limited = saved_;
        limited.rlim_cur = 0;
        for (int free = more; free > 0; ++limited.rlim_cur) {
            free -= ::fcntl(static_cast<int>(limited.rlim_cur), F_GETFD) == -1 ? 1 : 0;
        }
        EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

  private:
    rlimit saved_{};
};

TEST(ChownTree, ADryRunToldEveryChangeTheWalkThenMadeAndWhereItLies) {
    const DryRunTree trees[] = {
        {"links in, out, up, dangling, looping, out and back in",
         [](const std::string& scratch) {
             std::string d = scratch + "/d";
             make_directory(d);
             make_directory(scratch + "/outside");
             make_directory(scratch + "/outside/far");
             make_file(scratch + "/outside/far/file");
             make_directory(d + "/real");
             make_file(d + "/real/near");
             make_link("real", d + "/in");
             make_link("../outside", d + "/out");
             make_link("../outside/far/file", d + "/to_file");
             make_link("../../d/real", scratch + "/outside/far/back");
             make_link("..", d + "/real/up");
             make_link("../..", d + "/real/above");
             make_link("missing", d + "/dangling");
             make_link("loop_b", d + "/loop_a");
             make_link("loop_a", d + "/loop_b");
             return d;
         }},
        // A file's place is that of the directory its last link leads into; a directory far
        // below any the walk is in is placed by climbing all the way up.
        {"links to files in, out, absolute, chained, out and back; a link 250 levels down",
         [](const std::string& scratch) {
             std::string d = scratch + "/d";
             make_directory(d);
             make_directory(d + "/real");
             make_file(d + "/real/near");
             make_directory(scratch + "/outside");
             make_file(scratch + "/outside/far");
             make_link("real/near", d + "/to_near");
             make_link("to_near", d + "/chained");
             make_link(d + "/real/near", d + "/absolute_in");
             make_link(scratch + "/outside/far", d + "/absolute_out");
             make_link("../d/real/near", scratch + "/outside/back");
             make_link("../outside/back", d + "/out_and_back");
             test_support::make_chain(d + "/deep", "n", 250);
             std::string deepest = "deep";
             for (int level = 0; level < 250; ++level) {
                 deepest += "/n";
             }
             make_link(deepest, d + "/to_deepest");
             return d;
         }},
        {"out from beyond the path limit",
         [](const std::string& scratch) {
             make_directory(scratch + "/outside");
             make_file(scratch + "/outside/file");
             test_support::make_chain(scratch + "/d", std::string(200, 'n'), 24, [&](int deepest) {
                 EXPECT_EQ(::symlinkat((scratch + "/outside").c_str(), deepest, "out"), 0);
             });
             return scratch + "/d/";
         }},
        // A directory lies in PATH however the walk first meets it: out/bm shows d/a, so the
        // links through it lie in PATH, and so do the links to a listed after them.
        {"links in through a bind mount elsewhere, then links in",
         [](const std::string& scratch) {
             const std::string d = scratch + "/d";
             make_directory(d);
             make_directory(d + "/a");
             make_file(d + "/a/f");
             make_directory(scratch + "/out");
             make_directory(scratch + "/out/bm");
             for (const char* n : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}) {
                 make_link("../out/bm", d + "/z" + n);
                 make_link("a", d + "/y" + n);
             }
             // The walk must meet a link through the bind mount first.
             for (const std::string& name : test_support::system_listing(d)) {
                 if (name.starts_with('z')) {
                     break;
                 }
                 if (name.starts_with('y')) {
                     EXPECT_EQ(::unlink((d + "/" + name).c_str()), 0);
                 }
             }
             return test_support::bind_mount(d + "/a", scratch + "/out/bm") ? d : std::string();
         },
         "out/bm"},
        // Placing the link needs a descriptor for s, and the walk holds the last one: the link
        // is not placed, rather than called outside, and s is not listed.
        {"a link to a file beside it, at the deepest level the walk can list",
         [](const std::string& scratch) {
             const std::string deepest = scratch + "/d/d0/d1/d2/d3";
             for (std::size_t slash = scratch.size() + 2; slash != std::string::npos;
                  slash = deepest.find('/', slash + 1)) {
                 make_directory(deepest.substr(0, slash));
             }
             make_directory(deepest);
             make_directory(deepest + "/s");
             make_file(deepest + "/s/g");
             make_link("s/g", deepest + "/fl");
             return scratch + "/d";
         },
         nullptr, 5, {"/d0/d1/d2/d3/fl"}, {"/d0/d1/d2/d3/s"}},
    };
    for (const auto& tree : trees) {
        ScratchDirectory scratch;
        const std::string path = tree.make(scratch.path());
        if (path.empty()) {
            std::cout << "[ SKIPPED  ] " << tree.what << ": no mount namespace of our own\n";
            continue;
        }
        std::set<Identity> inside;
        collect_inside(AT_FDCWD, path.c_str(), inside);

        DryRunRecorder dry_run;
        ownership_mender::WalkTally tally;
        std::vector<std::pair<std::string, int>> tried;
        {
            const DescriptorLimit limit(tree.descriptors);
            {
                ChangeRecorder recorder;
                tally = ownership_mender::chown_tree(path, kNewOwner, {&dry_run, true});
                EXPECT_TRUE(recorder.tried().empty()) << tree.what;
            }
            ChangeRecorder recorder;
            ownership_mender::chown_tree(path, kNewOwner);
            tried = recorder.tried();
        }
        const auto beneath = [&](const std::vector<std::string>& relative, const char* why) {
            std::vector<std::string> paths;
            for (const std::string& entry : relative) {
                paths.push_back(path + entry + ": " + why);
            }
            return paths;
        };
        EXPECT_EQ(dry_run.not_placed, beneath(tree.not_placed, std::strerror(EMFILE))) << tree.what;
        EXPECT_EQ(dry_run.not_listed, beneath(tree.not_listed, std::strerror(EMFILE))) << tree.what;

        // Entry for entry, the changes the walk then tried, and which of them could succeed.
        std::vector<std::pair<std::string, int>> told;
        std::vector<DryRunLine> expected;
        ownership_mender::WalkTally counted;
        for (const DryRunLine& line : dry_run.lines) {
            const auto lies_inside = [&](const std::string& prefix) {
                const auto identity = identity_at(prefix);
                return identity && inside.count(*identity) == 1;
            };
            told.emplace_back(last_name(line.path), line.would_change ? 0 : -1);
            const bool placeable =
                std::find(tree.not_placed.begin(), tree.not_placed.end(),
                          line.path.substr(path.size())) == tree.not_placed.end();
            DryRunLine placed{line.path, std::nullopt, line.would_change, placeable};
            for (std::size_t end = line.path.size(); line.would_change && placeable &&
                                                     end > path.size() &&
                                                     !lies_inside(line.path.substr(0, end));
                 end = line.path.rfind('/', end - 1)) {
                placed.outside_through = line.path.substr(0, end);
            }
            expected.push_back(placed);
            counted.changed += line.would_change ? 1 : 0;
            counted.unchanged += line.would_change ? 0 : 1;
            counted.outside += placed.outside_through ? 1 : 0;
            counted.leaving_links += placed.outside_through == line.path ? 1 : 0;
        }
        counted.not_listed = tree.not_listed.size();
        counted.not_placed = tree.not_placed.size();
        for (auto& [name, error] : tried) {
            error = error == 0 || error == EPERM ? 0 : -1;
        }
        EXPECT_EQ(told, tried) << tree.what;
        EXPECT_EQ(dry_run.lines, expected) << tree.what;
        EXPECT_EQ(tally, counted) << tree.what;
        EXPECT_EQ(tally.outside > 0, tree.mounted == nullptr && tree.descriptors == 0)
            << tree.what;
        if (tree.mounted != nullptr) {
            test_support::unmount(scratch / tree.mounted);
        }
    }
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

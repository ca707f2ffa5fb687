// The program against hostile trees: deeper than the system's path limit, short of descriptors,
// full of link cycles, special files and odd names, and changing while it is walked. Each run
// must end with status 0, print nothing, and leave exactly the reachable entries changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "test_support/child_process.h"
#include "test_support/file_tree.h"
#include "test_support/scratch_directory.h"

namespace {

using test_support::ChildResult;
using test_support::join;
using test_support::make_directory;
using test_support::make_file;
using test_support::make_link;
using test_support::ScratchDirectory;

constexpr uid_t kOwner = 4321;

ChildResult run_walk(const std::string& path, std::function<void()> before_exec = {}) {
    test_support::ProgramRun run;
    run.program = OWNERSHIP_MENDER_PROGRAM;
    run.argv = {"ownership_mender", path, std::to_string(kOwner)};
    run.time_limit = std::chrono::seconds(60);
    run.before_exec = std::move(before_exec);
    ChildResult result = test_support::run_program(run);
    EXPECT_FALSE(result.timed_out) << path;
    EXPECT_EQ(result.exit_status, 0) << path;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    return result;
}

uid_t owner(const std::string& path) {
    return test_support::owner_of(path).uid;
}
uid_t link_owner(const std::string& path) {
    return test_support::link_owner_of(path).uid;
}
uid_t owner_at(int directory, const std::string& name) {
    struct stat status {};
    EXPECT_EQ(::fstatat(directory, name.c_str(), &status, 0), 0) << name;
    return status.st_uid;
}
// A chain of directories (test_support::make_chain) whose owners can be read at every level,
// however deep.
class DeepChain {
  public:
    DeepChain(const std::string& root, const std::string& name, int levels)
        : root_(root), name_(name), levels_(levels) {
        test_support::make_chain(root, name, levels);
    }

    // Owner of the directory at each level (1 = the first below root), found relatively.
    std::vector<uid_t> directory_owners() const { return owners(name_); }
    std::vector<uid_t> file_owners() const { return owners("f"); }

  private:
    std::vector<uid_t> owners(const std::string& entry) const {
        std::vector<uid_t> found;
        int directory = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int level = 0; level < levels_; ++level) {
            found.push_back(owner_at(directory, entry));
            const int next = ::openat(directory, name_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(directory);
            directory = next;
        }
        ::close(directory);
        return found;
    }

    std::string root_;
    std::string name_;
    int levels_ = 0;
};

TEST(FaultWalk, DeeperThanThePathLimitWithLongNames) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string root = scratch / "deep";
    const std::string name(200, 'n');
    const DeepChain chain(root, name, 52);
    ASSERT_GT(root.size() + 52 * (name.size() + 1), 2 * std::size_t{PATH_MAX});
    run_walk(root);
    // Entries whose whole path the system refuses are reached all the same.
    const auto directories = chain.directory_owners();
    const auto files = chain.file_owners();
    for (std::size_t level = 0; level < directories.size(); ++level) {
        EXPECT_EQ(directories[level], kOwner) << level;
        EXPECT_EQ(files[level], kOwner) << level;
    }
    EXPECT_EQ(owner(root), kOwner);
}

void limit_descriptors(rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(FaultWalk, DeepShortNamesNeedMoreDescriptorsThanTheSoftLimit) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string root = scratch / "deep";
    const DeepChain chain(root, "d", 1500);
    // The usual soft limit of 1024 is raised to the hard limit, which then bounds the walk.
    run_walk(root, [] { limit_descriptors(1024, 4096); });
    const auto directories = chain.directory_owners();
    const auto files = chain.file_owners();
    EXPECT_EQ(std::count(directories.begin(), directories.end(), kOwner), 1500);
    EXPECT_EQ(std::count(files.begin(), files.end(), kOwner), 1500);
}

TEST(FaultWalk, NearlyExhaustedDescriptorsMakeDeeperDirectoriesLeaves) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string root = scratch / "deep";
    const DeepChain chain(root, "d", 200);
    run_walk(root, [] { limit_descriptors(64, 64); });
    const auto directories = chain.directory_owners();
    const auto files = chain.file_owners();
    // A prefix of the chain is listed; the first directory that cannot be listed is still
    // changed; nothing below it is reached.
    const auto listed = std::count(files.begin(), files.end(), kOwner);
    EXPECT_GT(listed, 20);
    EXPECT_LT(listed, 64);
    for (std::size_t level = 0; level < files.size(); ++level) {
        EXPECT_EQ(files[level] == kOwner, static_cast<long>(level) < listed) << level;
        // The directory at level + 1: listed, or the first unlistable one, changed as a leaf.
        EXPECT_EQ(directories[level] == kOwner, static_cast<long>(level) < listed) << level;
    }
    EXPECT_EQ(owner(root), kOwner);
}

// Every real directory and file below root is changed; the links themselves are not.
void expect_changed(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        EXPECT_EQ(owner(path), kOwner) << path;
    }
}
void expect_links_unchanged(const std::vector<std::string>& links) {
    for (const auto& link : links) {
        EXPECT_EQ(link_owner(link), 0u) << link;
    }
}

TEST(FaultWalk, LinkCyclesEnd) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    make_link(".", d + "/self");
    make_directory(d + "/up");
    make_link("..", d + "/up/parent1");
    make_link("..", d + "/up/parent2");
    make_directory(d + "/a");
    make_directory(d + "/b");
    make_link("../b", d + "/a/to_b");
    make_link("../a", d + "/b/to_a");
    make_directory(d + "/1");
    make_directory(d + "/1/2");
    make_directory(d + "/1/2/3");
    make_directory(d + "/1/2/3/4");
    make_file(d + "/1/2/3/4/file");
    make_link(d, d + "/1/2/3/4/top");
    run_walk(d);
    expect_changed({d, d + "/up", d + "/a", d + "/b", d + "/1", d + "/1/2", d + "/1/2/3",
                    d + "/1/2/3/4", d + "/1/2/3/4/file"});
    expect_links_unchanged({d + "/self", d + "/up/parent1", d + "/a/to_b", d + "/1/2/3/4/top"});
}

TEST(FaultWalk, LinkChainsLongerThanTheSystemsLinkLimitAreFollowedToTheEnd) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    for (int i = 0; i < 400; ++i) {
        make_directory(d + "/" + std::to_string(i));
        make_file(d + "/" + std::to_string(i) + "/f");
        make_link("../" + std::to_string(i + 1), d + "/" + std::to_string(i) + "/next");
    }
    // From 0, the 400th directory is 399 links away; one path resolution follows far fewer.
    run_walk(d + "/0/");
    for (int i = 0; i < 400; ++i) {
        EXPECT_EQ(owner(d + "/" + std::to_string(i)), kOwner) << i;
        EXPECT_EQ(owner(d + "/" + std::to_string(i) + "/f"), kOwner) << i;
    }
}

TEST(FaultWalk, WebsAndFanInOfLinksTakeLinearTime) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    // Walked along every path through the links, the web would take days, the fan-in a
    // million changes: the run's time limit stops that. How many changes the walk makes on such
    // trees is counted in the walk's own tests (chown_tree_test.cpp).
    const int siblings = 12;
    for (int i = 0; i < siblings; ++i) {
        make_directory(d + "/" + std::to_string(i));
        make_file(d + "/" + std::to_string(i) + "/f");
    }
    for (int i = 0; i < siblings; ++i) {
        for (int j = 0; j < siblings; ++j) {
            if (i != j) {
                make_link("../" + std::to_string(j),
                          d + "/" + std::to_string(i) + "/to" + std::to_string(j));
            }
        }
    }
    const std::string target = scratch / "target";
    make_directory(target);
    for (int i = 0; i < 1000; ++i) {
        make_file(join(target, std::to_string(i)));
    }
    for (int i = 0; i < 1000; ++i) {
        make_link(target, join(d, "link" + std::to_string(i)));
    }
    run_walk(d);
    for (int i = 0; i < siblings; ++i) {
        EXPECT_EQ(owner(d + "/" + std::to_string(i) + "/f"), kOwner);
    }
    EXPECT_EQ(owner(join(target, "999")), kOwner);
}

TEST(FaultWalk, SpecialFilesAndOddNames) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    make_directory(d);
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0644), 0);
    struct stat null_device {};
    ASSERT_EQ(::stat("/dev/null", &null_device), 0);
    ASSERT_EQ(::mknod((d + "/null").c_str(), S_IFCHR | 0644, null_device.st_rdev), 0);
    test_support::make_socket(d + "/socket");
    make_directory(d + "/closed");
    make_file(d + "/closed/inside");
    make_directory(d + "/.ssh");
    make_file(d + "/.ssh/authorized_keys");
    ASSERT_EQ(::chmod((d + "/closed").c_str(), 0), 0);
    std::vector<std::string> names = {"new\nline", "bytes\xff\xfe", std::string(255, 'x'),
                                      " lead",      "-dash",          "*?[",
                                      "\x1b[31m",   ".bashrc",        "..x",
                                      "..."};
    // APFS and HFS+ take only UTF-8 names; a name the file system refuses is left out.
    std::erase_if(names, [&](const std::string& name) {
        const int file = ::open(join(d, name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (file == -1) {
            EXPECT_EQ(errno, EILSEQ) << name;
            return true;
        }
        ::close(file);
        return false;
    });
    run_walk(d);
    expect_changed({d, d + "/fifo", d + "/null", d + "/socket", d + "/closed/inside", d + "/.ssh",
                    d + "/.ssh/authorized_keys"});
    for (const auto& name : names) {
        EXPECT_EQ(owner(join(d, name)), kOwner) << name;
    }
    struct stat status {};
    ASSERT_EQ(::stat((d + "/closed").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kOwner);
    EXPECT_EQ(status.st_mode & 07777, 0u) << "only owners change";
}

TEST(FaultWalk, TreeChangingWhileWalked) {
    OWNERSHIP_MENDER_REQUIRE_ROOT();
    ScratchDirectory scratch;
    const std::string d = scratch / "d";
    const std::string outside = scratch / "outside";
    make_directory(d);
    make_directory(outside);
    make_file(outside + "/f");
    for (int i = 0; i < 20; ++i) {
        make_directory(d + "/" + std::to_string(i));
        for (int j = 0; j < 20; ++j) {
            make_file(d + "/" + std::to_string(i) + "/" + std::to_string(j));
        }
    }
    // Another process renames, deletes and creates entries in a loop the whole time.
    const pid_t mutator = ::fork();
    if (mutator == 0) {
        for (unsigned round = 0;; ++round) {
            const std::string a = d + "/" + std::to_string(round % 20);
            const std::string b = d + "/moved" + std::to_string(round % 7);
            // Each step may fail as the others change the tree; that is the point.
            static_cast<void>(::rename(a.c_str(), b.c_str()));
            static_cast<void>(::mkdir(a.c_str(), 0755));
            static_cast<void>(::close(::open((a + "/new").c_str(), O_CREAT | O_WRONLY, 0644)));
            static_cast<void>(::unlink((b + "/" + std::to_string(round % 20)).c_str()));
            static_cast<void>(
                ::rename(b.c_str(), (d + "/back" + std::to_string(round % 5)).c_str()));
        }
    }
    for (int run = 0; run < 10; ++run) {
        run_walk(d);
    }
    ::kill(mutator, SIGKILL);
    ::waitpid(mutator, nullptr, 0);
    EXPECT_EQ(owner(outside), 0u);
    EXPECT_EQ(owner(outside + "/f"), 0u);
    EXPECT_EQ(owner(d), kOwner);
}

}  // namespace

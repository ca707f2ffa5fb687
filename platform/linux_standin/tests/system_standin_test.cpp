// The stand-in's I/O policy: the dataless-files policy is stored per process and per thread;
// anything else is refused with EINVAL, and every other entry point fails with ENOTSUP.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "platform/entry_point_types.h"

extern "C" {
platform::entry_point_types::setiopolicy_np setiopolicy_np;
platform::entry_point_types::getiopolicy_np getiopolicy_np;
platform::entry_point_types::getattrlistat getattrlistat;
platform::entry_point_types::acl_init acl_init;
}

namespace {

using platform::kIopolMaterializeDatalessFilesDefault;
using platform::kIopolMaterializeDatalessFilesOff;
using platform::kIopolMaterializeDatalessFilesOn;
using platform::kIopolScopeProcess;
using platform::kIopolScopeThread;
using platform::kIopolTypeVfsMaterializeDatalessFiles;

constexpr int kDataless = kIopolTypeVfsMaterializeDatalessFiles;

TEST(SystemStandin, DatalessPolicyIsStoredAndReported) {
    EXPECT_EQ(getiopolicy_np(kDataless, kIopolScopeProcess), kIopolMaterializeDatalessFilesDefault);
    EXPECT_EQ(setiopolicy_np(kDataless, kIopolScopeProcess, kIopolMaterializeDatalessFilesOff), 0);
    EXPECT_EQ(getiopolicy_np(kDataless, kIopolScopeProcess), kIopolMaterializeDatalessFilesOff);

    // Threads follow the process unless they set a policy of their own.
    int seen_by_thread = -1;
    int own_policy = -1;
    std::thread([&] {
        seen_by_thread = getiopolicy_np(kDataless, kIopolScopeThread);
        setiopolicy_np(kDataless, kIopolScopeThread, kIopolMaterializeDatalessFilesOn);
        own_policy = getiopolicy_np(kDataless, kIopolScopeThread);
    }).join();
    EXPECT_EQ(seen_by_thread, kIopolMaterializeDatalessFilesOff);
    EXPECT_EQ(own_policy, kIopolMaterializeDatalessFilesOn);
    EXPECT_EQ(getiopolicy_np(kDataless, kIopolScopeProcess), kIopolMaterializeDatalessFilesOff);
}

TEST(SystemStandin, RefusesUnknownTypesScopesAndValues) {
    const int refused[][3] = {
        {0, kIopolScopeProcess, kIopolMaterializeDatalessFilesOff},
        {kDataless, 2, kIopolMaterializeDatalessFilesOff},
        {kDataless, kIopolScopeProcess, 3},
        {kDataless, kIopolScopeProcess, -1},
    };
    const int before = getiopolicy_np(kDataless, kIopolScopeProcess);
    for (const auto& call : refused) {
        errno = 0;
        EXPECT_EQ(setiopolicy_np(call[0], call[1], call[2]), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_EQ(getiopolicy_np(kDataless, kIopolScopeProcess), before);
    errno = 0;
    EXPECT_EQ(getiopolicy_np(kDataless, 7), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(SystemStandin, OtherEntryPointsAreUnsupported) {
    errno = 0;
    EXPECT_EQ(getattrlistat(-1, "/", nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(errno, ENOTSUP);
    errno = 0;
    EXPECT_EQ(acl_init(1), nullptr);
    EXPECT_EQ(errno, ENOTSUP);
}

}  // namespace

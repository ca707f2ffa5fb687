// A Linux stand-in for the macOS system library: it defines the 22 entry points that the
// system-call table resolves by name, so that the program starts on Linux. Only the process
// I/O policy works; Linux has no dataless files, so keeping their materialisation off holds
// trivially. Every other entry point fails with ENOTSUP: this program resolves them and never
// calls them. Thread-safe: the process-wide policy is atomic, the thread policy per thread.
#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <type_traits>

#include "platform/entry_point_types.h"

namespace {

namespace types = platform::entry_point_types;

// A test variant of the library refuses every policy change.
constexpr bool kEveryPolicyRefused = OWNERSHIP_MENDER_STANDIN_POLICY_FAILS;

std::atomic<int> process_dataless_policy{platform::kIopolMaterializeDatalessFilesDefault};
thread_local int thread_dataless_policy = platform::kIopolMaterializeDatalessFilesDefault;

int unsupported() {
    errno = ENOTSUP;
    return -1;
}

int invalid() {
    errno = EINVAL;
    return -1;
}

bool known_dataless_policy(int policy) {
    return policy == platform::kIopolMaterializeDatalessFilesDefault ||
           policy == platform::kIopolMaterializeDatalessFilesOff ||
           policy == platform::kIopolMaterializeDatalessFilesOn;
}

}  // namespace

extern "C" {

int setiopolicy_np(int iotype, int scope, int policy) {
    if (kEveryPolicyRefused) {
        return unsupported();
    }
    if (iotype != platform::kIopolTypeVfsMaterializeDatalessFiles ||
        !known_dataless_policy(policy)) {
        return invalid();
    }
    if (scope == platform::kIopolScopeProcess) {
        process_dataless_policy.store(policy);
    } else if (scope == platform::kIopolScopeThread) {
        thread_dataless_policy = policy;
    } else {
        return invalid();
    }
    return 0;
}

int getiopolicy_np(int iotype, int scope) {
    if (iotype != platform::kIopolTypeVfsMaterializeDatalessFiles) {
        return invalid();
    }
    if (scope == platform::kIopolScopeProcess) {
        return process_dataless_policy.load();
    }
    if (scope == platform::kIopolScopeThread) {
        // A thread without a policy of its own follows the process.
        return thread_dataless_policy != platform::kIopolMaterializeDatalessFilesDefault
                   ? thread_dataless_policy
                   : process_dataless_policy.load();
    }
    return invalid();
}

int renameatx_np(int, const char*, int, const char*, unsigned int) {
    return unsupported();
}
int getattrlistbulk(int, void*, void*, std::size_t, std::uint64_t) {
    return unsupported();
}
int getattrlistat(int, const char*, void*, void*, std::size_t, unsigned long) {
    return unsupported();
}
ssize_t fsgetpath(char*, std::size_t, platform::fsid_t*, std::uint64_t) {
    return unsupported();
}
int clonefile(const char*, const char*, std::uint32_t) {
    return unsupported();
}
int fclonefileat(int, int, const char*, std::uint32_t) {
    return unsupported();
}
platform::acl_t acl_init(int) {
    errno = ENOTSUP;
    return nullptr;
}
int acl_free(void*) {
    return unsupported();
}
int acl_set_fd(int, platform::acl_t) {
    return unsupported();
}
int acl_create_entry_np(platform::acl_t*, platform::acl_entry_t*, int) {
    return unsupported();
}
int acl_set_tag_type(platform::acl_entry_t, platform::acl_tag_t) {
    return unsupported();
}
int acl_set_qualifier(platform::acl_entry_t, const void*) {
    return unsupported();
}
int acl_get_permset(platform::acl_entry_t, platform::acl_permset_t*) {
    return unsupported();
}
int acl_clear_perms(platform::acl_permset_t) {
    return unsupported();
}
int acl_add_perm(platform::acl_permset_t, platform::acl_perm_t) {
    return unsupported();
}
int acl_set_permset(platform::acl_entry_t, platform::acl_permset_t) {
    return unsupported();
}
int mbr_gid_to_uuid(gid_t, unsigned char*) {
    return unsupported();
}
platform::acl_t acl_get_fd(int) {
    errno = ENOTSUP;
    return nullptr;
}
int acl_get_tag_type(platform::acl_entry_t, platform::acl_tag_t*) {
    return unsupported();
}
int acl_get_entry(platform::acl_t, int, platform::acl_entry_t*) {
    return unsupported();
}

}  // extern "C"

// Every definition must have exactly the type the table resolves it as.
#define OWNERSHIP_MENDER_SAME_TYPE(name) \
    static_assert(std::is_same_v<decltype(::name), types::name>, #name);
PLATFORM_FOR_EACH_ENTRY_POINT(OWNERSHIP_MENDER_SAME_TYPE)
#undef OWNERSHIP_MENDER_SAME_TYPE

// The macOS types that the system entry points take, declared for Linux, whose headers lack
// them. Layouts and sizes match macOS: the ACL handles are opaque pointers, the ACL tag and
// permission are C enums, and fsid_t is two 32-bit integers.
#pragma once

#include <cstdint>

namespace platform {

struct AclOpaque;
struct AclEntryOpaque;
struct AclPermsetOpaque;

using acl_t = AclOpaque*;
using acl_entry_t = AclEntryOpaque*;
using acl_permset_t = AclPermsetOpaque*;
using acl_tag_t = int;
using acl_perm_t = int;

struct fsid_t {
    std::int32_t val[2];
};

}  // namespace platform

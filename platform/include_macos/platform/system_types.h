// The SDK's own types for the system entry points.
#pragma once

#include <sys/acl.h>
#include <sys/mount.h>

namespace platform {

using ::acl_entry_t;
using ::acl_perm_t;
using ::acl_permset_t;
using ::acl_t;
using ::acl_tag_t;
using ::fsid_t;

}  // namespace platform

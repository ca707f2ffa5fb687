// The system-call table on macOS: each entry point's function type must be exactly the SDK's
// declaration of it. (On Linux the stand-in checks its definitions against the same types.)
#include <membership.h>
#include <stdio.h>
#include <sys/attr.h>
#include <sys/clonefile.h>
#include <sys/fsgetpath.h>
#include <sys/resource.h>
#include <unistd.h>

#include <type_traits>

#include "platform/entry_point_types.h"

namespace platform::entry_point_types {

#define OWNERSHIP_MENDER_SAME_TYPE(name) \
    static_assert(std::is_same_v<decltype(::name), name>, #name);
PLATFORM_FOR_EACH_ENTRY_POINT(OWNERSHIP_MENDER_SAME_TYPE)
#undef OWNERSHIP_MENDER_SAME_TYPE

}  // namespace platform::entry_point_types

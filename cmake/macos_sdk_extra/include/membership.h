// Stand-in for the macOS SDK's <membership.h> in the cross-build's assembled SDK (see
// ../README.md): only the one declaration the program checks against, as the SDK declares it.
#ifndef OWNERSHIP_MENDER_SDK_EXTRA_MEMBERSHIP_H
#define OWNERSHIP_MENDER_SDK_EXTRA_MEMBERSHIP_H

#include <sys/cdefs.h>
#include <sys/types.h>
#include <uuid/uuid.h>

__BEGIN_DECLS

int mbr_gid_to_uuid(gid_t id, uuid_t uu);

__END_DECLS

#endif

// Stand-in for the macOS SDK's <sys/fsgetpath.h> in the cross-build's assembled SDK (see
// ../../README.md): only the one declaration the program checks against, as the SDK declares it.
#ifndef OWNERSHIP_MENDER_SDK_EXTRA_SYS_FSGETPATH_H
#define OWNERSHIP_MENDER_SDK_EXTRA_SYS_FSGETPATH_H

#include <Availability.h>
#include <stdint.h>
#include <sys/_types/_fsid_t.h>
#include <sys/cdefs.h>
#include <sys/types.h>

__BEGIN_DECLS

ssize_t fsgetpath(char* __restrict buf, size_t bufsize, fsid_t* fsid, uint64_t objid)
    __OSX_AVAILABLE(10.13);

__END_DECLS

#endif

// Stand-in for the macOS SDK's <util.h> in the cross-build's assembled SDK (see ../README.md):
// only the declaration the test helpers use, as the SDK declares it.
#ifndef OWNERSHIP_MENDER_SDK_EXTRA_UTIL_H
#define OWNERSHIP_MENDER_SDK_EXTRA_UTIL_H

#include <sys/cdefs.h>
#include <sys/ioctl.h>
#include <termios.h>

__BEGIN_DECLS

int openpty(int* amaster, int* aslave, char* name, struct termios* termp, struct winsize* winp);

__END_DECLS

#endif

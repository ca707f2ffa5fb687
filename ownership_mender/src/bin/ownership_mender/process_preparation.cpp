// Preparation of the process before its command line is read: the system must never fetch
// the contents of dataless files for this process, or walking a synced tree would start
// downloads. Without that guarantee the program does not run at all.
#include "ownership_mender/process_preparation.h"

#include "base/fatal_report.h"
#include "platform/syscalls.h"

namespace ownership_mender {

void prepare_process() {
    const platform::Syscalls syscalls = platform::Syscalls::create();
    if (!syscalls.setiopolicy_np) {
        base::fatal("Unsupported syscalls without setiopolicy_np");
    }
    const int status = (*syscalls.setiopolicy_np)(platform::kIopolTypeVfsMaterializeDatalessFiles,
                                                  platform::kIopolScopeProcess,
                                                  platform::kIopolMaterializeDatalessFilesOff);
    if (status != 0) {
        base::fatal("could not set process policy");
    }
    // The table, and with it any library it opened, is released here; nothing later uses it.
}

}  // namespace ownership_mender

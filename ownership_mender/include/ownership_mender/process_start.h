// The fixed state every run starts from, set up first thing in main.
#pragma once

namespace ownership_mender {

// Opens each closed standard descriptor (0, 1, 2) on /dev/null, aborting if that is not
// possible; raises the soft limit on open descriptors to the hard limit; ignores SIGPIPE so
// that writes to a vanished reader fail instead of killing the process; and names the calling
// (main) thread "main" for reports and log lines.
void start_process();

}  // namespace ownership_mender

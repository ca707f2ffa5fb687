// Process start-up on macOS, which refuses an unlimited soft limit on descriptors: OPEN_MAX is
// the most one process may hold.
#include <algorithm>
#include <climits>

#include "process_start_platform.h"

namespace ownership_mender {

std::optional<rlim_t> lesser_descriptor_limit(rlim_t hard_limit) {
    return std::min<rlim_t>(hard_limit, OPEN_MAX);
}

}  // namespace ownership_mender

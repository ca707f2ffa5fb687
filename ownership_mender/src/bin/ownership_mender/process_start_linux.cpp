// Process start-up on Linux, which grants any soft limit on descriptors up to the hard one.
#include "process_start_platform.h"

namespace ownership_mender {

std::optional<rlim_t> lesser_descriptor_limit(rlim_t /*hard_limit*/) {
    return std::nullopt;
}

}  // namespace ownership_mender

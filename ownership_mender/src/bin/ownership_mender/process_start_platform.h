// What process start-up does differently on each system: process_start_linux.cpp and
// process_start_macos.cpp.
#pragma once

#include <sys/resource.h>

#include <optional>

namespace ownership_mender {

// A lesser soft limit on descriptors to try when the system refuses the hard limit as the
// soft one; none where there is nothing lesser to try.
std::optional<rlim_t> lesser_descriptor_limit(rlim_t hard_limit);

}  // namespace ownership_mender

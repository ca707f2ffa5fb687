// Thread identity on Linux: the kernel's thread id, and no OS-level renaming, because the
// main thread's OS name is the process name that ps and top show.
#include <sys/types.h>
#include <unistd.h>

#include "thread_identity_platform.h"

namespace base {

bool platform_is_main_thread() {
    return ::gettid() == ::getpid();
}

std::uint64_t platform_current_thread_id() {
    return static_cast<std::uint64_t>(::gettid());
}

void platform_set_os_thread_name(const std::string& /*name*/) {}

}  // namespace base

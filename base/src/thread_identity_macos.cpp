// Thread identity on macOS: pthread's main-thread test and 64-bit thread id, and the OS-level
// name, which macOS keeps per thread without touching the process name.
#include <pthread.h>

#include "thread_identity_platform.h"

namespace base {

bool platform_is_main_thread() {
    return ::pthread_main_np() != 0;
}

std::uint64_t platform_current_thread_id() {
    std::uint64_t id = 0;
    ::pthread_threadid_np(nullptr, &id);
    return id;
}

void platform_set_os_thread_name(const std::string& name) {
    ::pthread_setname_np(name.c_str());
}

}  // namespace base

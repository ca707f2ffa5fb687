// The system calls behind thread identity; one implementation file per platform.
#pragma once

#include <cstdint>
#include <string>

namespace base {

bool platform_is_main_thread();
std::uint64_t platform_current_thread_id();
// Gives the OS-level thread name where the platform should carry it; may do nothing.
void platform_set_os_thread_name(const std::string& name);

}  // namespace base

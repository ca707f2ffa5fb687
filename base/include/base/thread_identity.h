// The calling thread's identity as the program reports it: the name that fatal reports and log
// lines show, and the system's numeric thread id. Each thread sees only its own values.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace base {

// Gives the calling thread a name for this program's reports. On Linux the OS-level name is
// left alone: the main thread's OS name is the process name that ps and top show.
void set_current_thread_name(std::string_view name);

// The calling thread's own name if it was given one; otherwise "main" on the process's main
// thread; otherwise nothing. The view stays valid until the thread renames itself or ends.
std::optional<std::string_view> current_thread_name();

// Whether the calling thread is the process's initial thread.
bool is_main_thread();

// The system's numeric identifier of the calling thread.
std::uint64_t current_thread_id();

}  // namespace base

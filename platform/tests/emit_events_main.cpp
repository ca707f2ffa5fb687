// Test program: emits the two platform events on the main thread, as the system-call table
// does when entry points are missing. SIGPIPE is ignored, as in the real program, so that a
// closed standard output shows up as a failed write.
#include <signal.h>

#include <optional>
#include <string>

#include "events/log_record.h"
#include "platform/logging_events.h"

namespace {

constexpr std::string_view kModule = "platform::platform_macos::syscalls";

}  // namespace

int main() {
    static_cast<void>(::signal(SIGPIPE, SIG_IGN));
    // The test finds the lines of these statements by the markers at their ends.
    platform::load_syscall_symbol_error(
        "renameatx_np", std::nullopt,
        events::call_site(kModule, events::Level::error));  // emit: symbol error
    platform::load_syscall_find_default_broken(
        "dlsym(RTLD_DEFAULT, \"getattrlistat\"): symbol not found",
        events::call_site(kModule, events::Level::error));  // emit: default broken
    return 0;
}

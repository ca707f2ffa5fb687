// The program's own notion of thread names. Storage is a trivially destructible pointer per
// thread, cleared by an owner object at thread exit, so a report made during a thread's
// clean-up finds no name rather than a destroyed one.
#include "base/thread_identity.h"

#include <memory>
#include <string>

#include "thread_identity_platform.h"

namespace base {
namespace {

thread_local const std::string* own_name = nullptr;

// Owns the calling thread's name and forgets it when the thread ends.
struct OwnNameHolder {
    std::unique_ptr<std::string> name;
    OwnNameHolder() = default;
    OwnNameHolder(const OwnNameHolder&) = delete;
    OwnNameHolder& operator=(const OwnNameHolder&) = delete;
    ~OwnNameHolder() { own_name = nullptr; }
};

thread_local OwnNameHolder own_name_holder;

}  // namespace

void set_current_thread_name(std::string_view name) {
    own_name_holder.name = std::make_unique<std::string>(name);
    own_name = own_name_holder.name.get();
    platform_set_os_thread_name(*own_name);
}

std::optional<std::string_view> current_thread_name() {
    if (own_name != nullptr) {
        return std::string_view(*own_name);
    }
    if (is_main_thread()) {
        return std::string_view("main");
    }
    return std::nullopt;
}

bool is_main_thread() {
    return platform_is_main_thread();
}

std::uint64_t current_thread_id() {
    return platform_current_thread_id();
}

}  // namespace base

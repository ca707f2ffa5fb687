// The environment through the C library, so that whoever replaces getenv sees every read.
#include "base/environment.h"

#include <cstdlib>

namespace base {

std::optional<std::string_view> environment_variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string_view(value);
}

bool environment_flag(const char* name) {
    const std::optional<std::string_view> value = environment_variable(name);
    return value && !value->empty() && *value != "0";
}

}  // namespace base

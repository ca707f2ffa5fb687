// Reading the process environment. A variable is either absent or present with a value, which
// may be empty and need not be UTF-8. Values stay valid while the environment is not changed.
#pragma once

#include <optional>
#include <string_view>

namespace base {

std::optional<std::string_view> environment_variable(const char* name);

// A switch set in the environment: on unless it is unset, empty or "0".
bool environment_flag(const char* name);

}  // namespace base

// The plain display texts of key-value values, as a log line shows them.
#pragma once

#include <string>

#include "events/log_record.h"

namespace events {

// Appends the plain display text of `value` to `out`, with no quoting or escaping: text as it
// is, integers and floats in decimal, "true"/"false", a character as UTF-8, "None", "()".
// Returns false when a pre-formatted value fails to format.
bool append_display_text(const Value& value, std::string& out);

}  // namespace events

// The platform's events: each declaration yields one emit operation that writes an ERROR-level
// text record through the calling thread's text logger and hands a structured copy to its
// event logger (made only when one is installed). Field values travel as JSON texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "events/log_record.h"

namespace platform {

// An entry point `symbol` could not be resolved; `error` is the loader's text, if it gave one.
void load_syscall_symbol_error(std::string_view symbol, const std::optional<std::string>& error,
                               const events::CallSite& call_site);

// The probe of the process's default namespace failed; `error` is the loader's text, if any.
void load_syscall_find_default_broken(const std::optional<std::string>& error,
                                      const events::CallSite& call_site);

// A JSON string of text: only quotation mark, backslash and the bytes 0x00 to 0x1F are
// escaped; every other byte is copied as it is.
std::string json_string(std::string_view text);

// The JSON text of an optional field: its JSON string, or "null" when absent.
std::string json_text(const std::optional<std::string>& value);

}  // namespace platform

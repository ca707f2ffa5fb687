// The platform's events: each declaration yields one emit operation that writes an ERROR-level
// text record through the calling thread's text logger and hands a structured copy to its
// event logger (made only when one is installed). Field values travel as JSON texts.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "events/log_record.h"
#include "events/logging.h"

namespace platform {

// An entry point `symbol` could not be resolved; `error` is the loader's text, if it gave one.
void load_syscall_symbol_error(std::string_view symbol, const std::optional<std::string>& error,
                               const events::CallSite& call_site);

// The probe of the process's default namespace failed; `error` is the loader's text, if any.
void load_syscall_find_default_broken(const std::optional<std::string>& error,
                                      const events::CallSite& call_site);

// One field of an event being emitted: its declared name and its JSON text.
struct EventField {
    std::string_view name;
    std::string json;
};

// The emit operation every event shares, for events declared elsewhere (the walk's): logs the
// text record "event: NAME" with one pair per field, in order, at the call site's level, then
// hands the structured copy to the thread's event logger, if it has one; the JSON texts move
// into it.
void emit_event(std::string_view event_name, std::span<EventField> fields,
                const events::CallSite& call_site);

// As emit_event, but a failed write of the line is returned instead of stopping the process
// (events::try_log_record); the structured copy is handed over either way. True when the line
// was written, false when its level dropped it.
base::Result<bool, events::LineNotWritten> try_emit_event(std::string_view event_name,
                                                          std::span<EventField> fields,
                                                          const events::CallSite& call_site);

// A JSON string of text: only quotation mark, backslash and the bytes 0x00 to 0x1F are
// escaped; every other byte is copied as it is.
std::string json_string(std::string_view text);

// A JSON string of a byte string that need not be UTF-8, such as a path: valid UTF-8 as
// json_string writes it, and each byte that is not part of a valid sequence as \udcXX (U+DC00
// plus the byte, the "surrogateescape" convention), which valid text never yields. So every byte
// string has a JSON text of its own, and the line stays valid UTF-8.
std::string json_bytes(std::string_view bytes);

// The JSON text of an optional field: its JSON string, or "null" when absent.
std::string json_text(const std::optional<std::string>& value);

}  // namespace platform

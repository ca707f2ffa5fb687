// Declarations and emit operations of the platform events, and the JSON encoding of their
// field values.
#include "platform/logging_events.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "base/utf8.h"
#include "events/logging.h"

namespace platform {
namespace {

// The namespace and code that every structured platform event carries.
constexpr std::string_view kEventNamespace = "kestrel";
constexpr std::int32_t kEventCode = 3;

// Appends byte as it stands in a JSON string.
void append_json_byte(std::string& out, char c) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
        case 0x22:
            out += "\\\"";
            break;
        case 0x5C:
            out += "\\\\";
            break;
        case 0x08:
            out += "\\b";
            break;
        case 0x0C:
            out += "\\f";
            break;
        case 0x0A:
            out += "\\n";
            break;
        case 0x0D:
            out += "\\r";
            break;
        case 0x09:
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += base::hex_digit(byte >> 4U);
                out += base::hex_digit(byte);
            } else {
                out += c;
            }
    }
}

// Logs the text record of an event through log, then hands the structured copy over; the JSON
// texts move into it. Encoding cannot fail, so there is no failure path between encoding and
// logging.
template <typename Log>
auto emit_with(std::string_view event_name, std::span<EventField> fields,
               const events::CallSite& call_site, const Log& log) {
    std::string message = "event: ";
    message += event_name;
    std::vector<events::KeyValue> pairs;
    pairs.reserve(fields.size());
    for (const EventField& field : fields) {
        pairs.push_back(events::KeyValue{field.name, std::string_view(field.json)});
    }
    auto logged = log(events::LogRecord(call_site, message, pairs));

    events::dispatch_event([&] {
        events::PlatformEvent event;
        event.name = std::string(event_name);
        event.fields.reserve(fields.size());
        for (EventField& field : fields) {
            event.fields.emplace_back(std::string(field.name), std::move(field.json));
        }
        event.event_namespace = std::string(kEventNamespace);
        event.code = kEventCode;
        return event;
    });
    return logged;
}

}  // namespace

void emit_event(std::string_view event_name, std::span<EventField> fields,
                const events::CallSite& call_site) {
    emit_with(event_name, fields, call_site, [](const events::LogRecord& record) {
        events::log_record(record);
        return true;
    });
}

base::Result<bool, events::LineNotWritten> try_emit_event(std::string_view event_name,
                                                          std::span<EventField> fields,
                                                          const events::CallSite& call_site) {
    return emit_with(event_name, fields, call_site, &events::try_log_record);
}

std::string json_string(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        append_json_byte(out, c);
    }
    out += '"';
    return out;
}

std::string json_bytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    while (!bytes.empty()) {
        const std::size_t valid = base::valid_sequence_length(bytes);
        if (valid == 0) {
            const auto byte = static_cast<unsigned char>(bytes.front());
            out += "\\udc";
            out += base::hex_digit(byte >> 4U);
            out += base::hex_digit(byte);
            bytes.remove_prefix(1);
            continue;
        }
        for (const char c : bytes.substr(0, valid)) {
            append_json_byte(out, c);
        }
        bytes.remove_prefix(valid);
    }
    out += '"';
    return out;
}

std::string json_text(const std::optional<std::string>& value) {
    return value ? json_string(*value) : std::string("null");
}

void load_syscall_symbol_error(std::string_view symbol, const std::optional<std::string>& error,
                               const events::CallSite& call_site) {
    EventField fields[] = {{"symbol", json_string(symbol)}, {"error", json_text(error)}};
    emit_event("load_syscall_symbol_error", fields, call_site);
}

void load_syscall_find_default_broken(const std::optional<std::string>& error,
                                      const events::CallSite& call_site) {
    EventField fields[] = {{"error", json_text(error)}};
    emit_event("load_syscall_find_default_broken", fields, call_site);
}

}  // namespace platform

// What a logging call hands to a logger: one record with its level, call site, message and
// key-value pairs, and the sources that supply pairs (the record's own and a logger's). A
// record refers to texts its caller owns and lives only for the logging call.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/result.h"
#include "base/source_location.h"

namespace events {

// From the most severe (CRITICAL, 0) to TRACE (5).
enum class Level : std::uint8_t { critical = 0, error, warn, info, debug, trace };

constexpr int level_number(Level level) {
    return static_cast<int>(level);
}

// Whether a record of level `record` gets through a filter configured at `configured`.
constexpr bool passes(Level record, Level configured) {
    return level_number(record) <= level_number(configured);
}

// The static description of one logging statement, shared by every record it makes. The texts
// are the program's own constants (source paths, module names), never freed.
struct CallSite {
    std::string_view file;
    std::uint32_t line;
    std::uint32_t column;
    std::string_view module_path;
    std::string_view function;
    std::string_view tag;
    Level level;
};

// The CallSite of the statement that calls this: file, line and column from `where`, with an
// empty function name and tag.
inline CallSite call_site(std::string_view module_path, Level level,
                          base::SourceLocation where = base::SourceLocation::current()) {
    return CallSite{where.file_name(), where.line(), where.column(), module_path, {}, {}, level};
}

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// Integers of pointer width, kept apart from the 64-bit kinds they share a type with.
struct PointerWidthSigned {
    std::intptr_t value;
};
struct PointerWidthUnsigned {
    std::uintptr_t value;
};

// The absent value (shown as "None") and the unit value (shown as "()").
struct Absent {};
struct Unit {};

// Text produced by formatting at the moment of use: the function appends the text to `out`
// and returns false when formatting fails. Refers to a function the caller owns.
using FormatFunction = std::function<bool(std::string& out)>;
struct Formatted {
    const FormatFunction* format;
};

// The value of a pair; a text value refers to text the caller owns.
using Value = std::variant<std::string_view, Formatted, std::int8_t, std::int16_t, std::int32_t,
                           std::int64_t, Int128, PointerWidthSigned, std::uint8_t, std::uint16_t,
                           std::uint32_t, std::uint64_t, UInt128, PointerWidthUnsigned, float,
                           double, bool, char32_t, Absent, Unit>;

struct KeyValue {
    std::string_view key;
    Value value;
};

// Why supplying pairs stopped: a value failed to format, the source failed otherwise, or the
// sink could not take a pair (the sink keeps its own account of why).
enum class SupplyError { formatting, other, stream };

// Takes pairs one at a time.
class PairSink {
  public:
    virtual ~PairSink() = default;
    virtual base::Result<void, SupplyError> emit(std::string_view key, const Value& value) = 0;
};

// Something that supplies key-value pairs, such as a logger's own list.
class KeyValueSource {
  public:
    virtual ~KeyValueSource() = default;
    // Stops at the first failure, of its own or of the sink's, and returns it.
    virtual base::Result<void, SupplyError> supply(PairSink& sink) const = 0;
};

// A logger's own pairs, with their texts owned here. Supplies them the last added first, as a
// record does. Not copyable: the pairs refer to the texts held here.
class OwnedKeyValues final : public KeyValueSource {
  public:
    OwnedKeyValues() = default;
    OwnedKeyValues(const OwnedKeyValues&) = delete;
    OwnedKeyValues& operator=(const OwnedKeyValues&) = delete;

    // A pair whose value is not text (a text value's view must point at owned text: add_text).
    void add(std::string key, Value value);
    void add_text(std::string key, std::string text);

    base::Result<void, SupplyError> supply(PairSink& sink) const override;

  private:
    std::deque<std::string> texts_;
    std::vector<KeyValue> pairs_;
};

class LogRecord {
  public:
    LogRecord(const CallSite& call_site, std::string_view message,
              std::span<const KeyValue> key_values = {})
        : call_site_(call_site), message_(message), key_values_(key_values) {}

    const CallSite& call_site() const { return call_site_; }
    Level level() const { return call_site_.level; }
    std::string_view message() const { return message_; }
    std::span<const KeyValue> key_values() const { return key_values_; }

    // Supplies the record's pairs to sink in the reverse of the order the logging call lists
    // them, stopping at the first failure.
    base::Result<void, SupplyError> supply(PairSink& sink) const;

  private:
    CallSite call_site_;
    std::string_view message_;
    std::span<const KeyValue> key_values_;
};

}  // namespace events

// One text log record as it travels through a logger, the sources of key-value pairs (the
// record's own and a logger's), and the sink they supply their pairs to. A record refers to
// texts its caller owns and lives only for the logging call.
#pragma once

#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/call_site.h"
#include "events/io_error.h"
#include "events/value.h"

namespace events {

struct KeyValue {
    std::string_view key;
    Value value;
};

// Why supplying pairs stopped: a value failed to format, the source failed otherwise, or the
// sink hit a stream error.
class SupplyError {
  public:
    enum class Cause { formatting, other, stream };

    static SupplyError formatting() { return SupplyError(Cause::formatting, std::nullopt); }
    static SupplyError other() { return SupplyError(Cause::other, std::nullopt); }
    static SupplyError stream(IoError error) {
        return SupplyError(Cause::stream, std::move(error));
    }

    Cause cause() const { return cause_; }
    // The stream error this failure ends a line with: kind Other with "formatting error" or
    // "other error"; a stream error unchanged.
    IoError to_io_error() const;

  private:
    SupplyError(Cause cause, std::optional<IoError> error)
        : cause_(cause), error_(std::move(error)) {}

    Cause cause_;
    std::optional<IoError> error_;
};

// Empty on success.
using SupplyStatus = std::optional<SupplyError>;

// Takes pairs one at a time.
class PairSink {
  public:
    virtual ~PairSink() = default;
    virtual SupplyStatus emit(std::string_view key, const Value& value) = 0;
};

// Something that supplies key-value pairs, such as a logger's own list.
class KeyValueSource {
  public:
    virtual ~KeyValueSource() = default;
    virtual SupplyStatus supply(PairSink& sink) const = 0;
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

    SupplyStatus supply(PairSink& sink) const override;

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
    SupplyStatus supply(PairSink& sink) const;

  private:
    CallSite call_site_;
    std::string_view message_;
    std::span<const KeyValue> key_values_;
};

}  // namespace events

// Supplying the pairs of records and of logger lists, and the stream errors that a failed
// supply ends a line with.
#include "events/log_record.h"

namespace events {
namespace {

SupplyStatus supply_last_first(std::span<const KeyValue> pairs, PairSink& sink) {
    for (auto pair = pairs.rbegin(); pair != pairs.rend(); ++pair) {
        if (SupplyStatus failed = sink.emit(pair->key, pair->value)) {
            return failed;
        }
    }
    return std::nullopt;
}

}  // namespace

IoError SupplyError::to_io_error() const {
    switch (cause_) {
        case Cause::formatting:
            return IoError::custom(IoErrorKind::other, "formatting error");
        case Cause::other:
            return IoError::custom(IoErrorKind::other, "other error");
        case Cause::stream:
            break;
    }
    return *error_;
}

void OwnedKeyValues::add(std::string key, Value value) {
    const std::string& owned_key = texts_.emplace_back(std::move(key));
    pairs_.push_back(KeyValue{owned_key, value});
}

void OwnedKeyValues::add_text(std::string key, std::string text) {
    const std::string& owned_key = texts_.emplace_back(std::move(key));
    const std::string& owned_text = texts_.emplace_back(std::move(text));
    pairs_.push_back(KeyValue{owned_key, std::string_view(owned_text)});
}

SupplyStatus OwnedKeyValues::supply(PairSink& sink) const {
    return supply_last_first(pairs_, sink);
}

SupplyStatus LogRecord::supply(PairSink& sink) const {
    return supply_last_first(key_values_, sink);
}

}  // namespace events

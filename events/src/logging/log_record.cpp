// Supplying the pairs of records and of logger lists.
#include "events/log_record.h"

namespace events {
namespace {

base::Result<void, SupplyError> supply_last_first(std::span<const KeyValue> pairs, PairSink& sink) {
    for (auto pair = pairs.rbegin(); pair != pairs.rend(); ++pair) {
        if (auto taken = sink.emit(pair->key, pair->value); !taken.ok()) {
            return taken;
        }
    }
    return {};
}

}  // namespace

void OwnedKeyValues::add(std::string key, Value value) {
    const std::string& owned_key = texts_.emplace_back(std::move(key));
    pairs_.push_back(KeyValue{owned_key, value});
}

void OwnedKeyValues::add_text(std::string key, std::string text) {
    const std::string& owned_key = texts_.emplace_back(std::move(key));
    const std::string& owned_text = texts_.emplace_back(std::move(text));
    pairs_.push_back(KeyValue{owned_key, std::string_view(owned_text)});
}

base::Result<void, SupplyError> OwnedKeyValues::supply(PairSink& sink) const {
    return supply_last_first(pairs_, sink);
}

base::Result<void, SupplyError> LogRecord::supply(PairSink& sink) const {
    return supply_last_first(key_values_, sink);
}

}  // namespace events

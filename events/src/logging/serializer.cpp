// Collecting and printing the key-value pairs of one line.
#include "serializer.h"

#include "value_text.h"

namespace events {

base::Result<void, SupplyError> Serializer::emit(std::string_view key, const Value& value) {
    std::string text;
    if (!append_display_text(value, text)) {
        return SupplyError::formatting;
    }
    if (collect_) {
        stack_.emplace_back(std::string(key), std::move(text));
        return {};
    }
    if (auto printed = print_pair(key, text); !printed.ok()) {
        stream_error_ = printed.error();
        return SupplyError::stream;
    }
    return {};
}

IoError Serializer::error_for(SupplyError error) const {
    if (error == SupplyError::stream && stream_error_) {
        return *stream_error_;
    }
    return IoError::custom(IoErrorKind::other,
                           error == SupplyError::formatting ? "formatting error" : "other error");
}

base::Result<void, IoError> Serializer::finish() {
    while (!stack_.empty()) {
        const std::pair<std::string, std::string> entry = std::move(stack_.back());
        stack_.pop_back();
        if (auto printed = print_pair(entry.first, entry.second); !printed.ok()) {
            stack_.clear();
            return printed;
        }
    }
    return {};
}

base::Result<void, IoError> Serializer::print_pair(std::string_view key,
                                                   std::string_view value_text) {
    if (comma_needed_) {
        if (auto s = hook_then_write(decorator_, &RecordDecorator::start_comma, ", "); !s.ok()) {
            return s;
        }
    }
    comma_needed_ = true;
    if (auto s = hook_then_write(decorator_, &RecordDecorator::start_key, key); !s.ok()) {
        return s;
    }
    // The ":" after a key has no hook of its own.
    if (auto s = decorator_.write_all(":"); !s.ok()) {
        return s;
    }
    if (auto s = hook_then_write(decorator_, &RecordDecorator::start_whitespace, " "); !s.ok()) {
        return s;
    }
    return hook_then_write(decorator_, &RecordDecorator::start_value, value_text);
}

}  // namespace events

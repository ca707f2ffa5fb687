// Rendering one record as one line: the header up to the message, the pairs in call order, the
// line end.
#include "line_format.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "value_text.h"

namespace events {
namespace {

// The four-letter word of a level on a line.
std::string_view level_word(Level level) {
    static constexpr std::string_view kWords[] = {"CRIT", "ERRO", "WARN", "INFO", "DEBG", "TRCE"};
    return kWords[level_number(level)];
}

// Writes the line up to and including the message: time, level word, thread column, location
// (both written by start_msg) and message.
base::Result<void, IoError> print_msg_header(const TimestampFunction& timestamp,
                                             RecordDecorator& line, const LogRecord& record) {
    if (auto s = line.start_timestamp(); !s.ok()) {
        return s;
    }
    if (auto s = timestamp(line); !s.ok()) {
        return s;
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_whitespace, " "); !s.ok()) {
        return s;
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_level, level_word(record.level()));
        !s.ok()) {
        return s;
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_whitespace, " "); !s.ok()) {
        return s;
    }
    return hook_then_write(line, &RecordDecorator::start_msg, record.message());
}

// The pair collector of one line. With collection on it turns each value into its text at
// once and keeps (key, text) entries on a stack that finish() prints, the last pushed first;
// with collection off it prints each pair as it comes, and keeps the stream error that stopped
// it.
class Serializer final : public PairSink {
  public:
    Serializer(RecordDecorator& line, bool comma_needed, bool collect)
        : line_(line), comma_needed_(comma_needed), collect_(collect) {}

    base::Result<void, SupplyError> emit(std::string_view key, const Value& value) override {
        std::string text;
        if (!append_display_text(value, text)) {
            return SupplyError::formatting;
        }
        if (collect_) {
            stack_.emplace_back(std::string(key), std::move(text));
            return {};
        }
        if (auto printed = print_pair(key, text); !printed.ok()) {
            stream_error_ = std::move(printed).error();
            return SupplyError::stream;
        }
        return {};
    }

    // The stream error a failed supply ends the line with: kind Other with "formatting error"
    // or "other error", or the stream error that stopped this serializer.
    IoError error_for(SupplyError error) const {
        if (error == SupplyError::stream && stream_error_) {
            return *stream_error_;
        }
        return IoError::custom(IoErrorKind::other, error == SupplyError::formatting
                                                       ? "formatting error"
                                                       : "other error");
    }

    // Prints the collected pairs, each as [", "] key ": " value. On a failed write the
    // remaining entries are dropped and the error returned.
    base::Result<void, IoError> finish() {
        for (; !stack_.empty(); stack_.pop_back()) {
            if (auto printed = print_pair(stack_.back().first, stack_.back().second);
                !printed.ok()) {
                stack_.clear();
                return printed;
            }
        }
        return {};
    }

  private:
    base::Result<void, IoError> print_pair(std::string_view key, std::string_view value_text) {
        if (comma_needed_) {
            if (auto s = hook_then_write(line_, &RecordDecorator::start_comma, ", "); !s.ok()) {
                return s;
            }
        }
        comma_needed_ = true;
        if (auto s = hook_then_write(line_, &RecordDecorator::start_key, key); !s.ok()) {
            return s;
        }
        // The ":" after a key has no hook of its own.
        if (auto s = line_.write_all(":"); !s.ok()) {
            return s;
        }
        if (auto s = hook_then_write(line_, &RecordDecorator::start_whitespace, " "); !s.ok()) {
            return s;
        }
        return hook_then_write(line_, &RecordDecorator::start_value, value_text);
    }

    RecordDecorator& line_;
    bool comma_needed_;
    bool collect_;
    std::vector<std::pair<std::string, std::string>> stack_;
    std::optional<IoError> stream_error_;
};

}  // namespace

base::Result<void, IoError> LineFormat::log(const LogRecord& record,
                                            const KeyValueSource& logger_values) {
    // The line's two decorator layers over the stream, released in reverse order (the terminal
    // layer flushes once more) before the stream goes back to the use guard.
    const std::lock_guard<std::mutex> hold(use_guard_);
    TermRecordDecorator term_line(*stream_, record.level());
    std::optional<SourceLocation> location;
    if (options_.show_location) {
        location = SourceLocation{record.call_site().file, record.call_site().line};
    }
    LogRecordDecorator line(term_line, location, options_.show_thread);

    if (auto s = print_msg_header(timestamp_, line, record); !s.ok()) {
        return s;
    }
    // A whole-buffer write either takes every byte or fails, so the message wrote bytes
    // exactly when it is not empty; the thread column and location do not count.
    Serializer serializer(line, !record.message().empty(), options_.call_order);
    if (auto supplied = record.supply(serializer); !supplied.ok()) {
        return serializer.error_for(supplied.error());
    }
    if (auto supplied = logger_values.supply(serializer); !supplied.ok()) {
        return serializer.error_for(supplied.error());
    }
    if (auto s = serializer.finish(); !s.ok()) {
        return s;
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_whitespace, "\n"); !s.ok()) {
        return s;
    }
    return line.flush();
}

}  // namespace events

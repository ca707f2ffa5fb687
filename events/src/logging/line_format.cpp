// Rendering one record as one line: the header, the pairs in call order, the line end.
#include "line_format.h"

#include <optional>

#include "serializer.h"

namespace events {

std::string_view level_word(Level level) {
    switch (level) {
        case Level::critical:
            return "CRIT";
        case Level::error:
            return "ERRO";
        case Level::warn:
            return "WARN";
        case Level::info:
            return "INFO";
        case Level::debug:
            return "DEBG";
        case Level::trace:
            return "TRCE";
    }
    return "TRCE";
}

base::Result<void, IoError> TermDecorator::with_record(Level level, const LineSteps& steps) {
    const std::lock_guard<std::mutex> hold(use_guard_);
    TermRecordDecorator line(*stream_, level);
    return steps(line);
}

base::Result<void, IoError> LogDecorator::with_record(const LogRecord& record,
                                                      const LineSteps& steps) {
    return term_.with_record(record.level(), [&](RecordDecorator& term_line) {
        std::optional<SourceLocation> location;
        if (show_location_) {
            location = SourceLocation{record.call_site().file, record.call_site().line};
        }
        LogRecordDecorator line(term_line, location, show_thread_);
        return steps(line);
    });
}

base::Result<bool, IoError> print_msg_header(const TimestampFunction& timestamp,
                                             RecordDecorator& line, const LogRecord& record) {
    if (auto s = line.start_timestamp(); !s.ok()) {
        return s.error();
    }
    if (auto s = timestamp(line); !s.ok()) {
        return s.error();
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_whitespace, " "); !s.ok()) {
        return s.error();
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_level, level_word(record.level()));
        !s.ok()) {
        return s.error();
    }
    if (auto s = hook_then_write(line, &RecordDecorator::start_whitespace, " "); !s.ok()) {
        return s.error();
    }
    // start_msg writes the thread column and the location; they do not count as message.
    if (auto s = hook_then_write(line, &RecordDecorator::start_msg, record.message()); !s.ok()) {
        return s.error();
    }
    // A whole-buffer write either takes every byte or fails, so the message wrote bytes
    // exactly when it is not empty.
    return !record.message().empty();
}

base::Result<void, IoError> LineFormat::log(const LogRecord& record,
                                            const KeyValueSource& logger_values) {
    return decorator_.with_record(
        record, [&](RecordDecorator& line) -> base::Result<void, IoError> {
            const base::Result<bool, IoError> header = print_msg_header(timestamp_, line, record);
            if (!header.ok()) {
                return header.error();
            }
            Serializer serializer(line, header.value(), call_order_);
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
        });
}

}  // namespace events

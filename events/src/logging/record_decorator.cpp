// Writing through record decorators: whole-buffer writes, the terminal layer, and the thread
// column and location written before each message.
#include "record_decorator.h"

#include <string>

#include "base/number_text.h"
#include "base/thread_identity.h"
#include "base/utf8.h"
#include "base/write_all.h"

namespace events {

base::Result<void, IoError> RecordDecorator::write_all(std::string_view bytes) {
    return base::write_all<IoError>(
        bytes, [this](std::string_view rest) { return write(rest); },
        [](const IoError& error) { return error.kind() == IoErrorKind::interrupted; },
        [] { return IoError::simple(IoErrorKind::write_zero, kWriteZeroMessage); });
}

TermRecordDecorator::~TermRecordDecorator() {
    static_cast<void>(stream_.flush());
}

base::Result<void, IoError> LogRecordDecorator::start_msg() {
    if (show_thread_) {
        // Names are counted in characters, not bytes, and a long name is never cut.
        const std::string_view name = base::current_thread_name().value_or("UNKNOWN");
        std::string column(name);
        const std::size_t characters = base::count_characters(name);
        if (characters < kThreadColumnWidth) {
            column.append(kThreadColumnWidth - characters, ' ');
        }
        column += ' ';
        if (auto written = inner_.write_all(column); !written.ok()) {
            return written;
        }
    }
    if (location_) {
        std::string text = "[";
        text += location_->file;
        text += ':';
        base::append_decimal(text, location_->line);
        text += "] ";
        if (auto written = inner_.write_all(text); !written.ok()) {
            return written;
        }
    }
    return inner_.start_msg();
}

}  // namespace events

// Writing through record decorators: whole-buffer writes, the terminal layer, and the thread
// column and location written before each message.
#include "record_decorator.h"

#include <string>

#include "base/thread_identity.h"
#include "base/utf8.h"

namespace events {

base::Result<void, IoError> RecordDecorator::write_all(std::string_view bytes) {
    while (!bytes.empty()) {
        const base::Result<std::size_t, IoError> written = write(bytes);
        if (!written.ok()) {
            if (written.error().kind() == IoErrorKind::interrupted) {
                continue;
            }
            return written.error();
        }
        if (written.value() == 0) {
            return IoError::simple(IoErrorKind::write_zero, kWriteZeroMessage);
        }
        bytes.remove_prefix(written.value());
    }
    return {};
}

TermRecordDecorator::~TermRecordDecorator() {
    static_cast<void>(stream_.flush());
}

base::Result<std::size_t, IoError> TermRecordDecorator::write(std::string_view bytes) {
    return stream_.write(bytes);
}

base::Result<void, IoError> TermRecordDecorator::flush() {
    return stream_.flush();
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
        text += std::to_string(location_->line);
        text += "] ";
        if (auto written = inner_.write_all(text); !written.ok()) {
            return written;
        }
    }
    return inner_.start_msg();
}

}  // namespace events

// Writes the fatal report to descriptor 2 and ends the process. Works without the heap and
// without stdio, so it is usable from any library, any thread and any state of the program.
#include "base/fatal_report.h"

#include <execinfo.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "base/environment.h"
#include "base/number_text.h"
#include "base/thread_identity.h"

namespace base {
namespace {

// Gathers the report's pieces and writes them with as few system calls as possible. Partial
// and interrupted writes are continued; any other failure drops the rest silently, since there
// is nowhere left to report it. Its own loop rather than base::write_all: a vectored write of
// pieces in place, with nothing allocated, whatever state the heap is in.
class ReportWriter {
  public:
    ReportWriter() = default;
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    void add(std::string_view piece) {
        if (piece.empty()) {
            return;
        }
        if (count_ == pieces_.size()) {
            flush();
        }
        pieces_[count_++] = iovec{const_cast<char*>(piece.data()), piece.size()};
    }

    void flush() {
        std::size_t first = 0;
        while (first < count_) {
            const ssize_t written =
                ::writev(STDERR_FILENO, &pieces_[first], static_cast<int>(count_ - first));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                break;
            }
            auto left = static_cast<std::size_t>(written);
            while (first < count_ && left >= pieces_[first].iov_len) {
                left -= pieces_[first].iov_len;
                ++first;
            }
            if (first < count_) {
                pieces_[first].iov_base = static_cast<char*>(pieces_[first].iov_base) + left;
                pieces_[first].iov_len -= left;
            }
        }
        count_ = 0;
    }

  private:
    std::array<iovec, 24> pieces_{};
    std::size_t count_ = 0;
};

std::atomic<bool> report_in_progress{false};
thread_local bool reporting_on_this_thread = false;

[[noreturn]] void report_and_exit(std::string_view message, std::string_view detail,
                                  const SourceLocation& where) {
    if (reporting_on_this_thread) {
        ::_exit(kFatalExitStatus);
    }
    reporting_on_this_thread = true;
    if (report_in_progress.exchange(true)) {
        // Another thread is reporting and will end the process; one report is enough.
        for (;;) {
            ::pause();
        }
    }

    const DecimalText thread_id(current_thread_id());
    const DecimalText line(where.line());
    const DecimalText column(where.column());
    ReportWriter out;
    out.add("\nthread '");
    out.add(current_thread_name().value_or("<unnamed>"));
    out.add("' (");
    out.add(thread_id.view());
    out.add(") panicked at ");
    out.add(where.file_name());
    out.add(":");
    out.add(line.view());
    out.add(":");
    out.add(column.view());
    out.add(":\n");
    out.add(message);
    out.add(detail);
    out.add("\n");
    if (environment_flag(kBacktraceVariable)) {
        out.add("stack backtrace:\n");
        out.flush();
        std::array<void*, 64> frames{};
        const int depth = ::backtrace(frames.data(), static_cast<int>(frames.size()));
        ::backtrace_symbols_fd(frames.data(), depth, STDERR_FILENO);
    } else {
        out.add("note: run with `");
        out.add(kBacktraceVariable);
        out.add("=1` environment variable to display a backtrace\n");
        out.flush();
    }
    ::_exit(kFatalExitStatus);
}

}  // namespace

void fatal(std::string_view message, SourceLocation where) {
    report_and_exit(message, {}, where);
}

void fatal(std::string_view message, std::string_view detail, SourceLocation where) {
    report_and_exit(message, detail, where);
}

}  // namespace base

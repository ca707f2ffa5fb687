// The report and the dry run as log events: one line per entry left behind or to be changed,
// one summary line at the end. Off, the walk runs without an observer, exactly as it always did.
#include "ownership_mender/walk_run.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/environment.h"
#include "base/number_text.h"
#include "base/write_all.h"
#include "events/log_record.h"
#include "ownership_mender/chown_tree.h"
#include "platform/logging_events.h"

namespace ownership_mender {
namespace {

constexpr std::string_view kModule = "ownership_mender::walk_run";

std::string_view call_name(FailedCall call) {
    switch (call) {
        case FailedCall::chown:
            return "chown";
        case FailedCall::stat:
            return "stat";
        case FailedCall::open:
            return "open";
        case FailedCall::read:
            return "read";
        case FailedCall::readlink:
            return "readlink";
    }
    return "unknown";
}

// The fields of a failure: the entry, the call that failed and the system's error.
struct FailureFields {
    platform::EventField fields[4];

    FailureFields(std::string_view path, FailedCall call, int error)
        : fields{{"path", platform::json_bytes(path)},
                 {"call", platform::json_string(call_name(call))},
                 {"errno", base::decimal(error)},
                 {"error", platform::json_string(std::strerror(error))}} {}
};

// Failures are errors; a change a dry run would make is a warning when it lies outside PATH,
// or where it lies could not be told, so that RUST_LOG=warn shows just what may reach beyond
// it. A dry run's lines are all it is for, so a line that cannot be written stops it; the
// report only observes a walk that makes changes, so there the first line that cannot be
// written ends the report, and the walk goes on without one.
class EventReport final : public WalkObserver {
  public:
    explicit EventReport(bool dry_run) : dry_run_(dry_run) {}

    void entry_not_changed(std::string_view path, FailedCall call, int error) override {
        if (!failure_) {
            FailureFields failure(path, call, error);
            emit("entry_not_changed", failure.fields,
                 events::call_site(kModule, events::Level::error));
        }
    }

    void directory_not_listed(std::string_view path, FailedCall call, int error) override {
        if (!failure_) {
            FailureFields failure(path, call, error);
            emit("directory_not_listed", failure.fields,
                 events::call_site(kModule, events::Level::error));
        }
    }

    void entry_not_placed(std::string_view path, FailedCall call, int error) override {
        FailureFields failure(path, call, error);
        emit("entry_not_placed", failure.fields,
             events::call_site(kModule, events::Level::error));
    }

    void entry_would_change(std::string_view path, std::optional<std::string_view> outside_through,
                            bool placed) override {
        platform::EventField fields[] = {
            {"path", platform::json_bytes(path)},
            {"outside_through",
             outside_through ? platform::json_bytes(*outside_through) : std::string("null")}};
        if (outside_through || !placed) {
            emit("entry_would_change", fields, events::call_site(kModule, events::Level::warn));
        } else {
            emit("entry_would_change", fields, events::call_site(kModule, events::Level::info));
        }
    }

    void emit(std::string_view event_name, std::span<platform::EventField> fields,
              const events::CallSite& call_site) {
        if (dry_run_) {
            platform::emit_event(event_name, fields, call_site);
            return;
        }
        if (failure_) {
            return;
        }
        const auto written = platform::try_emit_event(event_name, fields, call_site);
        if (!written.ok()) {
            failure_ = written.error().reason;
        } else if (written.value()) {
            ++lines_written_;
        }
    }

    // Why the report stopped, when a line could not be written.
    const std::optional<std::string>& failure() const { return failure_; }
    std::uint64_t lines_written() const { return lines_written_; }

  private:
    const bool dry_run_;
    std::uint64_t lines_written_ = 0;
    std::optional<std::string> failure_;
};

void walk_finished(EventReport& report, const WalkTally& tally) {
    platform::EventField fields[] = {{"changed", base::decimal(tally.changed)},
                                     {"unchanged", base::decimal(tally.unchanged)},
                                     {"not_listed", base::decimal(tally.not_listed)}};
    report.emit("walk_finished", fields, events::call_site(kModule, events::Level::info));
}

void dry_run_finished(EventReport& report, const WalkTally& tally) {
    platform::EventField fields[] = {{"would_change", base::decimal(tally.changed)},
                                     {"outside", base::decimal(tally.outside)},
                                     {"leaving_links", base::decimal(tally.leaving_links)},
                                     {"unchanged", base::decimal(tally.unchanged)},
                                     {"not_listed", base::decimal(tally.not_listed)},
                                     {"not_placed", base::decimal(tally.not_placed)}};
    report.emit("dry_run_finished", fields, events::call_site(kModule, events::Level::info));
}

// One line on standard error, where the report's own stream may be gone: how far the report
// got, and the walk's counts, which its summary would have given. Written once, and a failure
// to write it is ignored: there is nowhere left to tell it.
void tell_report_cut_short(const EventReport& report, const WalkTally& tally) {
    std::string line = "ownership_mender: the report was cut short after ";
    base::append_decimal(line, report.lines_written());
    line += report.lines_written() == 1 ? " line: " : " lines: ";
    line += *report.failure();
    line += "; the walk went on to its end: changed: ";
    base::append_decimal(line, tally.changed);
    line += ", unchanged: ";
    base::append_decimal(line, tally.unchanged);
    line += ", not_listed: ";
    base::append_decimal(line, tally.not_listed);
    line += "\n";
    static_cast<void>(base::write_all(STDERR_FILENO, line));
}

}  // namespace

WalkChoice WalkChoice::from_environment() {
    return {base::environment_flag(kReportVariable), base::environment_flag(kDryRunVariable)};
}

int run_walk(const Args& args, const WalkChoice& choice) {
    if (!choice.report && !choice.dry_run) {
        chown_tree(args.path, args.uid);
        return 0;
    }
    EventReport report(choice.dry_run);
    const WalkTally tally = chown_tree(args.path, args.uid, WalkOptions{&report, choice.dry_run});
    if (choice.dry_run) {
        dry_run_finished(report, tally);
        return 0;
    }
    walk_finished(report, tally);
    if (report.failure()) {
        tell_report_cut_short(report, tally);
        return kReportCutShortStatus;
    }
    return tally.unchanged != 0 || tally.not_listed != 0 ? 1 : 0;
}

}  // namespace ownership_mender

// The report and the dry run as log events: one line per entry left behind or to be changed,
// one summary line at the end. Off, the walk runs without an observer, exactly as it always did.
#include "ownership_mender/walk_run.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/environment.h"
#include "base/number_text.h"
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
// so that RUST_LOG=warn shows just what reaches beyond it.
class EventReport final : public WalkObserver {
  public:
    void entry_not_changed(std::string_view path, FailedCall call, int error) override {
        FailureFields failure(path, call, error);
        platform::emit_event("entry_not_changed", failure.fields,
                             events::call_site(kModule, events::Level::error));
    }

    void directory_not_listed(std::string_view path, FailedCall call, int error) override {
        FailureFields failure(path, call, error);
        platform::emit_event("directory_not_listed", failure.fields,
                             events::call_site(kModule, events::Level::error));
    }

    void entry_would_change(std::string_view path,
                            std::optional<std::string_view> outside_through) override {
        platform::EventField fields[] = {
            {"path", platform::json_bytes(path)},
            {"outside_through",
             outside_through ? platform::json_bytes(*outside_through) : std::string("null")}};
        if (outside_through) {
            platform::emit_event("entry_would_change", fields,
                                 events::call_site(kModule, events::Level::warn));
        } else {
            platform::emit_event("entry_would_change", fields,
                                 events::call_site(kModule, events::Level::info));
        }
    }
};

void walk_finished(const WalkTally& tally) {
    platform::EventField fields[] = {{"changed", base::decimal(tally.changed)},
                                     {"unchanged", base::decimal(tally.unchanged)},
                                     {"not_listed", base::decimal(tally.not_listed)}};
    platform::emit_event("walk_finished", fields, events::call_site(kModule, events::Level::info));
}

void dry_run_finished(const WalkTally& tally) {
    platform::EventField fields[] = {{"would_change", base::decimal(tally.changed)},
                                     {"outside", base::decimal(tally.outside)},
                                     {"leaving_links", base::decimal(tally.leaving_links)},
                                     {"unchanged", base::decimal(tally.unchanged)},
                                     {"not_listed", base::decimal(tally.not_listed)}};
    platform::emit_event("dry_run_finished", fields,
                         events::call_site(kModule, events::Level::info));
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
    EventReport report;
    const WalkTally tally = chown_tree(args.path, args.uid, WalkOptions{&report, choice.dry_run});
    if (choice.dry_run) {
        dry_run_finished(tally);
        return 0;
    }
    walk_finished(tally);
    return tally.unchanged != 0 || tally.not_listed != 0 ? 1 : 0;
}

}  // namespace ownership_mender

// The texts of the command line: help, refusals, and whether they carry terminal styling.
#include "base/environment.h"
#include "ownership_mender/command_line.h"

namespace ownership_mender {
namespace {

// ANSI styles for the parts of a text; all empty when styling is not allowed.
struct Styles {
    std::string_view error, invalid, valid, literal, header, reset;

    static Styles choose(bool styled) {
        if (!styled) {
            return {};
        }
        return {"\x1b[1m\x1b[31m", "\x1b[33m", "\x1b[32m", "\x1b[1m", "\x1b[1m\x1b[4m", "\x1b[0m"};
    }

    std::string paint(std::string_view style, std::string_view text) const {
        std::string out;
        out.reserve(style.size() + text.size() + reset.size());
        out.append(style).append(text).append(style.empty() ? std::string_view() : reset);
        return out;
    }
};

std::string usage_line(const Styles& s, std::string_view program) {
    return s.paint(s.header, "Usage:") + " " + s.paint(s.literal, program) + " <PATH> <UID>";
}

}  // namespace

std::string render_help(std::string_view program, bool styled) {
    const Styles s = Styles::choose(styled);
    return usage_line(s, program) + "\n\n" + s.paint(s.header, "Arguments:") +
           "\n  <PATH>\n  <UID>\n\n" + s.paint(s.header, "Options:") + "\n  " +
           s.paint(s.literal, "-h, --help") + "  Print help\n";
}

std::string render_refusal(const Refusal& refusal, std::string_view program, bool styled) {
    const Styles s = Styles::choose(styled);
    std::string message;
    std::string tip;
    bool with_usage = true;
    switch (refusal.kind) {
        case RefusalKind::missing_arguments:
            message = "the following required arguments were not provided:";
            if (refusal.path_missing) {
                message += "\n  " + s.paint(s.valid, "<PATH>");
            }
            if (refusal.uid_missing) {
                message += "\n  " + s.paint(s.valid, "<UID>");
            }
            break;
        case RefusalKind::invalid_uid:
            message = "invalid value '" + s.paint(s.invalid, refusal.subject) + "' for '" +
                      s.paint(s.literal, "<UID>") + "': " + refusal.reason;
            with_usage = false;
            break;
        case RefusalKind::unexpected_option:
            message = "unexpected argument '" + s.paint(s.invalid, refusal.subject) + "' found";
            tip = "to pass '" + s.paint(s.valid, refusal.subject) + "' as a value, use '" +
                  s.paint(s.valid, "-- " + refusal.subject) + "'";
            break;
        case RefusalKind::unexpected_value:
            message = "unexpected argument '" + s.paint(s.invalid, refusal.subject) + "' found";
            break;
        case RefusalKind::invalid_utf8:
            message = "invalid UTF-8 was detected in one or more arguments";
            break;
        case RefusalKind::missing_match:
            // Reported after parsing, where the program's declared name is used.
            message = "The following required argument was not provided: " + refusal.reason;
            program = "ownership_mender";
            break;
    }
    std::string text = s.paint(s.error, "error:") + " " + message + "\n";
    if (!tip.empty()) {
        text += "\n  " + s.paint(s.valid, "tip:") + " " + tip + "\n";
    }
    if (with_usage) {
        text += "\n" + usage_line(s, program) + "\n";
    }
    text += "\nFor more information, try '" + s.paint(s.literal, "--help") + "'.\n";
    return text;
}

ColourEnvironment ColourEnvironment::from_process() {
    const auto read = &base::environment_variable;
    return {read("NO_COLOR"), read("CLICOLOR_FORCE"), read("CLICOLOR"), read("TERM"), read("CI")};
}

bool styling_allowed(const ColourEnvironment& environment, bool stream_is_terminal) {
    const auto non_empty = [](const std::optional<std::string_view>& value) {
        return value && !value->empty();
    };
    if (non_empty(environment.no_color)) {
        return false;
    }
    if (non_empty(environment.clicolor_force)) {
        return true;
    }
    if (environment.clicolor == "0") {
        return false;
    }
    const bool capable_terminal = environment.term && *environment.term != "dumb";
    return stream_is_terminal &&
           (capable_terminal || environment.clicolor.has_value() || environment.ci.has_value());
}

}  // namespace ownership_mender

// Parsing of the command line: arguments are read left to right and the first fault found
// decides the refusal; missing arguments are reported only when nothing else was wrong.
#include <cstdint>
#include <limits>

#include "base/number_text.h"
#include "base/utf8.h"
#include "ownership_mender/command_line.h"

namespace ownership_mender {
namespace {

constexpr std::int64_t kLargestUid = std::numeric_limits<std::uint32_t>::max();
// (uid_t)-1: chown reads it as "leave the owner unchanged", so it can name no owner.
constexpr std::int64_t kReservedUid = kLargestUid;

// Reads a UID as a signed 64-bit decimal (optional "+" or "-") and checks its range and that
// it is not the reserved id. Returns the user id, or the reason for refusing it.
base::Result<std::uint32_t, std::string> parse_uid(std::string_view text) {
    if (text.empty()) {
        return std::string("cannot parse integer from empty string");
    }
    if (text == "+" || text == "-") {
        return std::string("invalid digit found in string");
    }
    const bool negative = text[0] == '-';
    const std::string_view digits = (text[0] == '+' || negative) ? text.substr(1) : text;
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::string("invalid digit found in string");
        }
        const int digit = c - '0';
        if (negative) {
            if (value < (std::numeric_limits<std::int64_t>::min() + digit) / 10) {
                return std::string("number too small to fit in target type");
            }
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
                return std::string("number too large to fit in target type");
            }
            value = value * 10 + digit;
        }
    }
    if (value < 0 || value > kLargestUid) {
        return base::decimal(value) + " is not in 0..=4294967295";
    }
    if (value == kReservedUid) {
        return base::decimal(value) +
               " is reserved: the system reads it as \"leave the owner unchanged\"";
    }
    return static_cast<std::uint32_t>(value);
}

Refusal refuse(RefusalKind kind, std::string subject = {}, std::string reason = {}) {
    Refusal refusal;
    refusal.kind = kind;
    refusal.subject = std::move(subject);
    refusal.reason = std::move(reason);
    return refusal;
}

// An argument that starts with "--" and is not "--" itself. The option as recognised is the
// part before any "="; a known option given a value is named whole, since "--help" alone
// would be valid.
ParseResult long_option(std::string_view argument) {
    const std::string_view body = argument.substr(2);
    const std::size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    if (equals == std::string_view::npos && name == "help") {
        return HelpRequest{};
    }
    const bool named_whole = name.empty() || name == "help";
    const std::string_view shown = named_whole ? argument : argument.substr(0, 2 + name.size());
    return refuse(RefusalKind::unexpected_option, base::to_utf8_lossy(shown));
}

// An argument of the form "-X...": short flags read one character at a time; "h" is help,
// any other character is refused as "-" and that character.
ParseResult short_options(std::string_view argument) {
    const std::string_view flags = argument.substr(1);
    const std::size_t length = base::valid_sequence_length(flags);
    if (length != 0 && flags.substr(0, length) == "h") {
        return HelpRequest{};
    }
    std::string shown = "-";
    shown += length == 0 ? base::to_utf8_lossy(flags) : std::string(flags.substr(0, length));
    return refuse(RefusalKind::unexpected_option, std::move(shown));
}

}  // namespace

ParseResult parse_arguments(std::span<const std::string_view> arguments) {
    Matches matches;
    bool options_ended = false;
    std::size_t positionals = 0;
    for (const std::string_view argument : arguments) {
        if (!options_ended && argument == "--") {
            options_ended = true;
            continue;
        }
        if (!options_ended && argument.size() > 1 && argument[0] == '-') {
            return argument[1] == '-' ? long_option(argument) : short_options(argument);
        }
        switch (positionals++) {
            case 0:
                if (!base::is_valid_utf8(argument)) {
                    return refuse(RefusalKind::invalid_utf8);
                }
                matches.path = std::string(argument);
                break;
            case 1: {
                if (!base::is_valid_utf8(argument)) {
                    return refuse(RefusalKind::invalid_utf8);
                }
                base::Result<std::uint32_t, std::string> uid = parse_uid(argument);
                if (!uid) {
                    return refuse(RefusalKind::invalid_uid, std::string(argument),
                                  std::move(uid).error());
                }
                matches.uid = uid.value();
                break;
            }
            default:
                return refuse(RefusalKind::unexpected_value, base::to_utf8_lossy(argument));
        }
    }
    if (!matches.path || !matches.uid) {
        Refusal refusal = refuse(RefusalKind::missing_arguments);
        refusal.path_missing = !matches.path;
        refusal.uid_missing = !matches.uid;
        return refusal;
    }
    return matches;
}

base::Result<Args, Refusal> take_args(Matches&& matches) {
    if (!matches.path) {
        return refuse(RefusalKind::missing_match, {}, "path");
    }
    if (!matches.uid) {
        return refuse(RefusalKind::missing_match, {}, "uid");
    }
    return Args{std::move(*matches.path), *matches.uid};
}

std::string program_name(const char* argument0) {
    constexpr std::string_view fallback = "ownership_mender";
    if (argument0 == nullptr) {
        return std::string(fallback);
    }
    // The last component that is neither empty nor ".", as a path's file name is taken.
    std::string_view rest = argument0;
    std::string_view last;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (!part.empty() && part != ".") {
            last = part;
        }
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    if (last.empty() || last == ".." || !base::is_valid_utf8(last)) {
        return std::string(fallback);
    }
    return std::string(last);
}

}  // namespace ownership_mender

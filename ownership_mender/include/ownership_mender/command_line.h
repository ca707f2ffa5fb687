// The program's command line: `ownership_mender <PATH> <UID>`, `-h`/`--help`, and the exact
// texts of help and of every refusal. Parsing is pure; printing is separate, so both can be
// tested and fuzzed without a process.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "base/result.h"

namespace ownership_mender {

// The parsed command line handed to the walk.
struct Args {
    std::string path;       // as typed, byte for byte (valid UTF-8)
    std::uint32_t uid = 0;  // the new owner
};

// Values the parser matched, by argument id. Both are required, so a successful parse has
// both; take_args still checks, as a second line of defence.
struct Matches {
    std::optional<std::string> path;
    std::optional<std::uint32_t> uid;
};

struct HelpRequest {};

enum class RefusalKind {
    missing_arguments,  // PATH and/or UID not given
    invalid_uid,        // UID is not a number in 0..=4294967294 (4294967295 is reserved)
    unexpected_option,  // looks like an option and is not -h/--help
    unexpected_value,   // a third positional value
    invalid_utf8,       // PATH or UID is not valid UTF-8
    missing_match,      // take_args found a required value absent
};

struct Refusal {
    RefusalKind kind = RefusalKind::missing_arguments;
    bool path_missing = false;
    bool uid_missing = false;
    std::string subject;  // the argument as shown in the message (lossy UTF-8)
    std::string reason;   // invalid_uid: why the value was refused; missing_match: the id
};

// What a command line asks for: a run with these values, help, or nothing but a refusal.
using ParseResult = std::variant<Matches, HelpRequest, Refusal>;

// Parses the arguments after argument 0. Arguments are byte strings.
ParseResult parse_arguments(std::span<const std::string_view> arguments);

// Moves the values out of a successful parse, or refuses when one is absent.
base::Result<Args, Refusal> take_args(Matches&& matches);

// The name shown in usage lines: the last component of argument 0 when that is valid UTF-8,
// else "ownership_mender". argument0 may be null (an empty argument vector).
std::string program_name(const char* argument0);

// The environment that decides whether texts are styled. A variable is present or not;
// present values may be empty and need not be UTF-8.
struct ColourEnvironment {
    std::optional<std::string_view> no_color;
    std::optional<std::string_view> clicolor_force;
    std::optional<std::string_view> clicolor;
    std::optional<std::string_view> term;
    std::optional<std::string_view> ci;

    static ColourEnvironment from_process();
};

bool styling_allowed(const ColourEnvironment& environment, bool stream_is_terminal);

std::string render_help(std::string_view program, bool styled);
std::string render_refusal(const Refusal& refusal, std::string_view program, bool styled);

// How the process ends when the command line asks for no walk.
enum class ExitStatus { help = 0, refused = 2 };

// The whole command-line step of the program: parses argv, prints help (standard output) or a
// refusal (standard error) ignoring write errors, and returns either the Args or the exit
// status the process must end with instead.
base::Result<Args, ExitStatus> parse_command_line(int argc, const char* const* argv);

}  // namespace ownership_mender

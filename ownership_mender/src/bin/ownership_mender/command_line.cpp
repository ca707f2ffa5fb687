// The command-line step of the program: parse, then print help or a refusal to the right
// stream, styled as the environment and the stream allow. Write errors are ignored: the exit
// status is what matters once the text cannot be delivered.
#include <unistd.h>

#include <vector>

#include "base/write_all.h"
#include "ownership_mender/command_line.h"

namespace ownership_mender {
namespace {

void write_ignoring_errors(int fd, std::string_view text) {
    static_cast<void>(base::write_all(fd, text));
}

ExitStatus refuse(const Refusal& refusal, std::string_view program) {
    const bool styled =
        styling_allowed(ColourEnvironment::from_process(), ::isatty(STDERR_FILENO) == 1);
    write_ignoring_errors(STDERR_FILENO, render_refusal(refusal, program, styled));
    return ExitStatus::refused;
}

}  // namespace

base::Result<Args, ExitStatus> parse_command_line(int argc, const char* const* argv) {
    const std::string program = program_name(argc > 0 ? argv[0] : nullptr);
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    ParseResult parsed = parse_arguments(arguments);
    if (std::holds_alternative<HelpRequest>(parsed)) {
        const bool styled =
            styling_allowed(ColourEnvironment::from_process(), ::isatty(STDOUT_FILENO) == 1);
        write_ignoring_errors(STDOUT_FILENO, render_help(program, styled));
        return ExitStatus::help;
    }
    if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
        return refuse(*refusal, program);
    }
    base::Result<Args, Refusal> taken = take_args(std::get<Matches>(std::move(parsed)));
    if (!taken) {
        return refuse(taken.error(), program);
    }
    return std::move(taken).value();
}

}  // namespace ownership_mender

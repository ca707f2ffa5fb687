// Fuzzes the command-line parser and its texts. The input is an argument vector with arguments
// separated by zero bytes (no argument can hold one). Every command line gets exactly one
// answer, and every text is valid UTF-8 in the fixed form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf8.h"
#include "ownership_mender/command_line.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string without_escapes(const std::string& text) {
    static const std::regex escape("\x1b\\[[0-9;]*m");
    return std::regex_replace(text, escape, "");
}

void check_refusal(const ownership_mender::Refusal& refusal) {
    const std::string plain = ownership_mender::render_refusal(refusal, "om", false);
    check(base::is_valid_utf8(plain));
    check(plain.starts_with("error: "));
    check(plain.ends_with("\n\nFor more information, try '--help'.\n"));
    // Styling only adds escape sequences; an argument that holds some of its own is shown as
    // typed, so the comparison is only exact for arguments without them.
    if (refusal.subject.find('\x1b') == std::string::npos) {
        check(without_escapes(ownership_mender::render_refusal(refusal, "om", true)) == plain);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> arguments;
    std::size_t start = 0;
    while (start <= input.size() && !input.empty()) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        arguments.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    auto parsed = ownership_mender::parse_arguments(arguments);
    if (auto* matches = std::get_if<ownership_mender::Matches>(&parsed)) {
        check(matches->path && matches->uid);
        check(base::is_valid_utf8(*matches->path));
        // The path is one of the arguments, byte for byte.
        bool found = false;
        for (const auto argument : arguments) {
            found = found || argument == *matches->path;
        }
        check(found);
        check(ownership_mender::take_args(std::move(*matches)).ok());
    } else if (auto* refusal = std::get_if<ownership_mender::Refusal>(&parsed)) {
        check_refusal(*refusal);
    } else {
        check(ownership_mender::render_help("om", false).starts_with("Usage: om <PATH> <UID>\n"));
    }
    const std::string name(input.substr(0, input.find('\0')));
    const std::string program = ownership_mender::program_name(name.c_str());
    check(!program.empty() && base::is_valid_utf8(program) &&
          program.find('/') == std::string::npos);
    return 0;
}

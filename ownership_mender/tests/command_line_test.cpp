// The command-line parser's decisions, the program name, the styling rules and the exact
// texts of help and refusals.
#include "ownership_mender/command_line.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

namespace {

using namespace std::string_view_literals;
using ownership_mender::HelpRequest;
using ownership_mender::Matches;
using ownership_mender::ParseResult;
using ownership_mender::Refusal;
using ownership_mender::RefusalKind;

ParseResult parse(std::vector<std::string_view> arguments) {
    return ownership_mender::parse_arguments(arguments);
}

struct AcceptCase {
    std::vector<std::string_view> arguments;
    std::string_view path;
    std::uint32_t uid;
};

TEST(ParseArguments, Accepts) {
    const AcceptCase cases[] = {
        {{"/data", "501"}, "/data", 501},
        {{"/data", "+501"}, "/data", 501},
        {{"/data", "0"}, "/data", 0},
        {{"/data", "4294967294"}, "/data", 4294967294u},
        {{"/data", "+0004294967294"}, "/data", 4294967294u},
        {{"", "7"}, "", 7},
        {{"-", "7"}, "-", 7},
        {{"--", "-x", "7"}, "-x", 7},
        {{"a", "--", "7"}, "a", 7},
        {{"a", "7", "--"}, "a", 7},
        {{"caf\xC3\xA9", "7"}, "caf\xC3\xA9", 7},
    };
    for (const auto& c : cases) {
        const ParseResult result = parse(c.arguments);
        ASSERT_TRUE(std::holds_alternative<Matches>(result)) << c.arguments[0];
        const auto& matches = std::get<Matches>(result);
        EXPECT_EQ(matches.path, std::string(c.path));
        EXPECT_EQ(matches.uid, c.uid);
    }
}

TEST(ParseArguments, HelpWinsOnlyWhereItIsReached) {
    for (const auto& arguments :
         std::vector<std::vector<std::string_view>>{{"-h"},
                                                    {"--help"},
                                                    {"a", "--help"},
                                                    {"a", "5", "-h"},
                                                    {"-hx"},
                                                    {"--help", "x", "y", "z"},
                                                    {"-h", "\xFF"}}) {
        EXPECT_TRUE(std::holds_alternative<HelpRequest>(parse(arguments))) << arguments[0];
    }
}

struct RefuseCase {
    std::vector<std::string_view> arguments;
    RefusalKind kind;
    std::string_view subject;
    std::string_view reason;
};

TEST(ParseArguments, Refuses) {
    const RefuseCase cases[] = {
        {{"/data", "abc"}, RefusalKind::invalid_uid, "abc", "invalid digit found in string"},
        {{"/data", ""}, RefusalKind::invalid_uid, "", "cannot parse integer from empty string"},
        {{"/data", "+"}, RefusalKind::invalid_uid, "+", "invalid digit found in string"},
        {{"/data", "+-5"}, RefusalKind::invalid_uid, "+-5", "invalid digit found in string"},
        {{"/data", " 5"}, RefusalKind::invalid_uid, " 5", "invalid digit found in string"},
        {{"/data", "0x10"}, RefusalKind::invalid_uid, "0x10", "invalid digit found in string"},
        // The system reads (uid_t)-1 as "leave the owner unchanged".
        {{"/data", "4294967295"},
         RefusalKind::invalid_uid,
         "4294967295",
         "4294967295 is reserved: the system reads it as \"leave the owner unchanged\""},
        {{"/data", "+0004294967295"},
         RefusalKind::invalid_uid,
         "+0004294967295",
         "4294967295 is reserved: the system reads it as \"leave the owner unchanged\""},
        {{"/data", "4294967296"},
         RefusalKind::invalid_uid,
         "4294967296",
         "4294967296 is not in 0..=4294967295"},
        {{"/data", "+004294967296"},
         RefusalKind::invalid_uid,
         "+004294967296",
         "4294967296 is not in 0..=4294967295"},
        {{"/data", "9223372036854775807"},
         RefusalKind::invalid_uid,
         "9223372036854775807",
         "9223372036854775807 is not in 0..=4294967295"},
        {{"/data", "9223372036854775808"},
         RefusalKind::invalid_uid,
         "9223372036854775808",
         "number too large to fit in target type"},
        // Overflow is found at the digit where it happens, before a later bad digit.
        {{"/data", "99999999999999999999x"},
         RefusalKind::invalid_uid,
         "99999999999999999999x",
         "number too large to fit in target type"},
        {{"/data", "9x9999999999999999999"},
         RefusalKind::invalid_uid,
         "9x9999999999999999999",
         "invalid digit found in string"},
        {{"--", "/data", "-1"}, RefusalKind::invalid_uid, "-1", "-1 is not in 0..=4294967295"},
        {{"--", "/data", "-9223372036854775808"},
         RefusalKind::invalid_uid,
         "-9223372036854775808",
         "-9223372036854775808 is not in 0..=4294967295"},
        {{"--", "/data", "-9223372036854775809"},
         RefusalKind::invalid_uid,
         "-9223372036854775809",
         "number too small to fit in target type"},
        {{"--", "/data", "-"}, RefusalKind::invalid_uid, "-", "invalid digit found in string"},
        {{"/data", "-1"}, RefusalKind::unexpected_option, "-1", ""},
        {{"/data", "-0"}, RefusalKind::unexpected_option, "-0", ""},
        {{"--version"}, RefusalKind::unexpected_option, "--version", ""},
        {{"-V"}, RefusalKind::unexpected_option, "-V", ""},
        {{"-xh"}, RefusalKind::unexpected_option, "-x", ""},
        {{"-\xC3\xA9x"}, RefusalKind::unexpected_option, "-\xC3\xA9", ""},
        {{"-\xFF"
          "a"},
         RefusalKind::unexpected_option,
         "-\xEF\xBF\xBD"
         "a",
         ""},
        {{"--force=yes"}, RefusalKind::unexpected_option, "--force", ""},
        {{"--\xFF"}, RefusalKind::unexpected_option, "--\xEF\xBF\xBD", ""},
        {{"--help=yes"}, RefusalKind::unexpected_option, "--help=yes", ""},
        {{"--=x"}, RefusalKind::unexpected_option, "--=x", ""},
        {{"--hel"}, RefusalKind::unexpected_option, "--hel", ""},
        {{"-data", "5"}, RefusalKind::unexpected_option, "-d", ""},
        {{"a", "5", "c"}, RefusalKind::unexpected_value, "c", ""},
        {{"a", "5", "--", "--"}, RefusalKind::unexpected_value, "--", ""},
        {{"a", "5", "\xFF"}, RefusalKind::unexpected_value, "\xEF\xBF\xBD", ""},
        {{"a", "5", "c", "--help"}, RefusalKind::unexpected_value, "c", ""},
        {{"\xFF", "5"}, RefusalKind::invalid_utf8, "", ""},
        {{"a", "5\xFF"}, RefusalKind::invalid_utf8, "", ""},
        // The first fault decides, from left to right.
        {{"a", "abc", "--force"}, RefusalKind::invalid_uid, "abc", "invalid digit found in string"},
        {{"--force", "a", "abc"}, RefusalKind::unexpected_option, "--force", ""},
        {{"\xFF", "--force"}, RefusalKind::invalid_utf8, "", ""},
    };
    for (const auto& c : cases) {
        const ParseResult result = parse(c.arguments);
        ASSERT_TRUE(std::holds_alternative<Refusal>(result)) << c.arguments[0];
        const auto& refusal = std::get<Refusal>(result);
        EXPECT_EQ(refusal.kind, c.kind) << c.arguments.back();
        EXPECT_EQ(refusal.subject, c.subject) << c.arguments.back();
        EXPECT_EQ(refusal.reason, c.reason) << c.arguments.back();
    }
}

TEST(ParseArguments, MissingArgumentsOnlyWhenNothingElseIsWrong) {
    const auto none = std::get<Refusal>(parse({}));
    EXPECT_EQ(none.kind, RefusalKind::missing_arguments);
    EXPECT_TRUE(none.path_missing && none.uid_missing);
    const auto only_path = std::get<Refusal>(parse({"/data"}));
    EXPECT_FALSE(only_path.path_missing);
    EXPECT_TRUE(only_path.uid_missing);
    const auto after_dashes = std::get<Refusal>(parse({"--"}));
    EXPECT_TRUE(after_dashes.path_missing && after_dashes.uid_missing);
}

TEST(TakeArgs, RefusesAbsentValuesInOrder) {
    auto args = ownership_mender::take_args(Matches{"/data", 501});
    ASSERT_TRUE(args.ok());
    EXPECT_EQ(args.value().path, "/data");
    EXPECT_EQ(args.value().uid, 501u);

    const Refusal no_path = ownership_mender::take_args(Matches{}).error();
    EXPECT_EQ(ownership_mender::render_refusal(no_path, "om", false),
              "error: The following required argument was not provided: path\n\n"
              "Usage: ownership_mender <PATH> <UID>\n\n"
              "For more information, try '--help'.\n");
    const Refusal no_uid = ownership_mender::take_args(Matches{"/data", std::nullopt}).error();
    EXPECT_EQ(no_uid.reason, "uid");
}

TEST(ProgramName, LastValidComponentOfArgumentZero) {
    const std::pair<const char*, std::string_view> cases[] = {
        {"ownership_mender", "ownership_mender"},
        {"/usr/local/bin/om", "om"},
        {"./bin/om/", "om"},
        {"bin/om/.", "om"},
        {"om", "om"},
        {"", "ownership_mender"},
        {"/", "ownership_mender"},
        {".", "ownership_mender"},
        {"bin/..", "ownership_mender"},
        {"/bin/\xFF", "ownership_mender"},
        {"/bin/caf\xC3\xA9", "caf\xC3\xA9"},
        {nullptr, "ownership_mender"},
    };
    for (const auto& [argument0, name] : cases) {
        EXPECT_EQ(ownership_mender::program_name(argument0), name)
            << (argument0 == nullptr ? "(null)" : argument0);
    }
}

TEST(Styling, DecidedInOrder) {
    using ownership_mender::ColourEnvironment;
    struct Case {
        ColourEnvironment environment;
        bool terminal;
        bool styled;
    };
    const std::optional<std::string_view> unset;
    const Case cases[] = {
        {{}, false, false},
        {{}, true, false},
        {{unset, unset, unset, "xterm", unset}, true, true},
        {{unset, unset, unset, "xterm", unset}, false, false},
        {{unset, unset, unset, "dumb", unset}, true, false},
        {{unset, unset, "1", unset, unset}, true, true},
        {{unset, unset, "", unset, unset}, true, true},
        {{unset, unset, unset, unset, ""}, true, true},
        {{unset, unset, "0", "xterm", ""}, true, false},
        {{unset, "1", unset, unset, unset}, false, true},
        {{unset, "1", "0", unset, unset}, false, true},
        {{unset, "", unset, unset, unset}, false, false},
        {{"1", "1", unset, "xterm", unset}, true, false},
        {{"", "1", unset, unset, unset}, false, true},
        {{"", unset, unset, "xterm", unset}, true, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(ownership_mender::styling_allowed(cases[i].environment, cases[i].terminal),
                  cases[i].styled)
            << "case " << i;
    }
}

std::string without_escapes(const std::string& text) {
    return std::regex_replace(text, std::regex("\x1b\\[[0-9;]*m"), "");
}

TEST(Texts, StylingChangesNothingButEscapes) {
    const Refusal refusals[] = {
        std::get<Refusal>(parse({})),       std::get<Refusal>(parse({"a", "x"})),
        std::get<Refusal>(parse({"-1"})),   std::get<Refusal>(parse({"a", "5", "c"})),
        std::get<Refusal>(parse({"\xFF"})),
    };
    for (const auto& refusal : refusals) {
        const std::string styled = ownership_mender::render_refusal(refusal, "om", true);
        EXPECT_NE(styled.find("\x1b["), std::string::npos);
        EXPECT_EQ(without_escapes(styled), ownership_mender::render_refusal(refusal, "om", false));
    }
    const std::string help = ownership_mender::render_help("om", true);
    EXPECT_NE(help.find("\x1b["), std::string::npos);
    EXPECT_EQ(without_escapes(help), ownership_mender::render_help("om", false));
}

}  // namespace

// Process preparation end to end: the program run against variants of the system library that
// lack entry points or refuse the I/O policy, put in place with LD_LIBRARY_PATH.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "ownership_mender/process_preparation.h"
#include "program_under_test.h"
#include "test_support/child_process.h"

namespace {

using test_support::ChildResult;
using test_support::ProgramRun;

using program_under_test::kHelp;

ChildResult run_with(const std::string& variant, const std::vector<std::string>& arguments,
                     std::vector<std::string> env = {}) {
    ProgramRun run = program_under_test::program(arguments, std::move(env));
    run.env.push_back("TZ=UTC");
    if (!variant.empty()) {
        run.env.push_back("LD_LIBRARY_PATH=" + std::string(STANDIN_VARIANTS) + "/" + variant);
    }
    return program_under_test::run(run);
}

// One logged event as the program writes it, with the time and the line number left open.
std::string event_line(const std::string& event, const std::string& pairs) {
    return "[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ERRO main          "
           "\\[platform/src/platform_macos/syscalls\\.cpp:([0-9]+)\\] event: " +
           event + ", " + pairs + "\n";
}

std::string symbol_error(const std::string& symbol, const std::string& error) {
    return event_line("load_syscall_symbol_error", "symbol: \"" + symbol + "\", error: \"" + error +
                                                       ": undefined symbol: " + symbol + "\"");
}

std::string fatal_report(const ChildResult& result, const std::string& file,
                         const std::string& message) {
    return "\nthread 'main' \\(" + std::to_string(result.pid) + "\\) panicked at " + file +
           ":[0-9]+:[0-9]+:\n" + message +
           "\nnote: run with `OWNERSHIP_MENDER_BACKTRACE=1` environment variable to display a "
           "backtrace\n";
}

// Line numbers of the events in text, in order.
std::vector<int> event_lines(const std::string& text) {
    std::vector<int> lines;
    const std::regex location("syscalls\\.cpp:([0-9]+)\\]");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), location);
         it != std::sregex_iterator(); ++it) {
        lines.push_back(std::stoi((*it)[1]));
    }
    return lines;
}

const std::string kVariants = STANDIN_VARIANTS;

TEST(Preparation, MissingOptionalEntryPointsAreLoggedInOrder) {
    // The table resolves from the default namespace, whose errors name the program.
    const std::string events = symbol_error("renameatx_np", "ownership_mender") +
                               symbol_error("acl_free", "ownership_mender") +
                               symbol_error("mbr_gid_to_uuid", "ownership_mender") +
                               symbol_error("getiopolicy_np", "ownership_mender");
    const ChildResult help = run_with("missing_optional", {"--help"});
    ASSERT_TRUE(help.out.ends_with(kHelp)) << help.out;
    const std::string logged = help.out.substr(0, help.out.size() - kHelp.size());
    EXPECT_TRUE(std::regex_match(logged, std::regex(events))) << logged;
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.exit_status, 0);
    const std::vector<int> lines = event_lines(help.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()) &&
                std::adjacent_find(lines.begin(), lines.end()) == lines.end())
        << "each event names its own statement";

    // The same lines go to standard error on request, and none below ERROR's level.
    const ChildResult to_stderr =
        run_with("missing_optional", {"--help"}, {"RUST_LOG_EVENTS_TO_STDERR="});
    EXPECT_EQ(to_stderr.out, kHelp);
    EXPECT_TRUE(std::regex_match(to_stderr.err, std::regex(events))) << to_stderr.err;
    const ChildResult quiet = run_with("missing_optional", {"--help"}, {"RUST_LOG=crit"});
    EXPECT_EQ(quiet.out, kHelp);
    EXPECT_EQ(quiet.err, "");

    // A walk after logged events still ends with status 0; a refusal still with 2.
    const ChildResult walk = run_with("missing_optional", {"/nonexistent/ownership_mender", "0"});
    EXPECT_EQ(walk.exit_status, 0);
    EXPECT_EQ(event_lines(walk.out).size(), 4u);
    const ChildResult refused = run_with("missing_optional", {"-x"});
    EXPECT_EQ(refused.exit_status, 2);
    EXPECT_EQ(event_lines(refused.out).size(), 4u);
}

TEST(Preparation, MissingGetattrlistatIsFatalAfterTheRetry) {
    const std::string library = kVariants + "/missing_getattrlistat/libownership_mender_system.so";
    const ChildResult result = run_with("missing_getattrlistat", {"--help"});
    const std::string expected =
        event_line("load_syscall_find_default_broken",
                   "error: \"ownership_mender: undefined symbol: getattrlistat\"") +
        symbol_error("getattrlistbulk", library) + symbol_error("getattrlistat", library);
    EXPECT_TRUE(std::regex_match(result.out, std::regex(expected))) << result.out;
    EXPECT_TRUE(std::regex_match(
        result.err, std::regex(fatal_report(result, "platform/src/platform_macos/syscalls\\.cpp",
                                            "unsupported platform without getattrlistat\\(2\\)"))))
        << result.err;
    EXPECT_EQ(result.exit_status, 101);
}

TEST(Preparation, PolicyFailuresStopEveryInvocation) {
    struct Case {
        std::string variant;
        std::vector<std::string> arguments;
        std::string message;
        std::size_t events;
    };
    const Case cases[] = {
        {"missing_setiopolicy", {"--help"}, "Unsupported syscalls without setiopolicy_np", 1},
        {"missing_setiopolicy", {}, "Unsupported syscalls without setiopolicy_np", 1},
        {"missing_setiopolicy",
         {"/nonexistent", "0"},
         "Unsupported syscalls without setiopolicy_np",
         1},
        {"policy_fails", {"--help"}, "could not set process policy", 0},
        {"policy_fails", {"-x"}, "could not set process policy", 0},
    };
    for (const auto& c : cases) {
        const ChildResult result = run_with(c.variant, c.arguments);
        EXPECT_EQ(result.exit_status, 101) << c.variant;
        EXPECT_TRUE(std::regex_match(
            result.err,
            std::regex(fatal_report(
                result, "ownership_mender/src/bin/ownership_mender/process_preparation\\.cpp",
                c.message))))
            << result.err;
        EXPECT_EQ(event_lines(result.out).size(), c.events) << result.out;
        if (c.events == 1) {
            EXPECT_TRUE(std::regex_match(
                result.out, std::regex(symbol_error("setiopolicy_np", "ownership_mender"))))
                << result.out;
        }
    }
}

// The stand-in keeps the dataless-files policy that it was given per process and per thread,
// and refuses any other type. The program must ask for type 3
// (IOPOL_TYPE_VFS_MATERIALIZE_DATALESS_FILES), scope 0 (IOPOL_SCOPE_PROCESS) and value 1
// (IOPOL_MATERIALIZE_DATALESS_FILES_OFF): the opposite value, 2, would fetch every file of a
// file provider that the walk reaches, and the thread's scope would leave other threads free to.
TEST(Preparation, AsksNeverToFetchDatalessFilesForTheWholeProcess) {
    const ChildResult result = test_support::run_function([] {
        void* standin = ::dlopen(SYSTEM_STANDIN, RTLD_NOW | RTLD_GLOBAL);
        using GetPolicy = int (*)(int, int);
        const auto get = reinterpret_cast<GetPolicy>(::dlsym(standin, "getiopolicy_np"));
        if (get == nullptr) {
            ::_exit(3);
        }
        const std::string before = std::to_string(get(3, 0));
        ownership_mender::prepare_process();
        test_support::tell_parent(before + " " + std::to_string(get(3, 0)) + " " +
                                  std::to_string(get(3, 1)));
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "0 1 1") << "process before, process after, this thread after";
}

}  // namespace

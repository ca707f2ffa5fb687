// Routing of records and events: the default logger built from the environment on the first
// record, stream and level choice, the fatal paths, per-thread loggers, and level queries.
// Each case that touches the default logger runs in its own child process.
#include "events/logging.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_identity.h"
#include "events_test/memory_stream.h"
#include "inheritable_thread_local/testing.h"
#include "test_support/child_process.h"
#include "text_drain.h"

namespace {

using events::Level;
using test_support::ChildResult;

const events::CallSite kErrorSite{"platform/src/platform_macos/syscalls.cpp",
                                  248,
                                  9,
                                  "platform::platform_macos::syscalls",
                                  "",
                                  "",
                                  Level::error};

void log_error(std::string_view message = "event: load_syscall_symbol_error") {
    const std::vector<events::KeyValue> pairs = {{"symbol", std::string_view("\"renameatx_np\"")},
                                                 {"error", std::string_view("null")}};
    events::log_record(events::LogRecord(kErrorSite, message, pairs));
}

const std::string kErrorLine =
    "ERRO main          [platform/src/platform_macos/syscalls.cpp:248] "
    "event: load_syscall_symbol_error, symbol: \"renameatx_np\", error: null\n";

// Runs body in a child process whose logging variables are unset; `variables` are set first
// (name, value) when given.
ChildResult in_child(const std::function<void()>& body,
                     std::vector<std::pair<const char*, std::string>> variables = {}) {
    return test_support::run_function([&] {
        ::unsetenv("RUST_LOG");
        ::unsetenv("RUST_LOG_EVENTS_TO_STDERR");
        for (const auto& [name, value] : variables) {
            ::setenv(name, value.c_str(), 1);
        }
        body();
    });
}

// The text with the leading "HH:MM:SS.mmm " of every line removed; a line without one is
// kept whole so that the comparison shows it.
std::string without_times(const std::string& text) {
    static const std::regex time("^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} ");
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, end - start);
        std::smatch match;
        if (std::regex_search(line, match, time)) {
            line.erase(0, static_cast<std::size_t>(match.length()));
        }
        out += line;
        start = end;
    }
    return out;
}

std::string fatal_message(const ChildResult& result) {
    const std::size_t start = result.err.find(":\n");
    const std::size_t end = result.err.find("\nnote:");
    if (start == std::string::npos || end == std::string::npos) {
        return result.err;
    }
    return result.err.substr(start + 2, end - start - 2);
}

TEST(DefaultLogger, WritesToStandardOutputByDefault) {
    const ChildResult result = in_child([] { log_error(); });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(without_times(result.out), kErrorLine);
    EXPECT_EQ(result.err, "");
}

TEST(DefaultLogger, EventsToStderrTakesAnyUtf8Value) {
    const std::pair<std::string, bool> cases[] = {
        {"", true}, {"0", true}, {"yes", true}, {"\xFF", false}};
    for (const auto& [value, to_stderr] : cases) {
        const ChildResult result =
            in_child([] { log_error(); }, {{"RUST_LOG_EVENTS_TO_STDERR", value}});
        EXPECT_EQ(without_times(to_stderr ? result.err : result.out), kErrorLine) << value;
        EXPECT_EQ(to_stderr ? result.out : result.err, "") << value;
    }
}

TEST(DefaultLogger, RustLogChoosesWhatIsWritten) {
    struct Case {
        std::string rust_log;
        Level record;
        bool written;
    };
    const Case cases[] = {
        {"critical", Level::error, false}, {"CRITICAL", Level::error, false},
        {"CRIT", Level::error, false},     {"C", Level::error, false},
        {"error", Level::error, true},     {"E", Level::error, true},
        {"WARNING", Level::error, true},   {"info", Level::error, true},
        {"debug", Level::error, true},     {"trace", Level::error, true},
        {"off", Level::error, true},       {"O", Level::error, true},
        {"", Level::error, true},          {"verbose", Level::error, true},
        {"\xFF", Level::error, true},      {"info", Level::debug, false},
        {"debug,foo", Level::debug, true}, {"debug", Level::trace, false},
        {"off", Level::trace, true},       {"critical", Level::critical, true},
    };
    for (const Case& c : cases) {
        const ChildResult result = in_child(
            [&] {
                events::CallSite site = kErrorSite;
                site.level = c.record;
                events::log_record(events::LogRecord(site, "m"));
            },
            {{"RUST_LOG", c.rust_log}});
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out.empty(), !c.written) << "RUST_LOG=" << c.rust_log;
        EXPECT_EQ(result.err, "");
    }
}

TEST(DefaultLogger, EnvironmentIsReadAtTheFirstRecordAndNeverAgain) {
    // Set after the process started but before the first record: it counts.
    ChildResult result = in_child([] {
        ::setenv("RUST_LOG", "critical", 1);
        log_error();
        ::setenv("RUST_LOG", "trace", 1);
        ::setenv("RUST_LOG_EVENTS_TO_STDERR", "1", 1);
        log_error();
    });
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    // Changed after the first record: nothing changes.
    result = in_child([] {
        log_error("first");
        ::setenv("RUST_LOG", "critical", 1);
        ::setenv("RUST_LOG_EVENTS_TO_STDERR", "1", 1);
        log_error("second");
    });
    EXPECT_EQ(result.err, "");
    const std::string rest = ", symbol: \"renameatx_np\", error: null\n";
    const std::string head = "ERRO main          [platform/src/platform_macos/syscalls.cpp:248] ";
    EXPECT_EQ(without_times(result.out), head + "first" + rest + head + "second" + rest);
}

TEST(DefaultLoggerFatal, AClosedPipeOnStandardOutputStopsTheProcess) {
    const ChildResult result = in_child([] {
        static_cast<void>(::signal(SIGPIPE, SIG_IGN));
        int fds[2];
        if (::pipe(fds) != 0) {
            ::_exit(3);
        }
        ::close(fds[0]);
        ::dup2(fds[1], STDOUT_FILENO);
        log_error();
        test_support::tell_parent("still running\n");
    });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_EQ(fatal_message(result),
              "slog::Fuse Drain: Os { code: 32, kind: BrokenPipe, message: \"Broken pipe\" }");
    EXPECT_NE(result.err.find(" panicked at events/src/logging/text_drain.cpp:"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("still running"), std::string::npos);
}

TEST(DefaultLoggerFatal, ARecordAfterThePoisoningOfTheMutexStopsTheProcess) {
    const ChildResult result = in_child([] {
        const events::FormatFunction throwing = [](std::string&) -> bool {
            throw std::runtime_error("formatter gave up");
        };
        const std::vector<events::KeyValue> pairs = {{"k", events::Formatted{&throwing}}};
        try {
            events::log_record(events::LogRecord(kErrorSite, "first", pairs));
        } catch (const std::runtime_error&) {
            test_support::tell_parent("caught\n");
        }
        log_error("second");
        test_support::tell_parent("still running\n");
    });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_EQ(result.err.substr(0, 7), "caught\n");
    EXPECT_EQ(fatal_message(result), "slog::Fuse Drain: MutexDrainError::Mutex");
    EXPECT_EQ(result.err.find("still running"), std::string::npos);
}

TEST(DefaultLogger, LinesFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kLines = 100;
    const ChildResult result = in_child(
        [] {
            std::atomic<int> ready{0};
            std::vector<std::thread> threads;
            threads.reserve(kThreads);
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&ready, t] {
                    base::set_current_thread_name("worker-" + std::to_string(t));
                    ++ready;
                    while (ready.load() < kThreads) {
                    }
                    // The first records of all threads race to build the default logger.
                    for (int i = 0; i < kLines; ++i) {
                        log_error("event: from thread " + std::to_string(t));
                    }
                });
            }
            for (std::thread& thread : threads) {
                thread.join();
            }
        },
        {{"RUST_LOG_EVENTS_TO_STDERR", "1"}});
    EXPECT_EQ(result.exit_status, 0);
    const std::regex line(
        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} ERRO (worker-[0-3])      "
        "\\[platform/src/platform_macos/syscalls\\.cpp:248\\] event: from thread ([0-3]), "
        "symbol: \"renameatx_np\", error: null\n");
    int lines = 0;
    std::size_t matched_bytes = 0;
    for (std::sregex_iterator it(result.err.begin(), result.err.end(), line), end; it != end;
         ++it) {
        EXPECT_EQ((*it)[1].str(), "worker-" + (*it)[2].str());
        ++lines;
        matched_bytes += static_cast<std::size_t>((*it).length());
    }
    EXPECT_EQ(lines, kThreads * kLines);
    EXPECT_EQ(matched_bytes, result.err.size()) << "stray bytes between whole lines";
}

TEST(Slots, OnlyThreadsThatLogRegisterCleanUps) {
    const ChildResult result = in_child([] {
        std::string counts;
        auto on_thread = [&counts](const std::function<void()>& work) {
            std::thread worker([&] {
                work();
                counts +=
                    std::to_string(inheritable_thread_local::cleanups_registered_on_this_thread());
            });
            worker.join();
        };
        // Without an event logger the event is never made.
        const auto make_event = [&counts] {
            counts += " made";
            return events::PlatformEvent{};
        };
        on_thread([] {});
        on_thread([] { log_error(); });
        on_thread([&] { events::dispatch_event(make_event); });
        on_thread([&] {
            log_error();
            events::dispatch_event(make_event);
        });
        test_support::tell_parent(counts);
    });
    EXPECT_EQ(result.err, "0112");
}

// Remembers the events it receives.
struct RecordingEventLogger final : events::EventLogger {
    std::vector<events::PlatformEvent> received;
    void log_event(events::PlatformEvent event) override { received.push_back(std::move(event)); }
};

TEST(Slots, ThreadLoggersTakeRecordsAndEvents) {
    const ChildResult result = in_child([] {
        events_test::use_time_zone("UTC");
        auto memory = std::make_shared<events_test::MemoryLog>();
        auto values = std::make_shared<events::OwnedKeyValues>();
        values->add_text("logger", "own");
        inheritable_thread_local::replace(
            events::LOGGER,
            std::optional<events::TextLogger>(events::TextLogger(
                events::make_text_drain(Level::trace,
                                        std::make_unique<events_test::MemoryStream>(memory),
                                        events_test::fixed_clock(events_test::utc_time(8, 5, 3))),
                values)));
        auto recorder = std::make_shared<RecordingEventLogger>();
        inheritable_thread_local::replace(
            events::EVENT_LOGGER, std::optional<std::shared_ptr<events::EventLogger>>(recorder));

        log_error();
        events::dispatch_event([] {
            events::PlatformEvent event;
            event.name = "load_syscall_symbol_error";
            event.fields = {{"symbol", "\"renameatx_np\""}, {"error", "null"}};
            return event;
        });

        std::string report = memory->written;
        for (const events::PlatformEvent& got : recorder->received) {
            report += got.name + ":" + got.fields.at(0).second + "," + got.fields.at(1).second;
        }
        test_support::tell_parent(report);
    });
    EXPECT_EQ(result.out, "") << "the default logger must not be used";
    EXPECT_EQ(result.err,
              "08:05:03.000 ERRO main          [platform/src/platform_macos/syscalls.cpp:248] "
              "event: load_syscall_symbol_error, logger: own, symbol: \"renameatx_np\", "
              "error: null\n"
              "load_syscall_symbol_error:\"renameatx_np\",null");
}

// A drain that notes, when it is destroyed, whether the logger's pairs still exist.
struct WatchingDrain final : events::FlushDrain {
    std::weak_ptr<const events::KeyValueSource> values;
    bool* values_alive_at_release;
    explicit WatchingDrain(bool* flag) : values_alive_at_release(flag) {}
    ~WatchingDrain() override { *values_alive_at_release = !values.expired(); }
    void log(const events::LogRecord&, const events::KeyValueSource&) override {}
    bool is_enabled(Level) const override { return false; }
    std::vector<std::string> held_lines() const override { return {}; }
    void flush() override {}
    base::Result<bool, events::LineNotWritten> try_log(const events::LogRecord&,
                                                       const events::KeyValueSource&) override {
        return false;
    }
};

TEST(Slots, ThreadExitReleasesTheDrainBeforeThePairs) {
    bool values_alive = false;
    std::weak_ptr<events::FlushDrain> drain_watch;
    std::thread worker([&] {
        auto drain = std::make_shared<WatchingDrain>(&values_alive);
        auto values = std::make_shared<const events::OwnedKeyValues>();
        drain->values = values;
        drain_watch = drain;
        inheritable_thread_local::replace(
            events::LOGGER, std::optional<events::TextLogger>(
                                events::TextLogger(std::move(drain), std::move(values))));
    });
    worker.join();
    EXPECT_TRUE(drain_watch.expired());
    EXPECT_TRUE(values_alive);
}

TEST(TextDrain, LevelQueriesStopAtDebugAndAnswerTrueWhenPoisoned) {
    struct Case {
        Level configured;
        std::vector<bool> answers;  // critical, error, warn, info, debug, trace
    };
    const Case cases[] = {
        {Level::trace, {true, true, true, true, true, false}},
        {Level::debug, {true, true, true, true, true, false}},
        {Level::info, {true, true, true, true, false, false}},
        {Level::error, {true, true, false, false, false, false}},
        {Level::critical, {true, false, false, false, false, false}},
    };
    auto answers_of = [](const events::FlushDrain& drain) {
        return std::vector<bool>{drain.is_critical_enabled(), drain.is_error_enabled(),
                                 drain.is_warn_enabled(),     drain.is_info_enabled(),
                                 drain.is_debug_enabled(),    drain.is_trace_enabled()};
    };
    for (const Case& c : cases) {
        auto memory = std::make_shared<events_test::MemoryLog>();
        const auto drain = events::make_text_drain(
            c.configured, std::make_unique<events_test::MemoryStream>(memory));
        EXPECT_EQ(answers_of(*drain), c.answers) << events::level_number(c.configured);
        EXPECT_TRUE(drain->held_lines().empty());
        drain->flush();

        const events::FormatFunction throwing = [](std::string&) -> bool {
            throw std::runtime_error("no");
        };
        const std::vector<events::KeyValue> pairs = {{"k", events::Formatted{&throwing}}};
        events::CallSite site = kErrorSite;
        site.level = Level::critical;
        EXPECT_THROW(drain->log(events::LogRecord(site, "m", pairs), events::OwnedKeyValues{}),
                     std::runtime_error);
        EXPECT_EQ(answers_of(*drain), std::vector<bool>(6, true));
    }
}

}  // namespace

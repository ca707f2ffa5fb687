// Exact bytes of rendered lines: layout, pairs and their order, thread column, level words,
// and how stream and formatting failures end a line.
#include "line_format.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_identity.h"
#include "events/log_record.h"
#include "events_test/memory_stream.h"

namespace {

using events::KeyValue;
using events::Level;
using events::LogRecord;
using events_test::MemoryLog;

constexpr std::string_view kSyscallsFile = "platform/src/platform_macos/syscalls.cpp";

events::CallSite site(std::uint32_t line, Level level = Level::error,
                      std::string_view file = kSyscallsFile) {
    return events::CallSite{file, line, 5, "platform::platform_macos::syscalls", "", "", level};
}

class LineFormatTest : public ::testing::Test {
  protected:
    void SetUp() override { events_test::use_time_zone("UTC"); }

    // Renders one record at 12:00:00.000 and returns the flushed bytes.
    std::string render(const LogRecord& record, const events::KeyValueSource& logger_values,
                       events::LineOptions options = {}) {
        log = std::make_shared<MemoryLog>();
        events::LineFormat format(events_test::fixed_clock(events_test::utc_time(12, 0, 0)),
                                  std::make_unique<events_test::MemoryStream>(log), options);
        const base::Result<void, events::IoError> status = format.log(record, logger_values);
        EXPECT_TRUE(status.ok()) << status.error().debug_form();
        EXPECT_EQ(log->flushed_text(), log->written) << "the line must be flushed";
        return log->written;
    }
    std::string render(const LogRecord& record) { return render(record, no_pairs); }

    const events::OwnedKeyValues no_pairs{};
    std::shared_ptr<MemoryLog> log;
};

struct LayoutCase {
    std::string message;
    std::vector<KeyValue> pairs;
    std::string expected;
};

TEST_F(LineFormatTest, Layout) {
    const std::string header = "12:00:00.000 ERRO main          [" + std::string(kSyscallsFile);
    const LayoutCase cases[] = {
        {"event: load_syscall_symbol_error",
         {{"symbol", std::string_view("\"renameatx_np\"")}, {"error", std::string_view("null")}},
         header +
             ":248] event: load_syscall_symbol_error, symbol: \"renameatx_np\", error: null\n"},
        // Empty message: no ", " before the first pair.
        {"", {{"key", std::string_view("value")}}, header + ":248] key: value\n"},
        {"",
         {{"a", std::string_view("1")}, {"b", std::string_view("2")}},
         header + ":248] a: 1, b: 2\n"},
        // No pairs: the line ends right after the message, or after "] " when it is empty.
        {"hello", {}, header + ":248] hello\n"},
        {"", {}, header + ":248] \n"},
        // Line breaks pass unchanged.
        {"two\nlines",
         {{"k\n", std::string_view("v\nw")}},
         header + ":248] two\nlines, k\n: v\nw\n"},
    };
    for (const LayoutCase& c : cases) {
        EXPECT_EQ(render(LogRecord(site(248), c.message, c.pairs)), c.expected);
    }
}

TEST_F(LineFormatTest, PairsInCallOrderAfterTheLoggersOwn) {
    events::OwnedKeyValues logger_values;
    logger_values.add_text("service", "walker");
    logger_values.add("attempt", std::uint32_t{2});
    const std::vector<KeyValue> pairs = {
        {"first", std::string_view("1")}, {"second", std::int64_t{-2}}, {"third", true}};
    const LogRecord record(site(9), "m", pairs);
    const std::string prefix = "12:00:00.000 ERRO main          [" + std::string(kSyscallsFile);
    EXPECT_EQ(render(record, logger_values),
              prefix + ":9] m, service: walker, attempt: 2, first: 1, second: -2, third: true\n");
    // Without call order the pairs are printed as supplied: the record's last first, then the
    // logger's last first.
    EXPECT_EQ(render(record, logger_values, {.call_order = false}),
              prefix + ":9] m, third: true, second: -2, first: 1, attempt: 2, service: walker\n");
}

TEST_F(LineFormatTest, OptionsDropThreadColumnOrLocation) {
    const LogRecord record(site(3), "m");
    EXPECT_EQ(render(record, no_pairs, {.show_thread = false}),
              "12:00:00.000 ERRO [" + std::string(kSyscallsFile) + ":3] m\n");
    EXPECT_EQ(render(record, no_pairs, {.show_location = false}),
              "12:00:00.000 ERRO main          m\n");
}

TEST_F(LineFormatTest, LevelWords) {
    const std::pair<Level, std::string> words[] = {
        {Level::critical, "CRIT"}, {Level::error, "ERRO"}, {Level::warn, "WARN"},
        {Level::info, "INFO"},     {Level::debug, "DEBG"}, {Level::trace, "TRCE"}};
    for (const auto& [level, word] : words) {
        EXPECT_EQ(render(LogRecord(site(1, level, "f.cpp"), "m")),
                  "12:00:00.000 " + word + " main          [f.cpp:1] m\n");
    }
}

TEST_F(LineFormatTest, ThreadColumnCountsCharactersAndNeverCuts) {
    struct NameCase {
        std::optional<std::string> name;  // none: a thread that was never named
        std::string column;
    };
    const NameCase cases[] = {
        {"thirteen-char", "thirteen-char "},
        {"a-twenty-characters!", "a-twenty-characters! "},
        // Four characters of two bytes each: nine filling blanks.
        // Six characters in eleven bytes: seven filling blanks.
        {"\xC3\xA9t\xC3\xA9 \xC3\xA0\xC3\xBC", "\xC3\xA9t\xC3\xA9 \xC3\xA0\xC3\xBC        "},
        {"\xC3\xA9\xC3\xA0\xC3\xBC\xC3\xB6", "\xC3\xA9\xC3\xA0\xC3\xBC\xC3\xB6          "},
        {std::nullopt, "UNKNOWN       "},
    };
    for (const NameCase& c : cases) {
        std::string line;
        std::thread worker([&] {
            if (c.name) {
                base::set_current_thread_name(*c.name);
            }
            line = render(LogRecord(site(1, Level::info, "f.cpp"), "m"));
        });
        worker.join();
        EXPECT_EQ(line, "12:00:00.000 INFO " + c.column + "[f.cpp:1] m\n");
    }
}

TEST_F(LineFormatTest, ShortAndInterruptedWritesStillGiveTheWholeLine) {
    const std::vector<KeyValue> pairs = {{"error", std::string_view("null")}};
    const LogRecord record(site(7), "event: x", pairs);
    const std::string expected = render(record);
    for (const bool interrupt : {false, true}) {
        auto slow = std::make_shared<MemoryLog>();
        slow->per_write = 1;
        slow->interrupt = interrupt;
        events::LineFormat format(events_test::fixed_clock(events_test::utc_time(12, 0, 0)),
                                  std::make_unique<events_test::MemoryStream>(slow), {});
        EXPECT_TRUE(format.log(record, no_pairs).ok());
        EXPECT_EQ(slow->written, expected);
    }
}

TEST_F(LineFormatTest, AFailedWriteEndsTheLineWhereItHappens) {
    const std::vector<KeyValue> pairs = {{"symbol", std::string_view("\"x\"")},
                                         {"error", std::string_view("null")}};
    const LogRecord record(site(7), "event: x", pairs);
    // Pairs printed as they come or collected first; a stream that stays broken or that would
    // take the next write again: nothing follows a failure, which is the stream's own error.
    for (const bool call_order : {true, false}) {
        const std::string whole = render(record, no_pairs, {.call_order = call_order});
        for (const bool fail_once : {false, true}) {
            for (std::size_t budget = 0; budget < whole.size(); ++budget) {
                auto failing = std::make_shared<MemoryLog>();
                failing->budget = budget;
                failing->fail_once = fail_once;
                events::LineFormat format(
                    events_test::fixed_clock(events_test::utc_time(12, 0, 0)),
                    std::make_unique<events_test::MemoryStream>(failing),
                    {.call_order = call_order});
                const base::Result<void, events::IoError> status = format.log(record, no_pairs);
                ASSERT_FALSE(status.ok()) << budget;
                EXPECT_EQ(status.error().debug_form(),
                          "Os { code: 32, kind: BrokenPipe, message: \"Broken pipe\" }")
                    << budget << " " << call_order;
                EXPECT_EQ(failing->written, whole.substr(0, budget))
                    << budget << " " << call_order << " " << fail_once;
            }
        }
    }
}

TEST_F(LineFormatTest, StreamAndFormattingFailuresBecomeStreamErrors) {
    const LogRecord plain(site(7), "m");
    auto run = [&](const std::shared_ptr<MemoryLog>& memory, const LogRecord& record,
                   const events::KeyValueSource& values) {
        events::LineFormat format(events_test::fixed_clock(events_test::utc_time(12, 0, 0)),
                                  std::make_unique<events_test::MemoryStream>(memory), {});
        const base::Result<void, events::IoError> status = format.log(record, values);
        return status.ok() ? std::string("ok") : status.error().debug_form();
    };

    auto zero = std::make_shared<MemoryLog>();
    zero->budget = 5;
    zero->take_nothing = true;
    EXPECT_EQ(run(zero, plain, no_pairs),
              "Error { kind: WriteZero, message: \"failed to write whole buffer\" }");
    EXPECT_EQ(zero->written, "12:00");

    auto unflushable = std::make_shared<MemoryLog>();
    unflushable->fail_flush = true;
    EXPECT_EQ(run(unflushable, plain, no_pairs),
              "Os { code: 5, kind: Uncategorized, message: \"Input/output error\" }");
    EXPECT_EQ(unflushable->written, render(plain));

    // A value that fails to format: the header is out, no pair and no line end follow.
    const events::FormatFunction broken = [](std::string& out) {
        out += "partial";
        return false;
    };
    const std::vector<KeyValue> pairs = {{"good", std::string_view("1")},
                                         {"bad", events::Formatted{&broken}}};
    auto memory = std::make_shared<MemoryLog>();
    EXPECT_EQ(run(memory, LogRecord(site(7), "m", pairs), no_pairs),
              "Custom { kind: Other, error: \"formatting error\" }");
    EXPECT_EQ(memory->written,
              "12:00:00.000 ERRO main          [" + std::string(kSyscallsFile) + ":7] m");

    struct FailingSource final : events::KeyValueSource {
        base::Result<void, events::SupplyError> supply(events::PairSink&) const override {
            return events::SupplyError::other;
        }
    };
    memory = std::make_shared<MemoryLog>();
    EXPECT_EQ(run(memory, plain, FailingSource{}),
              "Custom { kind: Other, error: \"other error\" }");
}

TEST_F(LineFormatTest, PreFormattedValuesAreFormattedWhenTheLineIsMade) {
    int calls = 0;
    const events::FormatFunction counted = [&calls](std::string& out) {
        out += "call " + std::to_string(++calls);
        return true;
    };
    const std::vector<KeyValue> pairs = {{"n", events::Formatted{&counted}}};
    const LogRecord record(site(1, Level::info, "f.cpp"), "", pairs);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(render(record), "12:00:00.000 INFO main          [f.cpp:1] n: call 1\n");
    EXPECT_EQ(render(record), "12:00:00.000 INFO main          [f.cpp:1] n: call 2\n");
}

}  // namespace

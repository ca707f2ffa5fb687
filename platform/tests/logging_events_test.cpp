// Platform events: JSON texts of their fields, the text record each one logs, and the
// structured copy handed to the thread's event logger.
#include "platform/logging_events.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "events/logging.h"
#include "events_test/memory_stream.h"
#include "inheritable_thread_local/testing.h"
#include "text_drain.h"

namespace {

using events::Level;

TEST(JsonText, EscapesExactlyTheTableBytes) {
    std::string controls;
    for (int byte = 0x00; byte < 0x20; ++byte) {
        controls += static_cast<char>(byte);
    }
    EXPECT_EQ(platform::json_string(controls),
              "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r"
              "\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018"
              "\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
    const std::pair<std::string, std::string> cases[] = {
        {"", "\"\""},
        {"renameatx_np", "\"renameatx_np\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\dir", "\"C:\\\\dir\""},
        {"a/b", "\"a/b\""},
        {"\x7F", "\"\x7F\""},
        {" ~", "\" ~\""},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
         "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        // Bytes that are not UTF-8 pass unchanged as well.
        {"\xFF\x80", "\"\xFF\x80\""},
        {std::string("nul\0inside", 10), "\"nul\\u0000inside\""},
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(platform::json_string(text), json);
    }
    EXPECT_EQ(platform::json_text(std::optional<std::string>()), "null");
    EXPECT_EQ(platform::json_text(std::optional<std::string>("null")), "\"null\"");
}

struct RecordingEventLogger final : events::EventLogger {
    std::vector<events::PlatformEvent> received;
    void log_event(events::PlatformEvent event) override { received.push_back(std::move(event)); }
};

struct Emitted {
    std::string lines;
    std::vector<events::PlatformEvent> events;
};

// Runs emit on a fresh thread whose LOGGER writes at `level` into memory at 09:41:07.250 UTC,
// with a recording EVENT_LOGGER when `with_event_logger` is set.
Emitted emit_on_thread(Level level, bool with_event_logger, const std::function<void()>& emit) {
    events_test::use_time_zone("UTC");
    auto memory = std::make_shared<events_test::MemoryLog>();
    auto recorder = std::make_shared<RecordingEventLogger>();
    std::thread worker([&] {
        inheritable_thread_local::replace(
            events::LOGGER,
            std::optional<events::TextLogger>(events::TextLogger(
                events::make_text_drain(
                    level, std::make_unique<events_test::MemoryStream>(memory),
                    events_test::fixed_clock(events_test::utc_time(9, 41, 7, 250'000'000))),
                std::make_shared<const events::OwnedKeyValues>())));
        if (with_event_logger) {
            inheritable_thread_local::replace(
                events::EVENT_LOGGER,
                std::optional<std::shared_ptr<events::EventLogger>>(recorder));
        }
        emit();
    });
    worker.join();
    return {memory->written, recorder->received};
}

const events::CallSite kSite{"platform/src/platform_macos/syscalls.cpp",
                             248,
                             13,
                             "platform::platform_macos::syscalls",
                             "",
                             "",
                             Level::error};

TEST(PlatformEvents, SymbolErrorLineAndStructuredCopy) {
    const Emitted emitted = emit_on_thread(Level::trace, true, [] {
        platform::load_syscall_symbol_error("renameatx_np", std::nullopt, kSite);
    });
    EXPECT_EQ(emitted.lines,
              "09:41:07.250 ERRO UNKNOWN       [platform/src/platform_macos/syscalls.cpp:248] "
              "event: load_syscall_symbol_error, symbol: \"renameatx_np\", error: null\n");
    ASSERT_EQ(emitted.events.size(), 1u);
    const events::PlatformEvent& event = emitted.events[0];
    EXPECT_EQ(event.name, "load_syscall_symbol_error");
    const std::vector<std::pair<std::string, std::string>> fields = {{"symbol", "\"renameatx_np\""},
                                                                     {"error", "null"}};
    EXPECT_EQ(event.fields, fields);
    EXPECT_EQ(event.event_namespace, "kestrel");
    EXPECT_EQ(event.code, 3);
}

TEST(PlatformEvents, ErrorTextsAreEscapedAndTheLineStaysOneLine) {
    const Emitted emitted = emit_on_thread(Level::trace, true, [] {
        platform::load_syscall_find_default_broken("bad \"name\"\tin\\path\n\xC3\xA9t\xC3\xA9",
                                                   kSite);
        platform::load_syscall_symbol_error("clonefile", "not found", kSite);
    });
    const std::string head =
        "09:41:07.250 ERRO UNKNOWN       [platform/src/platform_macos/syscalls.cpp:248] ";
    EXPECT_EQ(emitted.lines, head +
                                 "event: load_syscall_find_default_broken, "
                                 "error: \"bad \\\"name\\\"\\tin\\\\path\\n\xC3\xA9t\xC3\xA9\"\n" +
                                 head +
                                 "event: load_syscall_symbol_error, symbol: \"clonefile\", "
                                 "error: \"not found\"\n");
    ASSERT_EQ(emitted.events.size(), 2u);
    EXPECT_EQ(emitted.events[0].name, "load_syscall_find_default_broken");
    ASSERT_EQ(emitted.events[0].fields.size(), 1u);
    EXPECT_EQ(emitted.events[0].fields[0].first, "error");
    EXPECT_EQ(emitted.events[0].fields[0].second,
              "\"bad \\\"name\\\"\\tin\\\\path\\n\xC3\xA9t\xC3\xA9\"");
    EXPECT_EQ(emitted.events[1].fields[1].second, "\"not found\"");
}

TEST(PlatformEvents, LevelCriticalWritesNothingButTheCopyStillGoes) {
    const Emitted emitted = emit_on_thread(Level::critical, true, [] {
        platform::load_syscall_find_default_broken(std::nullopt, kSite);
    });
    EXPECT_EQ(emitted.lines, "");
    ASSERT_EQ(emitted.events.size(), 1u);
    EXPECT_EQ(emitted.events[0].fields[0].second, "null");
}

TEST(PlatformEvents, WithoutAnEventLoggerOnlyTheLineRemains) {
    const Emitted emitted = emit_on_thread(Level::trace, false, [] {
        platform::load_syscall_find_default_broken(std::nullopt, kSite);
    });
    EXPECT_EQ(emitted.lines,
              "09:41:07.250 ERRO UNKNOWN       [platform/src/platform_macos/syscalls.cpp:248] "
              "event: load_syscall_find_default_broken, error: null\n");
    EXPECT_TRUE(emitted.events.empty());
}

}  // namespace

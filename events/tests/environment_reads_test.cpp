// When the logging variables are read: once, at the first record that needs the default
// logger, the stream variable before the level variable; never by a run that logs nothing.
// This test program provides its own getenv, which notes each look-up of the two names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>

#include "events/logging.h"
#include "test_support/child_process.h"

namespace {

// Look-ups of the two logging variables, in order: 'S' for RUST_LOG_EVENTS_TO_STDERR, 'L'
// for RUST_LOG. Plain storage, usable before any constructor has run.
constinit std::array<char, 64> lookups{};
constinit std::atomic<std::size_t> lookup_count{0};

void note(const char* name) {
    const std::string_view wanted(name);
    const char mark = wanted == "RUST_LOG_EVENTS_TO_STDERR" ? 'S'
                      : wanted == "RUST_LOG"                ? 'L'
                                                            : '\0';
    if (mark != 0) {
        const std::size_t at = lookup_count.fetch_add(1);
        if (at < lookups.size()) {
            lookups[at] = mark;
        }
    }
}

std::string noted() {
    return std::string(lookups.data(), std::min(lookup_count.load(), lookups.size()));
}

}  // namespace

// The environment, which POSIX leaves to programs to declare: glibc's <unistd.h> declares it
// as well, macOS's does not.
extern "C" char** environ;  // NOLINT(readability-redundant-declaration)

// Replaces the C library's getenv for this program: same answers, and each look-up noted.
extern "C" char* getenv(const char* name) {
    note(name);
    const std::size_t length = std::strlen(name);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=') {
            return *entry + length + 1;
        }
    }
    return nullptr;
}

namespace {

const events::CallSite kSite{"f.cpp", 1, 1, "tests", "", "", events::Level::error};

// Runs body in a child and returns the look-ups it made, as written to standard error.
std::string lookups_of(const std::function<void()>& body) {
    const auto result = test_support::run_function([&] {
        ::setenv("RUST_LOG", "critical", 1);
        lookup_count = 0;
        body();
        const std::string seen = noted();
        test_support::tell_parent(seen);
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "") << "RUST_LOG=critical drops every ERROR record";
    return result.err;
}

TEST(EnvironmentReads, OnceAtTheFirstRecordStreamVariableFirst) {
    EXPECT_EQ(lookups_of([] {
                  for (int i = 0; i < 3; ++i) {
                      events::log_record(events::LogRecord(kSite, "m"));
                  }
              }),
              "SL");
}

TEST(EnvironmentReads, NeverWithoutARecord) {
    EXPECT_EQ(lookups_of([] {}), "");
    EXPECT_EQ(lookups_of([] { events::dispatch_event([] { return events::PlatformEvent{}; }); }),
              "");
}

}  // namespace

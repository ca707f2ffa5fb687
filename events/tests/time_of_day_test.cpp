// The time of day on log lines: local zone, truncated milliseconds, fixed width.
#include "time_of_day.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <time.h>

#include <regex>

#include "events_test/memory_stream.h"

namespace {
int zones_read = 0;
}  // namespace

// Counts the C library's readings of the zone, forwarding them.
extern "C" void tzset() noexcept(noexcept(::tzset())) {
    using Tzset = void (*)();
    static const auto system_tzset = reinterpret_cast<Tzset>(::dlsym(RTLD_NEXT, "tzset"));
    ++zones_read;
    system_tzset();
}

namespace {

using events::format_time_of_day;
using events_test::utc_time;

TEST(TimeOfDay, InUtc) {
    events_test::use_time_zone("UTC");
    EXPECT_EQ(format_time_of_day(utc_time(0, 0, 0)), "00:00:00.000");
    EXPECT_EQ(format_time_of_day(utc_time(9, 41, 7, 250'000'000)), "09:41:07.250");
    EXPECT_EQ(format_time_of_day(utc_time(23, 59, 59, 999'600'000)), "23:59:59.999");
    EXPECT_EQ(format_time_of_day(utc_time(23, 59, 59, 999'999'999)), "23:59:59.999");
    EXPECT_EQ(format_time_of_day(utc_time(24, 0, 0)), "00:00:00.000");
    EXPECT_EQ(format_time_of_day(utc_time(12, 0, 0, 999'999)), "12:00:00.000");
    EXPECT_EQ(format_time_of_day(utc_time(12, 0, 0, 1'000'000)), "12:00:00.001");
    // Before 1970 the fraction still counts forward from the whole second.
    const auto before_epoch =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(-250));
    EXPECT_EQ(format_time_of_day(before_epoch), "23:59:59.750");
}

TEST(TimeOfDay, FollowsTz) {
    events_test::use_time_zone("XXX-02");
    EXPECT_EQ(format_time_of_day(utc_time(22, 30, 0)), "00:30:00.000");
    events_test::use_time_zone("IST-05:30");
    EXPECT_EQ(format_time_of_day(utc_time(20, 0, 1, 5'000'000)), "01:30:01.005");
    events_test::use_time_zone("EST+05");
    EXPECT_EQ(format_time_of_day(utc_time(3, 15, 0)), "22:15:00.000");
    events_test::use_time_zone("UTC");
}

TEST(TimeOfDay, TheZoneIsReadAgainOnlyWhenTzChanges) {
    const auto lines = [](const char* zone) {
        if (zone != nullptr) {
            ::setenv("TZ", zone, 1);
        } else {
            ::unsetenv("TZ");
        }
        zones_read = 0;
        for (int line = 0; line < 3; ++line) {
            format_time_of_day(std::chrono::system_clock::now());
        }
        return zones_read;
    };
    EXPECT_EQ(lines("XXX-03"), 1);
    EXPECT_EQ(lines("XXX-03"), 0);
    EXPECT_EQ(lines(nullptr), 1);
    EXPECT_EQ(lines(nullptr), 0);
    EXPECT_EQ(lines("UTC"), 1);
    events_test::use_time_zone("UTC");
}

TEST(TimeOfDay, LogTimestampWritesTheCurrentTime) {
    events_test::use_time_zone("UTC");
    auto log = std::make_shared<events_test::MemoryLog>();
    events_test::MemoryStream stream(log);
    events::TermRecordDecorator writer(stream, events::Level::info);
    const std::string before = format_time_of_day(std::chrono::system_clock::now());
    ASSERT_TRUE(events::log_timestamp(writer).ok());
    const std::string after = format_time_of_day(std::chrono::system_clock::now());
    EXPECT_TRUE(
        std::regex_match(log->written, std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}")))
        << log->written;
    if (before <= after) {  // not across midnight
        EXPECT_LE(before, log->written);
        EXPECT_LE(log->written, after);
    }
}

}  // namespace

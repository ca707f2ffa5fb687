// Local time of day for log lines, through the C library's zone handling.
#include "time_of_day.h"

#include <time.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/environment.h"

namespace events {
namespace {

// Makes the C library's zone follow TZ. tzset is called only when TZ differs from what it was at
// this thread's last call: where TZ is unset, every call looks at the system's zone file again,
// a status call per log line, which a dry run writes for every entry of a tree.
void follow_time_zone() {
    thread_local bool followed = false;
    thread_local std::optional<std::string> followed_zone;
    const std::optional<std::string_view> zone = base::environment_variable("TZ");
    if (followed && zone == followed_zone) {
        return;
    }
    ::tzset();
    followed = true;
    followed_zone = zone ? std::optional<std::string>(*zone) : std::nullopt;
}

void put_two_digits(int value, char* at) {
    at[0] = static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string format_time_of_day(std::chrono::system_clock::time_point time) {
    const auto since_epoch = time.time_since_epoch();
    const auto whole_seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
    // The remainder is never negative, so cutting it to milliseconds truncates.
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch - whole_seconds).count();
    const auto seconds = static_cast<std::time_t>(whole_seconds.count());

    follow_time_zone();
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        // Outside the C library's range: the time of day in UTC, which needs no zone.
        const std::int64_t of_day = ((seconds % 86400) + 86400) % 86400;
        local.tm_hour = static_cast<int>(of_day / 3600);
        local.tm_min = static_cast<int>(of_day / 60 % 60);
        local.tm_sec = static_cast<int>(of_day % 60);
    }
    std::array<char, 12> text{};
    put_two_digits(local.tm_hour, text.data());
    text[2] = ':';
    put_two_digits(local.tm_min, &text[3]);
    text[5] = ':';
    // A leap second (60) stays as the C library gives it.
    put_two_digits(local.tm_sec, &text[6]);
    text[8] = '.';
    const int millis = static_cast<int>(milliseconds);
    text[9] = static_cast<char>('0' + millis / 100);
    put_two_digits(millis % 100, &text[10]);
    return std::string(text.data(), text.size());
}

base::Result<void, IoError> write_time_of_day(RecordDecorator& writer,
                                              std::chrono::system_clock::time_point time) {
    return writer.write_all(format_time_of_day(time));
}

base::Result<void, IoError> log_timestamp(RecordDecorator& writer) {
    return write_time_of_day(writer, std::chrono::system_clock::now());
}

}  // namespace events

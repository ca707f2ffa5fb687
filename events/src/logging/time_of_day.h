// The time of day at the start of each log line: local time as "HH:MM:SS.mmm", in the zone
// that TZ names (else the system's), with the milliseconds truncated.
#pragma once

#include <chrono>
#include <string>

#include "base/result.h"
#include "io_error.h"
#include "record_decorator.h"

namespace events {

// The 12-character local time of day of `time`, e.g. "09:41:07.250".
std::string format_time_of_day(std::chrono::system_clock::time_point time);

base::Result<void, IoError> write_time_of_day(RecordDecorator& writer,
                                              std::chrono::system_clock::time_point time);

// Writes the current local time of day: the timestamp function of every text logger.
base::Result<void, IoError> log_timestamp(RecordDecorator& writer);

}  // namespace events

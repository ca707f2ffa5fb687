// The drain of the default text logger: a level filter around a fatal-on-error guard around
// the line formatter, all behind one mutex, so whole lines are written one at a time.
#pragma once

#include <memory>

#include "events/log_record.h"
#include "events/logging.h"
#include "line_format.h"
#include "log_stream.h"
#include "time_of_day.h"

namespace events {

// Records above `level` are dropped. A failed write stops the process with
// "slog::Fuse Drain: " and the error's debug form. The mutex is poisoned when an exception
// leaves a call that holds it; every later record then stops the process with
// "slog::Fuse Drain: MutexDrainError::Mutex", and level queries answer true. Level queries
// treat TRACE as disabled whatever the level.
std::shared_ptr<FlushDrain> make_text_drain(Level level, std::unique_ptr<LogStream> stream,
                                            TimestampFunction timestamp = log_timestamp);

}  // namespace events

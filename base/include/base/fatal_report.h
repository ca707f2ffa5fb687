// The one way the program stops on a failed check: a report on standard error naming the
// thread and the failed check's source location, then exit status 101. Safe from any thread.
#pragma once

#include <string_view>

#include "base/source_location.h"

namespace base {

// Exit status of a process that ended with a fatal report.
inline constexpr int kFatalExitStatus = 101;

// Environment variable that asks the fatal report for a stack backtrace.
inline constexpr char kBacktraceVariable[] = "OWNERSHIP_MENDER_BACKTRACE";

// Writes the report and ends the whole process with kFatalExitStatus. Nothing is flushed or
// unwound: what earlier steps changed stays changed. The report is written straight to
// descriptor 2 without allocating; write errors are ignored.
[[noreturn]] void fatal(std::string_view message, SourceLocation where = SourceLocation::current());

// As above, for a message made of a fixed text followed directly by a detail.
[[noreturn]] void fatal(std::string_view message, std::string_view detail,
                        SourceLocation where = SourceLocation::current());

}  // namespace base

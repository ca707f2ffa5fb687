// The walk as the program runs it: silent, or, when the environment asks, telling through the
// program's log what it left behind (a report) or what it would change (a dry run). Main thread
// only: the log's lines are written as the walk goes.
#pragma once

#include "ownership_mender/command_line.h"

namespace ownership_mender {

// On unless unset, empty or "0": each entry left unchanged or directory not listed gives a log
// line, a summary ends the walk, and the exit status tells whether anything was left behind.
inline constexpr char kReportVariable[] = "OWNERSHIP_MENDER_REPORT";
// On unless unset, empty or "0": the walk changes nothing and logs each change it would make.
inline constexpr char kDryRunVariable[] = "OWNERSHIP_MENDER_DRY_RUN";

struct WalkChoice {
    bool report = false;
    bool dry_run = false;

    static WalkChoice from_environment();
};

// The exit status of a run with the report on whose lines could not all be written: the walk
// went on to its end regardless, and standard error says where the report stopped.
inline constexpr int kReportCutShortStatus = 3;

// Walks args.path for args.uid as choice says and returns the exit status: 0, or with the
// report on (and no dry run), 1 when any entry was left unchanged or directory not listed, and
// kReportCutShortStatus when a line of the report could not be written. A dry run whose line
// cannot be written stops the process (the lines are all it is for).
int run_walk(const Args& args, const WalkChoice& choice);

}  // namespace ownership_mender

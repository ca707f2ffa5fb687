// Preparation of the process before the command line is read.
#pragma once

namespace ownership_mender {

// Builds the system-call table, switches off the materialisation of dataless files for the
// whole process, and releases the table. Every failure is fatal.
void prepare_process();

}  // namespace ownership_mender

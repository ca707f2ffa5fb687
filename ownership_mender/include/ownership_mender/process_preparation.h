// Preparation of the process before the command line is read.
#pragma once

namespace ownership_mender {

// Runs before the command line is parsed; the process's I/O policy is set here.
void prepare_process();

}  // namespace ownership_mender

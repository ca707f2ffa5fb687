// Preparation of the process before its command line is read.
#include "ownership_mender/process_preparation.h"

namespace ownership_mender {

void prepare_process() {}

}  // namespace ownership_mender

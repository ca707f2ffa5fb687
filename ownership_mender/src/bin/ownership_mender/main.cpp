// ownership_mender PATH UID: makes UID the owner, and group 0 the group, of PATH and of
// everything reachable beneath it. The steps run strictly in this order.
#include "ownership_mender/command_line.h"
#include "ownership_mender/process_preparation.h"
#include "ownership_mender/process_start.h"
#include "ownership_mender/walk_run.h"

int main(int argc, char** argv) {
    ownership_mender::start_process();
    ownership_mender::prepare_process();
    const auto parsed = ownership_mender::parse_command_line(argc, argv);
    if (!parsed) {
        return static_cast<int>(parsed.error());
    }
    return ownership_mender::run_walk(parsed.value(),
                                      ownership_mender::WalkChoice::from_environment());
}

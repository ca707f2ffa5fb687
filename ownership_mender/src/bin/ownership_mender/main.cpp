// ownership_mender PATH UID: makes UID the owner, and group 0 the group, of PATH and of
// everything reachable beneath it. The steps run strictly in this order.
#include <utility>
#include <variant>

#include "ownership_mender/chown_tree.h"
#include "ownership_mender/command_line.h"
#include "ownership_mender/process_preparation.h"
#include "ownership_mender/process_start.h"

int main(int argc, char** argv) {
    ownership_mender::start_process();
    ownership_mender::prepare_process();
    auto parsed = ownership_mender::parse_command_line(argc, argv);
    if (const int* exit_status = std::get_if<int>(&parsed)) {
        return *exit_status;
    }
    const ownership_mender::Args args = std::get<ownership_mender::Args>(std::move(parsed));
    ownership_mender::chown_tree(args.path, args.uid);
    return 0;
}

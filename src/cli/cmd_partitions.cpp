// dravik-cli partitions [--drive N] [--json]: the partitions the tables list, or the quick
// search's finds when they list none.
#include "cli/commands.h"
#include "cli/scan_flow.h"
#include "core/messages.h"

namespace cli {

int RunPartitions(CliContext& context, std::span<const std::string> args)
{
    std::uint64_t drive = 0;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--drive" && i + 1 < args.size() && ParseUnsigned(args[i + 1])) {
            drive = *ParseUnsigned(args[++i]);
        } else if (args[i] == "--json") {
            json = true;
        } else {
            std::fprintf(context.err, "dravik-cli partitions: unexpected argument '%s'\n"
                                      "usage: dravik-cli partitions [--drive N] [--json]\n",
                         args[i].c_str());
            return kExitUsage;
        }
    }
    int exitCode = kExitOk;
    Session* session = OpenDrive(context, "partitions", drive, exitCode);
    if (session == nullptr) {
        return exitCode;
    }
    partitions::PartitionList list;
    partitions::PartitionTree tree(session->Disk().selectedDrive);
    ListPartitions(context, *session, list, tree);
    if (list.partitionCount == 0) {
        ShowMessage(context, kMessageError, core::msg::kNoPartitionStandard);
    }
    PrintPartitions(context, list, json);
    return kExitOk;
}

}  // namespace cli

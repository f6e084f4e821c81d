// dravik-cli partitions [--drive N] [--json]: the partitions the tables list, or the quick
// search's finds when they list none; and search-partitions, the quick search alone.
#include "cli/commands.h"
#include "cli/scan_flow.h"
#include "core/messages.h"

namespace cli {

namespace {

int RunPartitionCommand(CliContext& context, std::span<const std::string> args, const char* name, bool searchOnly)
{
    std::uint64_t drive = 0;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--drive" && i + 1 < args.size() && ParseUnsigned(args[i + 1])) {
            drive = *ParseUnsigned(args[++i]);
        } else if (args[i] == "--json") {
            json = true;
        } else {
            std::fprintf(context.err, "dravik-cli %s: unexpected argument '%s'\nusage: dravik-cli %s [--drive N] [--json]\n",
                         name, args[i].c_str(), name);
            return kExitUsage;
        }
    }
    int exitCode = kExitOk;
    Session* session = OpenDrive(context, name, drive, exitCode);
    if (session == nullptr) {
        return exitCode;
    }
    partitions::PartitionList list;
    partitions::PartitionTree tree(session->Disk().selectedDrive);
    if (searchOnly) {
        SearchPartitions(context, *session, list, tree);
    } else {
        ListPartitions(context, *session, list, tree);
    }
    if (list.partitionCount == 0) {
        ShowMessage(context, kMessageError, core::msg::kNoPartitionStandard);
    }
    PrintPartitions(context, list, json);
    return kExitOk;
}

}  // namespace

int RunPartitions(CliContext& context, std::span<const std::string> args)
{
    return RunPartitionCommand(context, args, "partitions", false);
}

int RunSearchPartitions(CliContext& context, std::span<const std::string> args)
{
    return RunPartitionCommand(context, args, "search-partitions", true);
}

}  // namespace cli

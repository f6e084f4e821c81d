// dravik-cli ls: a Standard Scan of one partition (or a recovery snapshot loaded in its place),
// then the listing of one of its folders as the list view shows it.
#include <cinttypes>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/scan_flow.h"
#include "cli/snapshot_flow.h"
#include "cli/tree_print.h"
#include "core/ntfs_names.h"
#include "ntfs/listing.h"
#include "partitions/partition_list.h"
#include "platform/file_types.h"
#include "shell/name_patterns.h"

namespace cli {

namespace {

constexpr const char* kLsUsage =
    "usage: dravik-cli ls ([--drive N] --partition K | [--drive N] --snapshot FILE) [PATH] [--filter PATTERN]... "
    "[--json]\n";

int Usage(CliContext& context, const std::string& problem)
{
    std::fprintf(context.err, "dravik-cli ls: %s\n%s", problem.c_str(), kLsUsage);
    return kExitUsage;
}

struct LsArgs
{
    std::uint64_t drive = 0;
    std::uint64_t partition = 0;  // 1-based, as "Partition K" in the partition tree
    std::string snapshotFile;     // loaded instead of scanning a partition
    std::string path;
    shell::FilterPatterns filters;
    bool json = false;
};

}  // namespace

int RunLs(CliContext& context, std::span<const std::string> args)
{
    LsArgs ls;
    bool partitionGiven = false;
    bool pathGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--drive") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n)
                return Usage(context, "--drive needs a drive number");
            ls.drive = *n;
        } else if (a == "--partition") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n || *n == 0 || *n > partitions::kMaxGptPartitions)
                return Usage(context, "--partition needs a partition number from 1 to 128");
            ls.partition = *n;
            partitionGiven = true;
        } else if (a == "--snapshot") {
            if (!hasValue || args[i + 1].empty())
                return Usage(context, "--snapshot needs a file");
            ls.snapshotFile = args[++i];
        } else if (a == "--filter") {
            if (!hasValue)
                return Usage(context, "--filter needs a pattern");
            if (ls.filters.Add(args[++i]) != shell::FilterPatterns::AddOutcome::Added)
                return Usage(context, "the pattern '" + args[i] + "' cannot be stored (1 to 19 characters, at most 99)");
        } else if (a == "--json") {
            ls.json = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage(context, "unknown option '" + a + "'");
        } else if (!pathGiven) {
            ls.path = a;
            pathGiven = true;
        } else {
            return Usage(context, "only one PATH may be given");
        }
    }
    if (partitionGiven == !ls.snapshotFile.empty())
        return Usage(context, "either --partition or --snapshot is needed, not both");

    auto scan = std::make_unique<ScannedPartition>();
    const int code = partitionGiven ? ScanPartitionOfDrive(context, "ls", ls.drive, ls.partition, *scan)
                                    : LoadSnapshotOfDrive(context, "ls", ls.snapshotFile, ls.drive, *scan);
    if (code != kExitOk)
        return code;
    const catalog::Catalog& catalog = scan->catalog;
    const ntfs::FolderTree& tree = scan->folderTree;

    // Types are described from the UTF-8 form of the name, so that they are UTF-8 as the GUI's are.
    const ntfs::TypeDescriber describe = [](std::string_view name) {
        return platform::FileTypeDescription(name);
    };
    const ntfs::NameAdmitter admit = [&ls, upCase = scan->UpCase()](std::string_view name) {
        return shell::AdmitByFilters(ls.filters, name, upCase);
    };

    const auto item = ResolveTreePath(tree, ls.path);
    const auto folderRecord = item ? NtfsRecordOfItem(catalog, tree, *item) : std::nullopt;
    if (!folderRecord) {
        std::fprintf(context.err, "dravik-cli ls: no folder '%s'\n", ls.path.c_str());
        return kExitUsage;
    }
    const std::vector<ntfs::ListRow> rows = ntfs::ListNtfsFolder(catalog, *folderRecord, admit, describe);

    if (ls.json) {
        JsonWriter json;
        json.BeginObject();
        json.Field("drive", ls.drive);
        if (partitionGiven)
            json.Field("partition", ls.partition);
        else
            json.Key("snapshot").String(ls.snapshotFile);
        json.Field("path", ls.path.empty() ? std::string("/") : ls.path);
        json.Key("rows");
        WriteRowsJson(json, rows);
        json.EndObject();
        std::fprintf(context.out, "%s\n", json.Text().c_str());
    } else {
        std::fputs(FormatRows(rows).c_str(), context.out);
    }
    return kExitOk;
}

}  // namespace cli

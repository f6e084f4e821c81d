// dravik-cli scan: the Standard Scan of a listed partition, or a recovery snapshot loaded in its
// place, printed as a summary, the folder tree, or the whole catalog as JSON; the catalog can be
// saved as a snapshot.
#include <cinttypes>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/scan_flow.h"
#include "cli/snapshot_flow.h"
#include "cli/tree_print.h"
#include "ntfs/tree_builder.h"

namespace cli {

namespace {

int Usage(CliContext& context, const std::string& problem)
{
    std::fprintf(context.err,
                 "dravik-cli scan: %s\nusage: dravik-cli scan ([--drive N] --partition K | [--drive N] --snapshot FILE) "
                 "[--save-snapshot FILE] [--json] [--tree]\n",
                 problem.c_str());
    return kExitUsage;
}

// The outcome of a scan; "loaded" for a catalog from a snapshot.
const char* OutcomeName(const ScannedPartition& scan, bool loaded)
{
    if (loaded) {
        return "loaded";
    }
    const ntfs::StandardScanOutcome outcome = scan.result.outcome;
    switch (outcome) {
    case ntfs::StandardScanOutcome::Completed:
        return "completed";
    case ntfs::StandardScanOutcome::Stopped:
        return "stopped";
    case ntfs::StandardScanOutcome::ParametersFailed:
        return "parameters-failed";
    case ntfs::StandardScanOutcome::ParametersFailedStopped:
        return "parameters-failed-stopped";
    }
    return "unknown";
}


struct PathFinder
{
    const catalog::Catalog& catalog;
    const ntfs::FolderTree& tree;
    std::vector<std::string> paths;

    // Path of the folder shown by a tree item, or nothing when the item is no item.
    const std::string* OfItem(core::TreeItemId item) const
    {
        if (item == 0 || item > tree.Size()) {
            return nullptr;
        }
        return &paths[item];
    }
    // Path of the folder with record `parent` (the root for 5), or nothing when no folder with
    // that record sits in the tree.
    const std::string* OfParent(std::uint32_t parent) const
    {
        if (parent == ntfs::kRootRecord) {
            return &paths[tree.Root()];
        }
        const auto folder = catalog.NtfsFolderWithRecord(parent);
        return folder ? OfItem(catalog.NtfsFolders()[*folder].treeItem) : nullptr;
    }
};

void PathField(JsonWriter& json, const std::string* base, const std::string& name)
{
    json.Key("path");
    if (base == nullptr) {
        json.Null();
    } else {
        json.String(*base + "/" + name);
    }
}

// The catalog as one JSON document, written an entry at a time so a large catalog is never held
// twice in memory.
void PrintJson(CliContext& context, const ScannedPartition& scan, bool loaded)
{
    const catalog::VolumeParams& v = scan.catalog.volumeParams;
    const catalog::ScanTarget& t = scan.catalog.scanTarget;
    JsonWriter head;
    head.BeginObject()
        .Field("outcome", OutcomeName(scan, loaded))
        .Field("placeholders", scan.result.placeholders)
        .Key("volume")
        .BeginObject()
        .Field("type", v.type)
        .Field("fatSectors", v.fatSectors)
        .Field("sectorsPerCluster", v.sectorsPerCluster)
        .Field("rootDirSectors", v.rootDirSectors)
        .Field("rootDirStart", v.rootDirStart)
        .Field("reservedSectors", v.reservedSectors)
        .Field("clusterBase", v.clusterBase)
        .Field("fat1Start", v.fat1Start)
        .Field("fat2Start", v.fat2Start)
        .Field("mftSector", v.mftSector)
        .Field("mftMirrSector", v.mftMirrSector)
        .Field("sectorsPerFileRecord", v.sectorsPerFileRecord)
        .Field("indexRecordSectors", v.indexRecordSectors)
        .Field("endSector", v.endSector)
        .EndObject()
        .Key("target")
        .BeginObject()
        .Field("scanType", t.scanType)
        .Field("scanStartSector", t.scanStartSector)
        .Field("scanSectorCount", t.scanSectorCount)
        .Field("scanEndSector", t.scanEndSector)
        .Field("scanPartitionTag", t.scanPartitionTag)
        .EndObject()
        .EndObject();
    // The head object is reopened to append the two lists after it.
    std::string text = head.Text();
    text.pop_back();
    std::fputs(text.c_str(), context.out);

    const PathFinder paths{scan.catalog, scan.folderTree, TreeItemPaths(scan.folderTree)};
    std::fputs(",\"folders\":[", context.out);
    bool first = true;
    for (const catalog::NtfsFolderEntry& f : scan.catalog.NtfsFolders()) {
        JsonWriter json;
        json.BeginObject()
            .Key("name")
            .String(f.name)
            .Field("record", f.record)
            .Field("parent", f.parent)
            .Field("created", f.created)
            .Field("changed", f.changed)
            .Field("deleted", f.deleted != 0)
            .Field("treeItem", f.treeItem)
            .Key("path");
        if (const std::string* path = paths.OfItem(f.treeItem)) {
            json.String(*path);
        } else {
            json.Null();
        }
        json.EndObject();
        std::fputs(first ? "\n" : ",\n", context.out);
        std::fputs(json.Text().c_str(), context.out);
        first = false;
    }
    std::fputs("],\"files\":[", context.out);
    first = true;
    for (const catalog::NtfsFileEntry& f : scan.catalog.NtfsFiles()) {
        JsonWriter json;
        json.BeginObject()
            .Key("name")
            .String(f.name)
            .Field("record", f.record)
            .Field("parent", f.parent)
            .Field("created", f.created)
            .Field("changed", f.changed)
            .Field("size", f.size)
            .Field("deleted", f.deleted != 0)
            .Field("dataRecordSector", f.dataRecordSector);
        WriteRecoverableJson(json, f.deleted != 0 ? f.recoverable : catalog::kRecoverableNotRated);
        PathField(json, paths.OfParent(f.parent), f.name);
        json.EndObject();
        std::fputs(first ? "\n" : ",\n", context.out);
        std::fputs(json.Text().c_str(), context.out);
        first = false;
    }
    std::fputs("]}\n", context.out);
}

void PrintSummary(CliContext& context, const ScannedPartition& scan, bool loaded)
{
    std::uint32_t deletedFolders = 0;
    std::uint32_t deletedFiles = 0;
    for (const auto& f : scan.catalog.NtfsFolders()) {
        deletedFolders += f.deleted != 0 ? 1 : 0;
    }
    for (const auto& f : scan.catalog.NtfsFiles()) {
        deletedFiles += f.deleted != 0 ? 1 : 0;
    }
    const auto folders = scan.catalog.NtfsFolders().size() - scan.result.placeholders;
    std::fprintf(context.out,
                 "outcome: %s\nfolders: %zu\nfiles: %zu\ndeleted folders: %" PRIu32 "\ndeleted files: %" PRIu32
                 "\nplaceholders: %" PRIu32 "\n",
                 OutcomeName(scan, loaded), folders, scan.catalog.NtfsFiles().size(), deletedFolders,
                 deletedFiles, scan.result.placeholders);
}

}  // namespace

int RunScan(CliContext& context, std::span<const std::string> args)
{
    std::uint64_t drive = 0;
    std::optional<std::uint64_t> partition;
    std::string snapshotFile;
    std::string saveFile;
    bool json = false;
    bool tree = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--drive") {
            const auto n = hasValue ? ParseUnsigned(args[i + 1]) : std::nullopt;
            if (!n) {
                return Usage(context, "--drive needs a drive number");
            }
            drive = *n;
            ++i;
        } else if (args[i] == "--partition") {
            partition = hasValue ? ParseUnsigned(args[i + 1]) : std::nullopt;
            if (!partition) {
                return Usage(context, "--partition needs a partition number");
            }
            ++i;
        } else if (args[i] == "--snapshot" || args[i] == "--save-snapshot") {
            if (!hasValue || args[i + 1].empty()) {
                return Usage(context, args[i] + " needs a file");
            }
            (args[i] == "--snapshot" ? snapshotFile : saveFile) = args[i + 1];
            ++i;
        } else if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--tree") {
            tree = true;
        } else {
            return Usage(context, "unexpected argument '" + args[i] + "'");
        }
    }
    const bool loaded = !snapshotFile.empty();
    if (partition.has_value() == loaded) {
        return Usage(context, "either --partition or --snapshot is needed, not both");
    }
    auto scan = std::make_unique<ScannedPartition>();
    const int code = loaded ? LoadSnapshotOfDrive(context, "scan", snapshotFile, drive, *scan)
                            : ScanPartitionOfDrive(context, "scan", drive, *partition, *scan);
    if (code != kExitOk) {
        return code;
    }
    // Saved before anything is printed, so that a failed save ends the command without output.
    if (!saveFile.empty()) {
        if (const int saved = SaveSnapshotOfCatalog(context, "scan", scan->catalog, saveFile); saved != kExitOk) {
            return saved;
        }
    }
    if (json) {
        PrintJson(context, *scan, loaded);
        return kExitOk;
    }
    PrintSummary(context, *scan, loaded);
    if (tree) {
        const std::string text = FormatTree(scan->folderTree);
        std::fputs(text.c_str(), context.out);
        if (!text.empty() && text.back() != '\n') {
            std::fputc('\n', context.out);
        }
    }
    return kExitOk;
}

}  // namespace cli

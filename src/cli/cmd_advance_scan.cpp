// dravik-cli advance-scan: the Advance Scan of a sector range (the whole disk, a listed
// partition's range or one given), the file systems it found, and optionally the mount of one of
// them printed like a Standard Scan (summary, tree, JSON, or the listing of one folder).
#include <cinttypes>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "advscan/advance_scan.h"
#include "advscan/mount.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/scan_flow.h"
#include "cli/tree_print.h"
#include "core/messages.h"
#include "core/ntfs_names.h"
#include "core/out_of_memory.h"
#include "ntfs/tree_builder.h"
#include "partitions/partition_select.h"
#include "platform/file_types.h"
#include "recovery/recovery_settings.h"

namespace cli {

namespace {

constexpr const char* kAdvanceScanUsage =
    "usage: dravik-cli advance-scan [--drive N] [--start S --end E | --partition K] [--chunk 1..100]\n"
    "                               [--fs K [--tree | --ls PATH]] [--json]\n";

int Usage(CliContext& context, const std::string& problem)
{
    std::fprintf(context.err, "dravik-cli advance-scan: %s\n%s", problem.c_str(), kAdvanceScanUsage);
    return kExitUsage;
}

struct AdvanceArgs
{
    std::uint64_t drive = 0;
    std::optional<std::string> start;
    std::optional<std::string> end;
    std::optional<std::uint64_t> partition;
    std::optional<std::uint32_t> chunk;
    std::optional<std::uint64_t> fileSystem;  // 1-based
    std::optional<std::string> lsPath;
    bool tree = false;
    bool json = false;
};

// Everything one Advance Scan leaves.
struct AdvanceScan
{
    ntfs::Catalog catalog;
    ntfs::FolderTree fileSystemTree = advscan::NewFoundFileSystemTree();
    ntfs::FolderTree folderTree;
    advscan::AdvanceScanResult result;
    advscan::MountResult mount;
};

const char* OutcomeName(advscan::SweepOutcome outcome)
{
    return outcome == advscan::SweepOutcome::Stopped ? "stopped" : "completed";
}

void WriteFileSystems(JsonWriter& json, const ntfs::Catalog& catalog, const ntfs::FolderTree& tree)
{
    json.BeginArray();
    for (const ntfs::FileSystemRecord& fs : catalog.FileSystems()) {
        const ntfs::TreeItem* item = tree.Find(fs.key);
        const advscan::FileSystemPanel panel = advscan::FileSystemPanelValues(fs.params);
        json.BeginObject()
            .Field("item", item != nullptr ? item->text : std::string())
            .Field("start", fs.params.clusterBase)
            .Field("sectorsPerCluster", fs.params.sectorsPerCluster)
            .Field("mftSector", static_cast<core::Sector>(fs.params.mftSector))
            .Field("mftMirrSector", static_cast<core::Sector>(fs.params.mftMirrSector))
            .Field("indexRecordSectors", fs.params.indexRecordSectors)
            .Field("endSector", fs.params.endSector)
            .Field("size", panel[advscan::kPanelRowFileSystemSize - 1])
            .EndObject();
    }
    json.EndArray();
}

std::string FileSystemsText(const ntfs::Catalog& catalog, const ntfs::FolderTree& tree)
{
    std::string text = "Item\tStart\tSectorsPerCluster\tMftSector\tMftMirrSector\tSize\n";
    for (const ntfs::FileSystemRecord& fs : catalog.FileSystems()) {
        const ntfs::TreeItem* item = tree.Find(fs.key);
        const advscan::FileSystemPanel panel = advscan::FileSystemPanelValues(fs.params);
        text += (item != nullptr ? item->text : std::string()) + "\t" + panel[0] + "\t" + panel[1] + "\t" + panel[2] +
                "\t" + panel[3] + "\t" + panel[4] + "\n";
    }
    return text;
}

// The mounted file system: its folders from the catalog and the found files inside its sectors,
// each with its path ("/"-joined from the root; null when its parent is not in the tree).
void WriteMountJson(JsonWriter& json, const AdvanceScan& scan)
{
    const ntfs::Catalog& catalog = scan.catalog;
    const std::vector<std::string> paths = TreeItemPaths(scan.folderTree);
    const auto pathOfItem = [&](core::TreeItemId item) -> const std::string* {
        return item == 0 || item > scan.folderTree.Size() ? nullptr : &paths[item];
    };
    json.BeginObject()
        .Field("fileSystem", catalog.selectedFileSystem)
        .Field("placeholders", scan.mount.counts.placeholders)
        .Key("folders")
        .BeginArray();
    for (const ntfs::NtfsFolderEntry& f : catalog.NtfsFolders()) {
        json.BeginObject()
            .Key("name")
            .Latin1String(f.name)
            .Field("record", f.record)
            .Field("parent", f.parent)
            .Field("created", f.created)
            .Field("changed", f.changed)
            .Field("deleted", f.deleted != 0)
            .Field("treeItem", f.treeItem)
            .Key("path");
        if (const std::string* path = pathOfItem(f.treeItem)) {
            json.Latin1String(*path);
        } else {
            json.Null();
        }
        json.EndObject();
    }
    json.EndArray().Key("files").BeginArray();
    const ntfs::VolumeParams& v = catalog.volumeParams;
    for (const ntfs::FoundFileRecord& f : catalog.FoundFiles()) {
        if (f.sector <= v.clusterBase || f.sector > v.endSector) {
            continue;
        }
        json.BeginObject()
            .Key("name")
            .Latin1String(f.name)
            .Field("sector", f.sector)
            .Field("parent", f.parent)
            .Field("created", f.created)
            .Field("changed", f.changed)
            .Field("size", f.size)
            .Field("deleted", f.deleted != 0)
            .Key("path");
        const std::string* base = nullptr;
        if (f.parent == ntfs::kRootRecord) {
            base = &paths[scan.folderTree.Root()];
        } else if (const auto folder = catalog.NtfsFolderWithRecord(f.parent)) {
            base = pathOfItem(catalog.NtfsFolders()[*folder].treeItem);
        }
        if (base != nullptr) {
            json.Latin1String(*base + "/" + f.name);
        } else {
            json.Null();
        }
        json.EndObject();
    }
    json.EndArray().EndObject();
}

int ParseArgs(CliContext& context, std::span<const std::string> args, AdvanceArgs& a)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--drive") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n)
                return Usage(context, "--drive needs a drive number");
            a.drive = *n;
        } else if (arg == "--start" || arg == "--end") {
            if (!hasValue)
                return Usage(context, arg + " needs a sector number");
            (arg == "--start" ? a.start : a.end) = args[++i];
        } else if (arg == "--partition") {
            a.partition = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!a.partition || *a.partition == 0)
                return Usage(context, "--partition needs a partition number from 1");
        } else if (arg == "--chunk") {
            a.chunk = hasValue ? recovery::ParseReadChunkSectors(args[++i]) : std::nullopt;
            if (!a.chunk)
                return Usage(context, std::string(core::msg::kChunkOptionRange));
        } else if (arg == "--fs") {
            a.fileSystem = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!a.fileSystem || *a.fileSystem == 0)
                return Usage(context, "--fs needs a file-system number from 1");
        } else if (arg == "--ls") {
            if (!hasValue)
                return Usage(context, "--ls needs a folder path");
            a.lsPath = args[++i];
        } else if (arg == "--tree") {
            a.tree = true;
        } else if (arg == "--json") {
            a.json = true;
        } else {
            return Usage(context, "unexpected argument '" + arg + "'");
        }
    }
    if (a.start.has_value() != a.end.has_value())
        return Usage(context, "--start and --end go together");
    if (a.start && a.partition)
        return Usage(context, "give either --start/--end or --partition");
    if ((a.tree || a.lsPath) && !a.fileSystem)
        return Usage(context, "--tree and --ls need --fs");
    return kExitOk;
}

}  // namespace

int RunAdvanceScan(CliContext& context, std::span<const std::string> args)
{
    AdvanceArgs a;
    if (const int code = ParseArgs(context, args, a); code != kExitOk)
        return code;

    int exitCode = kExitOk;
    Session* session = OpenDrive(context, "advance-scan", a.drive, exitCode);
    if (session == nullptr)
        return exitCode;
    disk::DiskState& disk = session->Disk();
    if (a.chunk)
        disk.readChunkSectors = *a.chunk;
    const disk::DriveSlot& slot = session->Table().slots[disk.selectedDrive];

    // The range boxes as the partition step fills them.
    std::string startText = a.start.value_or("0");
    std::string endText = a.end.value_or(std::to_string(slot.totalSectors));
    if (a.partition) {
        partitions::PartitionList list;
        partitions::PartitionTree tree(disk.selectedDrive);
        ListPartitions(context, *session, list, tree);
        if (*a.partition > list.partitionCount) {
            std::fprintf(context.err, "dravik-cli advance-scan: no partition %" PRIu64 " (%u listed)\n", *a.partition,
                         static_cast<unsigned>(list.partitionCount));
            return kExitUsage;
        }
        ntfs::ScanTarget ignored;
        const auto selection = partitions::SelectPartition(
            tree, list, list.records[static_cast<std::size_t>(*a.partition - 1)].treeItem, true, slot.totalSectors,
            ignored);
        if (!selection) {
            std::fprintf(context.err, "dravik-cli advance-scan: partition %" PRIu64 " cannot be selected\n",
                         *a.partition);
            return kExitUsage;
        }
        startText = selection->startSectorText;
        endText = selection->endSectorText;
    }
    const advscan::ScanRange range = advscan::CheckScanRange(startText, endText);
    if (range.check != advscan::RangeCheck::Valid) {
        ShowMessage(context, kMessageError, advscan::RangeCheckMessage(range.check));
        return kExitUsage;
    }

    auto scan = std::make_unique<AdvanceScan>();
    ntfs::Catalog& catalog = scan->catalog;
    catalog.ClearSweepLists();
    catalog.scanTarget = advscan::AdvanceScanTarget(range.start, range.end);
    {
        StopOnInterrupt interrupt(catalog.scanStopFlag);
        TerminalProgress progress(context.err);
        scan->result = core::RunGuardedAgainstOom(
            [&] { return advscan::RunAdvanceScan(disk, catalog, scan->fileSystemTree, progress); },
            [&](std::string_view text) {
                progress.Finish();
                ShowMessage(context, kMessageError, text);
            });
        progress.Finish();
    }

    if (a.fileSystem) {
        if (*a.fileSystem > catalog.FileSystems().size()) {
            std::fprintf(context.err, "dravik-cli advance-scan: no file system %" PRIu64 " (%zu found)\n",
                         *a.fileSystem, catalog.FileSystems().size());
            return kExitUsage;
        }
        const core::TreeItemId item = catalog.FileSystems()[static_cast<std::size_t>(*a.fileSystem - 1)].key;
        advscan::SelectFileSystem(catalog, item, core::NullSink());
        scan->folderTree = ntfs::FolderTree();
        TerminalProgress progress(context.err);
        scan->mount = core::RunGuardedAgainstOom(
            [&] { return advscan::MountFoundFileSystem(catalog, scan->folderTree, progress); },
            [&](std::string_view text) {
                progress.Finish();
                ShowMessage(context, kMessageError, text);
            });
        progress.Finish();
    }

    std::optional<std::vector<ntfs::ListRow>> rows;
    if (a.lsPath) {
        const auto item = ResolveTreePath(scan->folderTree, *a.lsPath);
        const auto record = item ? NtfsRecordOfItem(catalog, scan->folderTree, *item) : std::nullopt;
        if (!record) {
            std::fprintf(context.err, "dravik-cli advance-scan: no folder '%s'\n", a.lsPath->c_str());
            return kExitUsage;
        }
        const ntfs::TypeDescriber describe = [](std::string_view name) {
            return platform::FileTypeDescription(core::Latin1ToUtf8(name));
        };
        rows = ntfs::ListFoundFolder(catalog, *record, {}, describe);
    }

    if (a.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("outcome", OutcomeName(scan->result.sweep))
            .Field("startSector", range.start)
            .Field("endSector", range.end)
            .Field("bootSectors", catalog.bootHitCount)
            .Field("indexRecords", catalog.indexRecordCount)
            .Field("files", catalog.foundFileCount)
            .Field("folders", catalog.foundFolderCount)
            .Key("fileSystems");
        WriteFileSystems(json, catalog, scan->fileSystemTree);
        if (a.fileSystem) {
            json.Key("mounted");
            WriteMountJson(json, *scan);
        }
        if (rows) {
            json.Key("rows");
            WriteRowsJson(json, *rows);
        }
        json.EndObject();
        std::fprintf(context.out, "%s\n", json.Text().c_str());
        return kExitOk;
    }
    if (rows) {
        std::fputs(FormatRows(*rows).c_str(), context.out);
        return kExitOk;
    }
    std::fprintf(context.out,
                 "outcome: %s\nboot sectors: %" PRIu32 "\nindex records: %" PRIu32 "\nfiles: %" PRIu32
                 "\nfolders: %" PRIu32 "\nfile systems: %zu\n",
                 OutcomeName(scan->result.sweep), catalog.bootHitCount, catalog.indexRecordCount,
                 catalog.foundFileCount, catalog.foundFolderCount, catalog.FileSystems().size());
    std::fputs(FileSystemsText(catalog, scan->fileSystemTree).c_str(), context.out);
    if (a.fileSystem) {
        const ntfs::VolumeParams& v = catalog.volumeParams;
        std::size_t files = 0;
        for (const ntfs::FoundFileRecord& f : catalog.FoundFiles()) {
            files += f.sector > v.clusterBase && f.sector <= v.endSector ? 1 : 0;
        }
        std::fprintf(context.out, "mounted: %" PRIu64 "\nfolders: %" PRIu32 "\nfiles: %zu\nplaceholders: %" PRIu32 "\n",
                     *a.fileSystem, scan->mount.counts.folders, files, scan->mount.counts.placeholders);
        if (a.tree) {
            std::string text = FormatTree(scan->folderTree);
            if (!text.empty() && text.back() != '\n')
                text += '\n';
            std::fputs(text.c_str(), context.out);
        }
    }
    return kExitOk;
}

}  // namespace cli

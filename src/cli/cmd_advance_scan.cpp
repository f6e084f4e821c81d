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
#include "cli/advance_flow.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/snapshot_flow.h"
#include "cli/scan_flow.h"
#include "cli/tree_print.h"
#include "core/messages.h"
#include "core/ntfs_names.h"
#include "ntfs/tree_builder.h"
#include "platform/file_types.h"

namespace cli {

namespace {

constexpr const char* kAdvanceScanUsage =
    "usage: dravik-cli advance-scan [--drive N] [--start S --end E | --partition K] [--chunk 1..100]\n"
    "                               [--fs K [--tree | --ls PATH] [--save-snapshot FILE]] [--json]\n";

int Usage(CliContext& context, const std::string& problem)
{
    std::fprintf(context.err, "dravik-cli advance-scan: %s\n%s", problem.c_str(), kAdvanceScanUsage);
    return kExitUsage;
}

struct AdvanceArgs
{
    std::uint64_t drive = 0;
    AdvanceOptions scan;
    std::optional<std::string> lsPath;
    std::optional<std::string> saveSnapshot;
    bool tree = false;
    bool json = false;
};

const char* OutcomeName(advscan::SweepOutcome outcome)
{
    return outcome == advscan::SweepOutcome::Stopped ? "stopped" : "completed";
}

void WriteFileSystems(JsonWriter& json, const catalog::Catalog& catalog, const ntfs::FolderTree& tree)
{
    json.BeginArray();
    for (const catalog::FileSystemRecord& fs : catalog.FileSystems()) {
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

std::string FileSystemsText(const catalog::Catalog& catalog, const ntfs::FolderTree& tree)
{
    std::string text = "Item\tStart\tSectorsPerCluster\tMftSector\tMftMirrSector\tSize\n";
    for (const catalog::FileSystemRecord& fs : catalog.FileSystems()) {
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
    const catalog::Catalog& catalog = scan.catalog;
    const std::vector<std::string> paths = TreeItemPaths(scan.folderTree);
    const auto pathOfItem = [&](core::TreeItemId item) -> const std::string* {
        return item == 0 || item > scan.folderTree.Size() ? nullptr : &paths[item];
    };
    json.BeginObject()
        .Field("fileSystem", catalog.selectedFileSystem)
        .Field("placeholders", scan.mount.counts.placeholders)
        .Key("folders")
        .BeginArray();
    for (const catalog::NtfsFolderEntry& f : catalog.NtfsFolders()) {
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
        if (const std::string* path = pathOfItem(f.treeItem)) {
            json.String(*path);
        } else {
            json.Null();
        }
        json.EndObject();
    }
    json.EndArray().Key("files").BeginArray();
    const ntfs::ShownVolume volume(catalog, ntfs::ShownKind::MountedFound);
    for (std::size_t position = 0; position < volume.FileListSize(); ++position) {
        if (!volume.Holds(position)) {
            continue;
        }
        const catalog::FoundFileRecord& f = catalog.FoundFiles()[position];
        json.BeginObject()
            .Key("name")
            .String(f.name)
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
            json.String(*base + "/" + f.name);
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
        std::string problem;
        const OptionParse taken = ParseAdvanceOption(args, i, a.scan, problem);
        if (taken == OptionParse::Invalid)
            return Usage(context, problem);
        if (taken == OptionParse::Taken)
            continue;
        if (arg == "--drive") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n)
                return Usage(context, "--drive needs a drive number");
            a.drive = *n;
        } else if (arg == "--ls") {
            if (!hasValue)
                return Usage(context, "--ls needs a folder path");
            a.lsPath = args[++i];
        } else if (arg == "--save-snapshot") {
            if (!hasValue)
                return Usage(context, "--save-snapshot needs a file name");
            a.saveSnapshot = args[++i];
        } else if (arg == "--tree") {
            a.tree = true;
        } else if (arg == "--json") {
            a.json = true;
        } else {
            return Usage(context, "unexpected argument '" + arg + "'");
        }
    }
    if (const auto problem = CheckAdvanceOptions(a.scan))
        return Usage(context, *problem);
    if ((a.tree || a.lsPath || a.saveSnapshot) && !a.scan.fileSystem)
        return Usage(context, "--tree, --ls and --save-snapshot need --fs");
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
    auto scan = std::make_unique<AdvanceScan>();
    if (const int code = RunAdvanceFlow(context, "advance-scan", *session, a.scan, *scan); code != kExitOk)
        return code;
    const catalog::Catalog& catalog = scan->catalog;
    // The snapshot of a mount holds its folders (placeholders included, those of files whose folder
    // was not found too); its files stay in the sweep's found-file list, which snapshots do not carry.
    if (a.saveSnapshot) {
        if (const int code = SaveSnapshotOfCatalog(context, "advance-scan", catalog, *a.saveSnapshot); code != kExitOk)
            return code;
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
            return platform::FileTypeDescription(name);
        };
        rows = ntfs::ListShownFolder(ntfs::ShownVolume(catalog, ntfs::ShownKind::MountedFound), *record, {}, describe);
    }

    if (a.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("outcome", OutcomeName(scan->result.sweep))
            .Field("startSector", scan->rangeStart)
            .Field("endSector", scan->rangeEnd)
            .Field("bootSectors", catalog.bootHitCount)
            .Field("indexRecords", catalog.indexRecordCount)
            .Field("files", catalog.foundFileCount)
            .Field("folders", catalog.foundFolderCount)
            .Key("fileSystems");
        WriteFileSystems(json, catalog, scan->fileSystemTree);
        if (a.scan.fileSystem) {
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
    if (a.scan.fileSystem) {
        const ntfs::ShownVolume volume(catalog, ntfs::ShownKind::MountedFound);
        std::size_t files = 0;
        for (std::size_t position = 0; position < volume.FileListSize(); ++position) {
            files += volume.Holds(position) ? 1U : 0U;
        }
        std::fprintf(context.out, "mounted: %" PRIu64 "\nfolders: %" PRIu32 "\nfiles: %zu\nplaceholders: %" PRIu32 "\n",
                     *a.scan.fileSystem, scan->mount.counts.folders, files, scan->mount.counts.placeholders);
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

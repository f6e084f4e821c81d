// dravik-cli find: the file search of the "Find File(s)" dialog over a scanned partition or a
// loaded snapshot: every matching file with its upper-cased name, folder path and size.
#include <cinttypes>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/name_text.h"
#include "cli/scan_flow.h"
#include "cli/tree_print.h"
#include "core/ntfs_names.h"
#include "partitions/partition_list.h"
#include "shell/find_files.h"
#include "snapshot/snapshot_file.h"

namespace cli {

namespace {

constexpr const char* kFindUsage =
    "usage: dravik-cli find PATTERN ([--drive N] --partition K | --snapshot FILE) [--json]\n";

int Usage(CliContext& context, const std::string& problem)
{
    std::fprintf(context.err, "dravik-cli find: %s\n%s", problem.c_str(), kFindUsage);
    return kExitUsage;
}

struct FindArgs
{
    std::string pattern;
    std::uint64_t drive = 0;
    std::uint64_t partition = 0;  // 1-based; 0 when a snapshot is the source
    std::string snapshotFile;
    bool json = false;
};

}  // namespace

int RunFind(CliContext& context, std::span<const std::string> args)
{
    FindArgs find;
    bool patternGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--drive") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n)
                return Usage(context, "--drive needs a drive number");
            find.drive = *n;
        } else if (a == "--partition") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n || *n == 0 || *n > partitions::kMaxGptPartitions)
                return Usage(context, "--partition needs a partition number from 1 to 128");
            find.partition = *n;
        } else if (a == "--snapshot") {
            if (!hasValue)
                return Usage(context, "--snapshot needs a file");
            find.snapshotFile = args[++i];
        } else if (a == "--json") {
            find.json = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage(context, "unknown option '" + a + "'");
        } else if (!patternGiven) {
            find.pattern = a;
            patternGiven = true;
        } else {
            return Usage(context, "only one PATTERN may be given");
        }
    }
    if (!patternGiven)
        return Usage(context, "a pattern is needed");
    if ((find.partition == 0) == find.snapshotFile.empty())
        return Usage(context, "either --partition or --snapshot is needed, not both");

    auto scan = std::make_unique<ScannedPartition>();
    catalog::Catalog& catalog = scan->catalog;
    if (find.snapshotFile.empty()) {
        if (const int code = ScanPartitionOfDrive(context, "find", find.drive, find.partition, *scan); code != kExitOk)
            return code;
    } else {
        // The search reads only the catalog, so the snapshot's disk need not be opened.
        const snapshot::LoadResult loaded = snapshot::LoadSnapshot(find.snapshotFile, catalog);
        if (loaded.outcome != snapshot::LoadOutcome::Loaded) {
            ShowMessage(context, kMessageError, loaded.message);
            return kExitUsage;
        }
    }

    std::vector<shell::FindRow> rows;
    core::PauseGate gate;
    core::StopFlag stop;
    shell::FindResult result;
    {
        StopOnInterrupt interrupt(stop);
        result = shell::FindFiles(
            catalog, {find.pattern, 1, scan->UpCase()}, [&rows](const shell::FindRow& row, std::size_t) { rows.push_back(row); },
            gate, stop);
    }

    if (find.json) {
        JsonWriter json;
        json.BeginObject();
        json.Field("pattern", find.pattern);
        json.Key("files").BeginArray();
        for (const shell::FindRow& r : rows) {
            json.BeginObject();
            json.Key("name").String(r.name);
            json.Key("path").String(r.path);
            json.Field("size", r.size);
            WriteRecoverableJson(json, r.recoverable);
            json.EndObject();
        }
        json.EndArray();
        json.Field("count", static_cast<std::uint64_t>(rows.size()));
        json.Field("stopped", result.outcome == shell::FindOutcome::Stopped);
        json.EndObject();
        std::fprintf(context.out, "%s\n", json.Text().c_str());
    } else {
        std::fputs("File Name\tPath\tSize\n", context.out);
        for (const shell::FindRow& r : rows) {
            std::fprintf(context.out, "%s\t%s\t%" PRIu64 "\n", EscapeControls(r.name).c_str(),
                         EscapeControls(r.path).c_str(), r.size);
        }
        std::fprintf(context.out, "Files Found\t%zu\n", rows.size());
    }
    return kExitOk;
}

}  // namespace cli

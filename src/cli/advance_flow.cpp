#include "cli/advance_flow.h"

#include <cinttypes>
#include <cstdio>

#include "cli/commands.h"
#include "cli/scan_flow.h"
#include "core/messages.h"
#include "core/out_of_memory.h"
#include "partitions/partition_select.h"
#include "recovery/recovery_settings.h"

namespace cli {

OptionParse ParseAdvanceOption(std::span<const std::string> args, std::size_t& i, AdvanceOptions& options,
                               std::string& problem)
{
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--start" || arg == "--end") {
        if (!hasValue) {
            problem = arg + " needs a sector number";
            return OptionParse::Invalid;
        }
        (arg == "--start" ? options.start : options.end) = args[++i];
    } else if (arg == "--partition") {
        options.partition = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
        if (!options.partition || *options.partition == 0) {
            problem = "--partition needs a partition number from 1";
            return OptionParse::Invalid;
        }
    } else if (arg == "--chunk") {
        options.chunk = hasValue ? recovery::ParseReadChunkSectors(args[++i]) : std::nullopt;
        if (!options.chunk) {
            problem = std::string(core::msg::kChunkOptionRange);
            return OptionParse::Invalid;
        }
    } else if (arg == "--fs") {
        options.fileSystem = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
        if (!options.fileSystem || *options.fileSystem == 0) {
            problem = "--fs needs a file-system number from 1";
            return OptionParse::Invalid;
        }
    } else {
        return OptionParse::NotMine;
    }
    return OptionParse::Taken;
}

std::optional<std::string> CheckAdvanceOptions(const AdvanceOptions& options)
{
    if (options.start.has_value() != options.end.has_value())
        return "--start and --end go together";
    if (options.start && options.partition)
        return "give either --start/--end or --partition";
    return std::nullopt;
}

int RunAdvanceFlow(CliContext& context, std::string_view command, Session& session, const AdvanceOptions& options,
                   AdvanceScan& out)
{
    const std::string prefix = "dravik-cli " + std::string(command);
    disk::DiskState& disk = session.Disk();
    if (options.chunk)
        disk.readChunkSectors = *options.chunk;
    const disk::DriveSlot& slot = session.Table().slots[disk.selectedDrive];

    // The range boxes as the partition step fills them.
    std::string startText = options.start.value_or("0");
    std::string endText = options.end.value_or(std::to_string(slot.totalSectors));
    if (options.partition) {
        partitions::PartitionList list;
        partitions::PartitionTree tree(disk.selectedDrive);
        ListPartitions(context, session, list, tree);
        if (*options.partition > list.partitionCount) {
            std::fprintf(context.err, "%s: no partition %" PRIu64 " (%u listed)\n", prefix.c_str(),
                         *options.partition, static_cast<unsigned>(list.partitionCount));
            return kExitUsage;
        }
        const partitions::PartitionRecord& record = list.records[static_cast<std::size_t>(*options.partition - 1)];
        // An encrypted volume holds nothing a sweep could find; other GPT partitions may be swept.
        if (record.content == partitions::PartitionContent::BitLocker) {
            ShowMessage(context, kMessageError, partitions::NoScanMessage(record.content));
            return kExitUsage;
        }
        catalog::ScanTarget ignored;
        const auto selection =
            partitions::SelectPartition(tree, list, record.treeItem, true, slot.totalSectors, ignored);
        if (!selection) {
            std::fprintf(context.err, "%s: partition %" PRIu64 " cannot be selected\n", prefix.c_str(),
                         *options.partition);
            return kExitUsage;
        }
        startText = selection->startSectorText;
        endText = selection->endSectorText;
    }
    advscan::ScanRange range = advscan::CheckScanRange(startText, endText);
    const bool clipped = advscan::ClipScanRange(range, slot.totalSectors);
    if (range.check != advscan::RangeCheck::Valid) {
        ShowMessage(context, kMessageError, advscan::RangeProblemMessage(range.check, slot.totalSectors));
        return kExitUsage;
    }
    if (clipped) {
        std::fprintf(context.err, "%s: %s\n", prefix.c_str(), advscan::RangeClippedMessage(range.end).c_str());
    }
    out.rangeStart = range.start;
    out.rangeEnd = range.end;

    catalog::Catalog& catalog = out.catalog;
    catalog.ClearSweepLists();
    catalog.scanTarget = advscan::AdvanceScanTarget(range.start, range.end);
    {
        StopOnInterrupt interrupt(catalog.scanStopFlag);
        TerminalProgress progress(context);
        out.result = core::RunGuardedAgainstOom(
            [&] { return advscan::RunAdvanceScan(disk, catalog, out.fileSystemTree, progress); },
            [&](std::string_view text) {
                progress.Finish();
                ShowMessage(context, kMessageError, text);
            },
            kExitOutOfMemory);
        progress.Finish();
    }

    if (options.fileSystem) {
        if (*options.fileSystem > catalog.FileSystems().size()) {
            std::fprintf(context.err, "%s: no file system %" PRIu64 " (%zu found)\n", prefix.c_str(),
                         *options.fileSystem, catalog.FileSystems().size());
            return kExitUsage;
        }
        const core::TreeItemId item = catalog.FileSystems()[static_cast<std::size_t>(*options.fileSystem - 1)].key;
        advscan::SelectFileSystem(catalog, item, core::NullSink());
        out.folderTree = ntfs::FolderTree();
        TerminalProgress progress(context);
        out.mount = core::RunGuardedAgainstOom(
            [&] {
                ntfs::MftRunTable map;
                advscan::MapMountedMft(disk, catalog.volumeParams, map);
                advscan::RateMountedFiles(disk, catalog, map);
                return advscan::MountFoundFileSystem(catalog, out.folderTree, progress);
            },
            [&](std::string_view text) {
                progress.Finish();
                ShowMessage(context, kMessageError, text);
            },
            kExitOutOfMemory);
        progress.Finish();
    }
    return kExitOk;
}

}  // namespace cli

// From a drive to a scanned partition, for the commands of dravik-cli.
#include "cli/scan_flow.h"

#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <csignal>
#include <string>

#include "cli/json_writer.h"
#include "cli/name_text.h"
#include "core/messages.h"
#include "core/out_of_memory.h"
#include "partitions/gpt.h"
#include "partitions/partition_select.h"
#include "partitions/partition_table.h"
#include "partitions/quick_search.h"
#include "recovery/upcase_reader.h"

namespace cli {

namespace {

// The flag SIGINT requests a stop through. std::atomic<bool> is lock-free here, so setting it
// from the handler is safe.
core::StopFlag* g_interruptFlag = nullptr;

extern "C" void OnInterrupt(int)
{
    if (g_interruptFlag != nullptr) {
        g_interruptFlag->Request();
    }
}

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double NowSeconds() { return static_cast<double>(NowMs()) / 1000.0; }

}  // namespace

void ShowMessage(CliContext& context, int kind, std::string_view text)
{
    if (context.options.quiet && kind == kMessageInformation) {
        return;
    }
    std::fprintf(context.err, "[%d] %.*s\n", kind, static_cast<int>(text.size()), text.data());
}

TerminalProgress::TerminalProgress(const CliContext& context)
    : m_to(context.err), m_enabled(!context.options.quiet && isatty(fileno(context.err)) != 0)
{
    m_meter.Start(NowSeconds());
}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::Status(std::string_view text)
{
    m_status = EscapeControls(text);  // one line on the terminal, whatever a name holds
    Draw(false);
}

void TerminalProgress::Progress(int percent)
{
    m_meter.Percent(percent);
    Draw(false);
}

void TerminalProgress::Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit)
{
    m_meter.Amount(done, total, unit, NowSeconds());
    Draw(false);
}

void TerminalProgress::Draw(bool force)
{
    if (!m_enabled) {
        return;
    }
    const long long now = NowMs();
    if (!force && m_drawn && now - m_lastDrawMs < 100) {
        return;
    }
    m_lastDrawMs = now;
    m_drawn = true;
    const std::string line = m_meter.Line(static_cast<double>(now) / 1000.0);
    std::fprintf(m_to, "\r\033[K%s  %s", line.c_str(), m_status.c_str());
    std::fflush(m_to);
}

void TerminalProgress::Finish()
{
    if (m_enabled && m_drawn) {
        std::fputs("\r\033[K", m_to);
        std::fflush(m_to);
        m_drawn = false;
    }
}

StopOnInterrupt::StopOnInterrupt(core::StopFlag& flag)
{
    g_interruptFlag = &flag;
    m_previous = std::signal(SIGINT, OnInterrupt);
}

StopOnInterrupt::~StopOnInterrupt()
{
    std::signal(SIGINT, m_previous == SIG_ERR ? SIG_DFL : m_previous);
    g_interruptFlag = nullptr;
}

Session* OpenDrive(CliContext& context, std::string_view command, std::uint64_t drive, int& exitCode)
{
    Session* session = context.OpenSession(exitCode);
    if (session == nullptr) {
        return nullptr;
    }
    if (drive >= session->Table().driveCount) {
        std::fprintf(context.err, "dravik-cli %.*s: no drive %" PRIu64 " (%u offered)\n",
                     static_cast<int>(command.size()), command.data(), drive,
                     static_cast<unsigned>(session->Table().driveCount));
        exitCode = kExitDisk;
        return nullptr;
    }
    const auto opened = session->SelectDrive(static_cast<std::uint16_t>(drive));
    if (!opened.opened) {
        std::fprintf(context.err, "dravik-cli %.*s: %s\n", static_cast<int>(command.size()), command.data(),
                     opened.reason.c_str());
        exitCode = kExitDisk;
        return nullptr;
    }
    return session;
}

void SearchPartitions(CliContext& context, Session& session, partitions::PartitionList& list,
                      partitions::PartitionTree& tree)
{
    const disk::DriveSlot& slot = session.Table().slots[session.Disk().selectedDrive];
    const partitions::ReportedGeometry geometry{slot.cylinders, slot.heads, slot.sectorsPerTrack,
                                                 slot.sizeBytes / core::kSectorSize};
    core::StopFlag stop;
    StopOnInterrupt interrupt(stop);
    TerminalProgress progress(context);
    partitions::QuickSearchPartitions(session.Disk(), geometry, list, tree, stop, progress);
    progress.Finish();
}

void ListPartitions(CliContext& context, Session& session, partitions::PartitionList& list,
                    partitions::PartitionTree& tree)
{
    const partitions::TablesWalk walk = partitions::WalkPartitionTables(session.Disk(), list, tree);
    if (walk.gptBackupSector) {
        std::fprintf(context.err, "%s\n", partitions::GptBackupNote(*walk.gptBackupSector).c_str());
    }
    if (walk.listed) {
        return;
    }
    ShowMessage(context, kMessageError, core::msg::kNoPartitionsQuickSearch);
    SearchPartitions(context, session, list, tree);
}

void PrintPartitions(CliContext& context, const partitions::PartitionList& list, bool json)
{
    JsonWriter writer;
    std::string text = "Position\tItem\tStartSector\tSectorCount\tFsType\tPartition Type\tPartition Start\t"
                       "Partition End\tPartition Size\n";
    writer.BeginObject().Key("partitions").BeginArray();
    for (std::uint32_t i = 0; i < list.partitionCount; ++i) {
        const partitions::PartitionRecord& record = list.records[i];
        catalog::ScanTarget target;
        target.scanType = record.fsType;
        target.scanStartSector = record.startSector;
        target.scanSectorCount = record.sectorCount;
        target.scanEndSector = partitions::PartitionLastSector(record.startSector, record.sectorCount);
        const partitions::PartitionInfo info = partitions::ShowPartitionInfo(target, record.typeName);
        const std::string item = partitions::PartitionItemText(i, partitions::RecordName(record));
        text += std::to_string(i + 1) + "\t" + EscapeControls(item) + "\t" + std::to_string(record.startSector) + "\t" +
                std::to_string(record.sectorCount) + "\t" + std::to_string(record.fsType);
        writer.BeginObject()
            .Field("position", i + 1)
            .Field("item", item)
            .Field("startSector", record.startSector)
            .Field("sectorCount", record.sectorCount)
            .Field("fsType", record.fsType)
            .Field("scheme", partitions::SchemeName(list.scheme));
        if (record.endBeyondDisk) {
            writer.Field("endBeyondDisk", true);
        }
        if (record.gpt) {
            writer.Field("name", record.gpt->name)
                .Field("typeGuid", partitions::GuidText(record.gpt->typeGuid))
                .Field("guid", partitions::GuidText(record.gpt->uniqueGuid));
        }
        writer.Key("info")
            .BeginArray();
        for (const partitions::InfoRow& row : info) {
            text += "\t" + EscapeControls(row.value);  // a GPT entry's name comes from the disk
            writer.BeginObject().Field("label", row.label).Field("value", row.value).EndObject();
        }
        writer.EndArray().EndObject();
        if (record.endBeyondDisk) {
            text += "\t";
            text += core::msg::kPartitionEndClamped;
        }
        text += "\n";
    }
    writer.EndArray().EndObject();
    if (json) {
        std::fprintf(context.out, "%s\n", writer.Text().c_str());
    } else {
        std::fputs(text.c_str(), context.out);
    }
}

int SelectPartitionOfDrive(CliContext& context, std::string_view command, std::uint64_t drive,
                           std::uint64_t partition, ScannedPartition& out)
{
    int exitCode = kExitOk;
    Session* session = OpenDrive(context, command, drive, exitCode);
    if (session == nullptr) {
        return exitCode;
    }
    out.partitionTree = partitions::PartitionTree(session->Disk().selectedDrive);
    ListPartitions(context, *session, out.partitions, out.partitionTree);
    if (out.partitions.partitionCount == 0) {
        ShowMessage(context, kMessageError, core::msg::kNoPartitionStandard);
        return kExitDisk;
    }
    if (partition == 0 || partition > out.partitions.partitionCount) {
        std::fprintf(context.err, "dravik-cli %.*s: no partition %" PRIu64 " (%u listed)\n",
                     static_cast<int>(command.size()), command.data(), partition,
                     static_cast<unsigned>(out.partitions.partitionCount));
        return kExitUsage;
    }
    const auto& record = out.partitions.records[static_cast<std::size_t>(partition - 1)];
    const disk::DriveSlot& slot = session->Table().slots[session->Disk().selectedDrive];
    if (!partitions::SelectPartition(out.partitionTree, out.partitions, record.treeItem, false, slot.totalSectors,
                                     out.catalog.scanTarget)) {
        std::fprintf(context.err, "dravik-cli %.*s: partition %" PRIu64 " cannot be selected\n",
                     static_cast<int>(command.size()), command.data(), partition);
        return kExitUsage;
    }
    if (const std::string_view why = partitions::NoScanMessage(record.content); !why.empty()) {
        ShowMessage(context, kMessageError, why);
        return kExitUsage;
    }
    if (out.catalog.scanTarget.scanType != core::kFsNtfs) {
        ShowMessage(context, kMessageError, core::msg::kFatPartitionStandard);
        return kExitUsage;
    }
    return kExitOk;
}

int ScanSelectedPartition(CliContext& context, ScannedPartition& out)
{
    int exitCode = kExitOk;
    Session* session = context.OpenSession(exitCode);
    if (session == nullptr) {
        return exitCode;
    }
    out.folderTree = ntfs::FolderTree();
    {
        StopOnInterrupt interrupt(out.catalog.scanStopFlag);
        TerminalProgress progress(context);
        out.result = core::RunGuardedAgainstOom(
            [&] {
                return ntfs::StandardScan(session->Disk(), out.catalog, out.runTable, out.folderTree, progress);
            },
            [&](std::string_view text) {
                progress.Finish();
                ShowMessage(context, kMessageError, text);
            },
            kExitOutOfMemory);
        progress.Finish();
    }
    switch (out.result.outcome) {
    case ntfs::StandardScanOutcome::ParametersFailed:
        ShowMessage(context, kMessageError, core::msg::kStandardScanNotPossible);
        return kExitDisk;
    case ntfs::StandardScanOutcome::ParametersFailedStopped:
        ShowMessage(context, kMessageError, core::msg::kRecoveryAbortedByUser);
        return kExitDisk;
    case ntfs::StandardScanOutcome::Completed:
    case ntfs::StandardScanOutcome::Stopped:
        break;
    }
    out.upCase = recovery::ReadVolumeUpCase(session->Disk(), out.catalog.volumeParams, out.runTable);
    ShowMessage(context, kMessageInformation, core::msg::kStandardScanDone);
    return kExitOk;
}

int ScanPartitionOfDrive(CliContext& context, std::string_view command, std::uint64_t drive,
                         std::uint64_t partition, ScannedPartition& out)
{
    if (const int code = SelectPartitionOfDrive(context, command, drive, partition, out); code != kExitOk) {
        return code;
    }
    return ScanSelectedPartition(context, out);
}

}  // namespace cli

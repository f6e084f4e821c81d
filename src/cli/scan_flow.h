// The steps the wizard takes from a drive to a scanned partition, for the commands of dravik-cli:
// open a drive, list its partitions (quick search when the tables list none), select one and run
// the Standard Scan; with the system's messages on stderr, terminal progress and Ctrl-C as Stop.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#include "cli/session.h"
#include "core/case_map.h"
#include "core/progress.h"
#include "core/rate_meter.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"
#include "ntfs/standard_scan.h"
#include "partitions/partition_list.h"

namespace cli {

// Kinds of the system's message dialog.
inline constexpr int kMessageInformation = 1;
inline constexpr int kMessageError = 2;
inline constexpr int kMessageQuestion = 3;

// A message the system shows, on stderr as "[kind] text" (the text's own blanks kept);
// information messages (the wizard's hints) are left out with --quiet.
void ShowMessage(CliContext& context, int kind, std::string_view text);

// Status and progress on one rewritten stderr line, only when stderr is a terminal and --quiet
// was not given: percentage, rate, time elapsed and time left, then the status text; at most ten
// redraws a second. Panel values are not shown.
class TerminalProgress : public core::ProgressSink
{
public:
    explicit TerminalProgress(const CliContext& context);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void Status(std::string_view text) override;
    void Progress(int percent) override;
    void Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit) override;
    // Ends the line so that later output starts on a fresh one.
    void Finish();

private:
    void Draw(bool force);

    std::FILE* m_to;
    bool m_enabled;
    std::string m_status;
    core::RateMeter m_meter;
    long long m_lastDrawMs = 0;
    bool m_drawn = false;
};

// While it lives, SIGINT (Ctrl-C) only requests a stop through `flag`; the earlier handler comes
// back when it ends.
class StopOnInterrupt
{
public:
    explicit StopOnInterrupt(core::StopFlag& flag);
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

private:
    void (*m_previous)(int) = nullptr;
};

// Opens drive `drive` of the session (started on first use). Empty after printing why, with
// `exitCode` set.
Session* OpenDrive(CliContext& context, std::string_view command, std::uint64_t drive, int& exitCode);

// Lists the partitions of the open drive as the wizard does: tables at sectors 0, 0, 61 and 62;
// when none lists anything, " No partitions found, going to make a quick search for missing
// partitions" and the quick search (Ctrl-C stops it).
void ListPartitions(CliContext& context, Session& session, partitions::PartitionList& list,
                    partitions::PartitionTree& tree);

// The quick search on the open drive with terminal progress and Ctrl-C as Stop.
void SearchPartitions(CliContext& context, Session& session, partitions::PartitionList& list,
                      partitions::PartitionTree& tree);

// The listed partitions: per record its 1-based position, item text, startSector, sectorCount,
// fsType and the four values of the partition rows of the information panel. Text: a header
// and one tab-separated line each; JSON: {"partitions": [...]}.
void PrintPartitions(CliContext& context, const partitions::PartitionList& list, bool json);

// Everything a scanned partition leaves: the partition list it was chosen from, the catalog, the
// $MFT run table, the folder tree and the volume's $UpCase table (none when it could not be read:
// names are then compared through the built-in case map).
struct ScannedPartition
{
    partitions::PartitionList partitions;
    partitions::PartitionTree partitionTree;
    catalog::Catalog catalog;
    ntfs::MftRunTable runTable;
    ntfs::FolderTree folderTree;
    ntfs::StandardScanResult result;
    std::optional<core::UpCaseTable> upCase;

    const core::UpCaseTable* UpCase() const noexcept { return upCase ? &*upCase : nullptr; }
};

// Opens `drive`, lists its partitions, selects partition `partition` (1-based, as in its item
// text) and runs the Standard Scan on it, Ctrl-C standing for Stop. A FAT partition gets the
// wizard's FAT message; failed parameters get their message. The closing information message
// follows a finished or stopped scan. Returns kExitOk when the scan ran (finished or stopped) and
// `out` holds its catalog; otherwise the exit code after printing why.
int ScanPartitionOfDrive(CliContext& context, std::string_view command, std::uint64_t drive,
                         std::uint64_t partition, ScannedPartition& out);

// The two halves of ScanPartitionOfDrive. The first opens `drive`, lists its partitions and
// selects partition `partition` into out.catalog.scanTarget, returning kExitOk only for an NTFS
// partition (otherwise the exit code after printing why); the second runs the Standard Scan on
// it through the session the first opened.
int SelectPartitionOfDrive(CliContext& context, std::string_view command, std::uint64_t drive,
                           std::uint64_t partition, ScannedPartition& out);
int ScanSelectedPartition(CliContext& context, ScannedPartition& out);

}  // namespace cli

// dravik-cli recover: "Recover Selected" / "Recover All" of a scanned partition or a loaded
// snapshot into a destination folder, one line per file and the closing totals.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/advance_flow.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/name_text.h"
#include "cli/scan_flow.h"
#include "cli/tree_print.h"
#include "core/messages.h"
#include "core/ntfs_names.h"
#include "ntfs/live_path.h"
#include "ntfs/shown_volume.h"
#include "partitions/partition_list.h"
#include "recovery/batch_recovery.h"
#include "recovery/batch_report.h"
#include "recovery/file_report.h"
#include "recovery/recovery_settings.h"
#include "recovery/upcase_reader.h"
#include "shell/name_patterns.h"
#include "snapshot/snapshot_file.h"

namespace cli {

namespace {

constexpr const char* kRecoverUsage =
    "usage: dravik-cli recover --to DIR ([--drive N] --partition K | [--drive N] --snapshot FILE\n"
    "                                    | [--drive N] [--start S --end E | --partition K] --fs K) (PATH... | --all)\n"
    "       [--deleted include|only|exclude] [--min-recoverable 0..100] [--duplicates rename|overwrite|skip]\n"
    "       [--filter PATTERN]...\n"
    "       [--on-error continue|stop] [--chunk 1..100] [--retries 1..10] [--jobs 1..4] [--json] [--report FILE]\n"
    "  --min-recoverable N  only deleted files at least N% recoverable (files not rated, or whose rating is\n"
    "                       not known, as after loading a snapshot, are copied)\n"
    "  --jobs N  files copied at once (default: one per core, at most 4; always 1 in BIOS access mode)\n"
    "  --report FILE  one line per file (CSV, or JSON Lines when FILE ends in .jsonl): source path, output\n"
    "                 path, size, status, unreadable sectors, SHA-256 of the bytes written (computed while\n"
    "                 writing: image files are then copied through user space, not inside the kernel)\n";

int Usage(CliContext& context, const std::string& problem)
{
    std::fprintf(context.err, "dravik-cli recover: %s\n%s", problem.c_str(), kRecoverUsage);
    return kExitUsage;
}

struct RecoverArgs
{
    std::uint64_t drive = 0;
    std::uint64_t partition = 0;
    AdvanceOptions advance;  // --fs: recover from a file system the Advance Scan found
    std::string snapshotFile;
    std::string to;
    std::vector<std::string> paths;
    bool all = false;
    recovery::RecoverySettings settings;
    shell::FilterPatterns filters;
    bool stopOnError = false;
    std::optional<std::uint32_t> chunk;
    std::optional<std::uint16_t> retries;
    std::optional<unsigned> jobs;
    bool json = false;
    std::string report;  // --report FILE
};

// Ctrl-C during the copy: the interrupt flag is turned into stopRequested whenever the copy
// reports progress (every file and every per cent of a file).
class RecoverProgress : public core::ProgressSink
{
public:
    RecoverProgress(TerminalProgress& terminal, core::StopFlag& interrupt, recovery::RecoveryState& state)
        : m_terminal(terminal), m_interrupt(interrupt), m_state(state)
    {
    }
    void Progress(int percent) override
    {
        Poll();
        m_terminal.Progress(percent);
    }
    void PanelValue(int row, std::string_view text) override
    {
        Poll();
        if (row == recovery::kSaveRowPath) {
            m_terminal.Status(text);  // escaped there
        }
    }
    void Amount(std::uint64_t done, std::uint64_t total, core::AmountUnit unit) override
    {
        m_terminal.Amount(done, total, unit);
    }

private:
    void Poll()
    {
        if (m_interrupt.IsSet()) {
            m_state.stopRequested.store(true);
        }
    }
    TerminalProgress& m_terminal;
    core::StopFlag& m_interrupt;
    recovery::RecoveryState& m_state;
};

using recovery::OutcomeText;

// Adds what `path` names in the shown volume to the selection (the root: everything); false when
// nothing matches. Several entries of a folder may carry one name: a deleted file or folder beside
// the live one that took its name, or names that read alike once each UTF-16 unit is cut to its low
// byte. A path names the first live entry in catalog order, and a deleted one only when nothing
// live carries the name: what a listing of the live volume shows, and what the quick route through
// the directory indexes finds.
bool Select(const ntfs::ShownVolume& volume, std::string_view path, recovery::BatchSelection& selection)
{
    const auto entry = volume.Resolve(path);
    if (!entry) {
        return false;
    }
    switch (entry->type) {
    case ntfs::ShownEntry::Type::Root:
        selection.all = true;
        break;
    case ntfs::ShownEntry::Type::Folder:
        selection.folders.push_back(entry->position);
        break;
    case ntfs::ShownEntry::Type::File:
        selection.files.push_back(entry->position);
        break;
    }
    return true;
}

// The quick route of "recover --partition K PATH...": when every PATH names a live file the
// directory indexes lead to, those files go into the catalog of `scan` as the Standard Scan
// would list them, without the scan, and their positions come back in PATH order (one position
// per record, as the catalog's paths give). Empty otherwise, with `scan` as it was, so that the
// full scan follows and decides what each PATH means.
std::optional<std::vector<std::size_t>> SelectLiveFiles(disk::DiskState& disk, const std::vector<std::string>& paths,
                                                        ScannedPartition& scan)
{
    catalog::Catalog& catalog = scan.catalog;
    const catalog::VolumeParams before = catalog.volumeParams;
    const auto fallBack = [&]() -> std::optional<std::vector<std::size_t>> {
        catalog.volumeParams = before;
        scan.runTable.Clear();
        return std::nullopt;
    };
    if (paths.empty() || !ntfs::ComputeNtfsParameters(disk, catalog.scanTarget, catalog.volumeParams)) {
        return fallBack();
    }
    const catalog::VolumeParams& v = catalog.volumeParams;
    if (ntfs::BuildMftRunTable(disk, v.clusterBase, ntfs::MftSectorOf(v.mftSector), v.sectorsPerCluster,
                               scan.runTable, ntfs::MftLastSector(disk, catalog)) != ntfs::RunTableOutcome::Complete) {
        return fallBack();
    }
    std::vector<catalog::NtfsFileEntry> entries;
    std::vector<std::size_t> positions;
    for (const std::string& path : paths) {
        auto entry = ntfs::ResolveLiveFile(disk, v, scan.runTable, path);
        if (!entry) {
            return fallBack();
        }
        const auto same = std::find_if(entries.begin(), entries.end(),
                                       [&](const catalog::NtfsFileEntry& e) { return e.record == entry->record; });
        positions.push_back(static_cast<std::size_t>(same - entries.begin()));
        if (same == entries.end()) {
            entries.push_back(std::move(*entry));
        }
    }
    for (catalog::NtfsFileEntry& entry : entries) {
        catalog.AddNtfsFile(std::move(entry));
        ++catalog.fileCount;
    }
    return positions;
}

void PrintSummary(CliContext& context, const recovery::BatchSummary& s)
{
    std::fputs(recovery::SummaryText(s).c_str(), context.out);
}

}  // namespace

int RunRecover(CliContext& context, std::span<const std::string> args)
{
    RecoverArgs a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        std::string problem;
        const OptionParse taken = ParseAdvanceOption(args, i, a.advance, problem);
        if (taken == OptionParse::Invalid)
            return Usage(context, problem);
        if (taken == OptionParse::Taken)
            continue;
        if (arg == "--drive") {
            const auto n = hasValue ? ParseUnsigned(args[++i]) : std::nullopt;
            if (!n)
                return Usage(context, "--drive needs a drive number");
            a.drive = *n;
        } else if (arg == "--snapshot" && hasValue) {
            a.snapshotFile = args[++i];
        } else if (arg == "--to" && hasValue) {
            a.to = args[++i];
        } else if (arg == "--all") {
            a.all = true;
        } else if (arg == "--deleted" && hasValue) {
            ++i;
            if (value == "include")
                a.settings.deletedPolicy = recovery::DeletedPolicy::Include;
            else if (value == "only")
                a.settings.deletedPolicy = recovery::DeletedPolicy::OnlyDeleted;
            else if (value == "exclude")
                a.settings.deletedPolicy = recovery::DeletedPolicy::Exclude;
            else
                return Usage(context, "--deleted takes include, only or exclude");
        } else if (arg == "--duplicates" && hasValue) {
            ++i;
            if (value == "rename")
                a.settings.duplicatePolicy = recovery::DuplicatePolicy::Rename;
            else if (value == "overwrite")
                a.settings.duplicatePolicy = recovery::DuplicatePolicy::Overwrite;
            else if (value == "skip")
                a.settings.duplicatePolicy = recovery::DuplicatePolicy::Skip;
            else
                return Usage(context, "--duplicates takes rename, overwrite or skip");
        } else if (arg == "--filter" && hasValue) {
            if (a.filters.Add(args[++i]) != shell::FilterPatterns::AddOutcome::Added)
                return Usage(context, "the pattern '" + args[i] + "' cannot be stored (1 to 19 characters, at most 99)");
        } else if (arg == "--on-error" && hasValue) {
            ++i;
            if (value != "continue" && value != "stop")
                return Usage(context, "--on-error takes continue or stop");
            a.stopOnError = value == "stop";
        } else if (arg == "--min-recoverable" && hasValue) {
            const auto minimum = recovery::ParseMinRecoverable(args[++i]);
            if (!minimum)
                return Usage(context, "--min-recoverable takes a number from 0 to 100");
            a.settings.minRecoverable = *minimum;
        } else if (arg == "--retries" && hasValue) {
            a.retries = recovery::ParseReadRetryCount(args[++i]);
            if (!a.retries)
                return Usage(context, std::string(core::msg::kRetriesOptionRange));
        } else if (arg == "--jobs" && hasValue) {
            const auto n = ParseUnsigned(args[++i]);
            if (!n || *n < 1 || *n > recovery::kMaxRecoveryWorkers)
                return Usage(context, "--jobs takes a number from 1 to 4");
            a.jobs = static_cast<unsigned>(*n);
        } else if (arg == "--json") {
            a.json = true;
        } else if (arg == "--report" && hasValue) {
            a.report = args[++i];
            if (a.report.empty())
                return Usage(context, "--report needs a file name");
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(context, "unknown or incomplete option '" + arg + "'");
        } else {
            a.paths.push_back(arg);
        }
    }
    a.chunk = a.advance.chunk;
    const bool found = a.advance.fileSystem.has_value();
    if (a.to.empty())
        return Usage(context, "--to DIR is needed");
    if (found) {
        if (!a.snapshotFile.empty())
            return Usage(context, "--fs and --snapshot exclude each other");
        if (const auto problem = CheckAdvanceOptions(a.advance))
            return Usage(context, *problem);
    } else {
        if (a.advance.start || a.advance.end)
            return Usage(context, "--start and --end need --fs");
        a.partition = a.advance.partition.value_or(0);
        if (a.partition > partitions::kMaxGptPartitions)
            return Usage(context, "--partition needs a partition number from 1 to 128");
        if ((a.partition == 0) == a.snapshotFile.empty())
            return Usage(context, "either --partition or --snapshot is needed, not both");
    }
    if (a.all == !a.paths.empty())
        return Usage(context, "give either PATH... or --all");

    auto scan = std::make_unique<ScannedPartition>();
    std::unique_ptr<AdvanceScan> advance;
    Session* session = nullptr;
    ntfs::ShownKind kind = ntfs::ShownKind::NtfsLists;
    core::Sector lastSector = 0;
    if (found) {
        // Found files are read from their own record's runs, and through the mounted volume's
        // $MFT map where the analysis located it.
        advance = std::make_unique<AdvanceScan>();
        int exitCode = kExitOk;
        session = OpenDrive(context, "recover", a.drive, exitCode);
        if (session == nullptr)
            return exitCode;
        if (const int code = RunAdvanceFlow(context, "recover", *session, a.advance, *advance); code != kExitOk)
            return code;
        kind = ntfs::ShownKind::MountedFound;
        lastSector = advance->catalog.volumeParams.endSector;
        advscan::MapMountedMft(session->Disk(), advance->catalog.volumeParams, scan->runTable);
    }
    catalog::Catalog& catalog = found ? advance->catalog : scan->catalog;
    std::optional<std::vector<std::size_t>> liveFiles;
    if (!found && a.snapshotFile.empty()) {
        if (const int code = SelectPartitionOfDrive(context, "recover", a.drive, a.partition, *scan); code != kExitOk)
            return code;
        int exitCode = kExitOk;
        session = context.OpenSession(exitCode);
        if (session != nullptr && !a.all)
            liveFiles = SelectLiveFiles(session->Disk(), a.paths, *scan);
        if (!liveFiles) {
            if (const int code = ScanSelectedPartition(context, *scan); code != kExitOk)
                return code;
            session = context.OpenSession(exitCode);
        }
        lastSector = catalog.scanTarget.scanEndSector;
    } else if (!found) {
        const snapshot::LoadResult loaded = snapshot::LoadSnapshot(a.snapshotFile, catalog);
        if (loaded.outcome != snapshot::LoadOutcome::Loaded) {
            ShowMessage(context, kMessageError, loaded.message);
            return kExitUsage;
        }
        int exitCode = kExitOk;
        session = OpenDrive(context, "recover", a.drive, exitCode);
        if (session == nullptr)
            return exitCode;
        const catalog::VolumeParams& v = catalog.volumeParams;
        // A loaded catalog holding found files but no NTFS files is the catalog of a mount.
        kind = ntfs::ShownKindOf(v.type, !catalog.FoundFiles().empty() && catalog.NtfsFiles().empty());
        if (kind == ntfs::ShownKind::FatLists || kind == ntfs::ShownKind::MountedFound) {
            lastSector = v.endSector;
        } else if (v.mftSector != 0) {
            lastSector = catalog.scanTarget.scanEndSector;
            ntfs::BuildMftRunTable(session->Disk(), v.clusterBase, ntfs::MftSectorOf(v.mftSector), v.sectorsPerCluster,
                                   scan->runTable, ntfs::MftLastSector(session->Disk(), catalog));
        }
    }
    if (session == nullptr)
        return kExitDisk;
    disk::DiskState& disk = session->Disk();
    if (!scan->upCase)
        scan->upCase = recovery::ReadVolumeUpCase(disk, catalog.volumeParams, scan->runTable);
    if (a.chunk)
        disk.readChunkSectors = *a.chunk;
    if (a.retries)
        disk.readRetryCount = *a.retries;

    recovery::BatchSelection selection;
    selection.all = a.all;
    const ntfs::ShownVolume volume(catalog, kind);
    if (liveFiles) {
        selection.files = std::move(*liveFiles);
    } else {
        for (const std::string& p : a.paths) {
            if (!Select(volume, p, selection)) {
                std::fprintf(context.err, "dravik-cli recover: nothing at '%s'\n", p.c_str());
                return kExitUsage;
            }
        }
    }

    recovery::RecoveryState state;
    TerminalProgress terminal(context);
    core::StopFlag interrupt;
    RecoverProgress progress(terminal, interrupt, state);
    recovery::ExtractionContext extraction;
    extraction.volume = catalog.volumeParams;
    extraction.lastSector = lastSector;
    extraction.mftMap = scan->runTable.Count() != 0 ? &scan->runTable : nullptr;
    extraction.settings = a.settings;
    extraction.admit = [&a, upCase = scan->UpCase()](std::string_view name) {
        return shell::AdmitByFilters(a.filters, name, upCase);
    };
    extraction.askContinue = [&context, &a](std::string_view message) {
        ShowMessage(context, kMessageQuestion, EscapeControls(message));  // the path holds names
        const std::string_view answer = a.stopOnError ? core::msg::kCliAnswerStop : core::msg::kCliAnswerContinue;
        std::fprintf(context.err, "%.*s\n", static_cast<int>(answer.size()), answer.data());
        return !a.stopOnError;
    };
    extraction.sink = &progress;
    extraction.hashOutput = !a.report.empty();
    recovery::ReportWriter reportWriter;
    if (!a.report.empty() && !reportWriter.Open(a.report)) {
        std::fprintf(context.err, "dravik-cli recover: %s%s\n", core::msg::kReportNotSaved.data(), a.report.c_str());
        return kExitUsage;
    }
    recovery::Extractor extractor(disk, state, std::move(extraction));

    JsonWriter json;
    bool firstJson = true;
    if (a.json)
        std::fputs("{\"files\":[", context.out);
    const recovery::BatchObserver observer = [&](const recovery::BatchEvent& e) {
        const recovery::ExtractResult& r = e.result;
        if (!a.report.empty())
            reportWriter.Add(e);
        if (a.json) {
            JsonWriter row;
            row.BeginObject()
                .Field("path", e.relativePath)
                .Field("folder", e.folder)
                .Field("outcome", OutcomeText(r))
                .Field("output", r.path.string())
                .Field("bytes", r.bytesWritten)
                .Field("unreadableSectors", r.unreadableSectors)
                .Field("incomplete", r.incomplete)
                .Field("partial", r.partial)
                .EndObject();
            std::fputs(firstJson ? "\n" : ",\n", context.out);
            std::fputs(row.Text().c_str(), context.out);
            firstJson = false;
            return;
        }
        std::string line = std::string(OutcomeText(r)) + "\t" + EscapeControls(e.relativePath);
        if (r.renamed || r.partial)
            line += "\t-> " + EscapeControls(r.name);
        if (r.unreadableSectors != 0)
            line += "\t(" + std::to_string(r.unreadableSectors) + " unreadable sectors written as zeros)";
        if (r.incomplete)
            line += "\t(incomplete: clusters not found or not decodable written as zeros)";
        std::fprintf(context.out, "%s\n", line.c_str());
    };
    recovery::BatchSummary summary;
    {
        StopOnInterrupt stopOnInterrupt(interrupt);
        const unsigned workers = disk.accessMode == 'N' ? a.jobs.value_or(recovery::DefaultRecoveryWorkers(disk)) : 1;
        summary = recovery::RecoverBatch(extractor, state, volume, selection, a.to, observer, workers);
    }
    terminal.Finish();
    if (!a.report.empty() && !reportWriter.Close()) {
        std::fprintf(context.err, "dravik-cli recover: %s%s\n", core::msg::kReportNotSaved.data(), a.report.c_str());
        return kExitNotAllWritten;
    }
    if (a.json) {
        JsonWriter tail;
        tail.BeginObject()
            .Field("written", summary.written)
            .Field("renamed", summary.renamed)
            .Field("skipped", summary.skipped)
            .Field("errors", summary.errors)
            .Field("cutShort", summary.cutShort)
            .Field("partial", summary.partial)
            .Field("withUnreadableSectors", summary.withUnreadableSectors)
            .Field("incomplete", summary.incomplete)
            .Field("foldersCreated", summary.foldersCreated)
            .Field("stopped", summary.stopped)
            .EndObject();
        std::fprintf(context.out, "],\"summary\":%s}\n", tail.Text().c_str());
    } else {
        PrintSummary(context, summary);
    }
    return summary.AllWritten() ? kExitOk : kExitNotAllWritten;
}

}  // namespace cli

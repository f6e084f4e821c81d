// dravik-cli recover: "Recover Selected" / "Recover All" of a scanned partition or a loaded
// snapshot into a destination folder, one line per file and the closing totals.
#include <algorithm>
#include <cinttypes>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/advance_flow.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/scan_flow.h"
#include "cli/tree_print.h"
#include "core/messages.h"
#include "core/ntfs_names.h"
#include "ntfs/live_path.h"
#include "partitions/partition_list.h"
#include "recovery/batch_recovery.h"
#include "recovery/recovery_settings.h"
#include "shell/name_patterns.h"
#include "snapshot/snapshot_file.h"

namespace cli {

namespace {

constexpr int kExitNotAllWritten = 3;

constexpr const char* kRecoverUsage =
    "usage: dravik-cli recover --to DIR ([--drive N] --partition K | [--drive N] --snapshot FILE\n"
    "                                    | [--drive N] [--start S --end E | --partition K] --fs K) (PATH... | --all)\n"
    "       [--deleted include|only|exclude] [--duplicates rename|overwrite|skip] [--filter PATTERN]...\n"
    "       [--on-error continue|stop] [--chunk 1..100] [--retries 1..10] [--jobs 1..4] [--json]\n"
    "  --jobs N  files copied at once (default: one per core, at most 4; always 1 in BIOS access mode)\n";

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
            m_terminal.Status(text);
        }
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

const char* OutcomeText(const recovery::ExtractResult& r)
{
    using recovery::ExtractOutcome;
    switch (r.outcome) {
    case ExtractOutcome::Written:
        return r.renamed ? "renamed" : "written";
    case ExtractOutcome::CutByStop:
        return "stopped";
    case ExtractOutcome::CutBySkip:
        return "cut short";
    case ExtractOutcome::NotStarted:
        return "not started";
    case ExtractOutcome::EmptyFile:
        return "skipped: empty file";
    case ExtractOutcome::FilteredOut:
        return "skipped: filtered out";
    case ExtractOutcome::ExcludedDeleted:
        return "skipped: deleted-file setting";
    case ExtractOutcome::DuplicateSkipped:
        return "skipped: duplicate";
    case ExtractOutcome::NoDataAttribute:
        return "error: no data attribute";
    case ExtractOutcome::ResidentTooLarge:
        return "error: resident data shorter than the size";
    case ExtractOutcome::NoDecodableRun:
        return "error: no data run";
    case ExtractOutcome::CreateFailed:
        return "error: cannot create";
    case ExtractOutcome::WriteFailed:
        return "error: write failed";
    }
    return "unknown";
}

// The folder key of the root and of a folder entry, per source.
struct CatalogPaths
{
    const ntfs::Catalog& catalog;
    recovery::BatchSource source;
    const ntfs::FolderTree* mountedTree = nullptr;  // found files: paths go through the mounted tree

    bool Fat() const { return source == recovery::BatchSource::FatFiles; }
    std::uint32_t Root() const { return Fat() ? 0 : 5; }

    // Several entries of a folder may carry one name: a deleted file or folder beside the live
    // one that took its name, or names that read alike once each UTF-16 unit is cut to its low
    // byte. A path names the first live entry in catalog order, and a deleted one only when
    // nothing live carries the name: what a listing of the live volume shows, and what the quick
    // route through the directory indexes finds.
    std::optional<std::size_t> ChildFolder(std::uint32_t key, std::string_view utf8, bool deleted) const
    {
        const auto range = Fat() ? catalog.FatFoldersWithParent(key) : catalog.NtfsFoldersWithParent(key);
        for (const std::size_t p : range) {
            const bool isDeleted = Fat() ? catalog.FatFolders()[p].deleted != 0 : catalog.NtfsFolders()[p].deleted != 0;
            const std::string& name = Fat() ? catalog.FatFolders()[p].name : catalog.NtfsFolders()[p].name;
            if (isDeleted == deleted && name == utf8) {
                return p;
            }
        }
        return std::nullopt;
    }
    std::optional<std::size_t> ChildFile(std::uint32_t key, std::string_view utf8, bool deleted) const
    {
        if (Fat()) {
            for (const std::size_t p : catalog.FatFilesWithParent(key)) {
                const ntfs::FatFileEntry& f = catalog.FatFiles()[p];
                if ((f.deleted != 0) == deleted && f.name == utf8) {
                    return p;
                }
            }
        } else if (source == recovery::BatchSource::FoundFiles) {
            const ntfs::VolumeParams& v = catalog.volumeParams;
            for (const std::size_t p : catalog.FoundFilesWithParent(key)) {
                const ntfs::FoundFileRecord& f = catalog.FoundFiles()[p];
                if (f.sector > v.clusterBase && f.sector <= v.endSector && (f.deleted != 0) == deleted &&
                    f.name == utf8) {
                    return p;
                }
            }
        } else {
            for (const std::size_t p : catalog.NtfsFilesWithParent(key)) {
                const ntfs::NtfsFileEntry& f = catalog.NtfsFiles()[p];
                if ((f.deleted != 0) == deleted && f.name == utf8) {
                    return p;
                }
            }
        }
        return std::nullopt;
    }
    std::optional<std::size_t> ChildFolder(std::uint32_t key, std::string_view utf8) const
    {
        const auto live = ChildFolder(key, utf8, false);
        return live ? live : ChildFolder(key, utf8, true);
    }
    std::optional<std::size_t> ChildFile(std::uint32_t key, std::string_view utf8) const
    {
        const auto live = ChildFile(key, utf8, false);
        return live ? live : ChildFile(key, utf8, true);
    }
    std::uint32_t KeyOf(std::size_t folder) const
    {
        return Fat() ? catalog.FatFolders()[folder].cluster : catalog.NtfsFolders()[folder].record;
    }

    // A mounted file system's path, resolved as advance-scan --ls resolves it: folders through the
    // tree (placeholders included), a file among the found files of its folder.
    bool SelectMounted(std::string_view path, recovery::BatchSelection& selection) const
    {
        const ntfs::FolderTree& tree = *mountedTree;
        if (const auto item = ResolveTreePath(tree, path)) {
            if (*item == tree.Root()) {
                selection.all = true;
                return true;
            }
            if (const auto folder = catalog.NtfsFolderWithTreeItem(*item)) {
                selection.folders.push_back(*folder);
                return true;
            }
            return false;
        }
        while (!path.empty() && path.back() == '/') {
            path.remove_suffix(1);
        }
        const std::size_t slash = path.rfind('/');
        const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        const auto parent = ResolveTreePath(tree, slash == std::string_view::npos ? std::string_view() : path.substr(0, slash));
        const auto record = parent ? NtfsRecordOfItem(catalog, tree, *parent) : std::nullopt;
        if (!record || name.empty()) {
            return false;
        }
        if (const auto file = ChildFile(*record, name)) {
            selection.files.push_back(*file);
            return true;
        }
        return false;
    }

    // Adds what `path` names to the selection (the root: everything); false when nothing matches.
    bool Select(std::string_view path, recovery::BatchSelection& selection) const
    {
        if (mountedTree != nullptr) {
            return SelectMounted(path, selection);
        }
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t slash = std::min(path.find('/', start), path.size());
            if (slash > start) {
                parts.emplace_back(path.substr(start, slash - start));
            }
            start = slash + 1;
        }
        if (parts.empty()) {
            selection.all = true;
            return true;
        }
        std::uint32_t key = Root();
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            const auto folder = ChildFolder(key, parts[i]);
            if (!folder) {
                return false;
            }
            key = KeyOf(*folder);
        }
        // A folder before a file of the same name, a live one before a deleted one.
        for (const bool deleted : {false, true}) {
            if (const auto folder = ChildFolder(key, parts.back(), deleted)) {
                selection.folders.push_back(*folder);
                return true;
            }
            if (const auto file = ChildFile(key, parts.back(), deleted)) {
                selection.files.push_back(*file);
                return true;
            }
        }
        return false;
    }
};

// The quick route of "recover --partition K PATH...": when every PATH names a live file the
// directory indexes lead to, those files go into the catalog of `scan` as the Standard Scan
// would list them, without the scan, and their positions come back in PATH order (one position
// per record, as the catalog's paths give). Empty otherwise, with `scan` as it was, so that the
// full scan follows and decides what each PATH means.
std::optional<std::vector<std::size_t>> SelectLiveFiles(disk::DiskState& disk, const std::vector<std::string>& paths,
                                                        ScannedPartition& scan)
{
    ntfs::Catalog& catalog = scan.catalog;
    const ntfs::VolumeParams before = catalog.volumeParams;
    const auto fallBack = [&]() -> std::optional<std::vector<std::size_t>> {
        catalog.volumeParams = before;
        scan.runTable.Clear();
        return std::nullopt;
    };
    if (paths.empty() || !ntfs::ComputeNtfsParameters(disk, catalog.scanTarget, catalog.volumeParams)) {
        return fallBack();
    }
    const ntfs::VolumeParams& v = catalog.volumeParams;
    if (ntfs::BuildMftRunTable(disk, v.clusterBase, ntfs::MftSectorOf(v.mftSector), v.sectorsPerCluster,
                               scan.runTable) != ntfs::RunTableOutcome::Complete) {
        return fallBack();
    }
    std::vector<ntfs::NtfsFileEntry> entries;
    std::vector<std::size_t> positions;
    for (const std::string& path : paths) {
        auto entry = ntfs::ResolveLiveFile(disk, v, scan.runTable, path);
        if (!entry) {
            return fallBack();
        }
        const auto same = std::find_if(entries.begin(), entries.end(),
                                       [&](const ntfs::NtfsFileEntry& e) { return e.record == entry->record; });
        positions.push_back(static_cast<std::size_t>(same - entries.begin()));
        if (same == entries.end()) {
            entries.push_back(std::move(*entry));
        }
    }
    for (ntfs::NtfsFileEntry& entry : entries) {
        catalog.AddNtfsFile(std::move(entry));
        ++catalog.fileCount;
    }
    return positions;
}

void PrintSummary(CliContext& context, const recovery::BatchSummary& s)
{
    std::fprintf(context.out,
                 "written: %" PRIu32 "\nrenamed: %" PRIu32 "\nskipped: %" PRIu32 "\nerrors: %" PRIu32
                 "\ncut short: %" PRIu32 "\nwith unreadable sectors: %" PRIu32 "\nincomplete: %" PRIu32
                 "\nfolders created: %" PRIu32 "\nstopped: %s\n",
                 s.written, s.renamed, s.skipped, s.errors, s.cutShort, s.withUnreadableSectors, s.incomplete,
                 s.foldersCreated, s.stopped ? "yes" : "no");
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
        if (a.partition > partitions::kMaxPartitions)
            return Usage(context, "--partition needs a partition number from 1 to 25");
        if ((a.partition == 0) == a.snapshotFile.empty())
            return Usage(context, "either --partition or --snapshot is needed, not both");
    }
    if (a.all == !a.paths.empty())
        return Usage(context, "give either PATH... or --all");

    auto scan = std::make_unique<ScannedPartition>();
    std::unique_ptr<AdvanceScan> advance;
    Session* session = nullptr;
    recovery::BatchSource source = recovery::BatchSource::NtfsFiles;
    core::Sector lastSector = 0;
    if (found) {
        // Found files carry no $MFT map: each is read from its own record's runs.
        advance = std::make_unique<AdvanceScan>();
        int exitCode = kExitOk;
        session = OpenDrive(context, "recover", a.drive, exitCode);
        if (session == nullptr)
            return exitCode;
        if (const int code = RunAdvanceFlow(context, "recover", *session, a.advance, *advance); code != kExitOk)
            return code;
        source = recovery::BatchSource::FoundFiles;
        lastSector = advance->catalog.volumeParams.endSector;
    }
    ntfs::Catalog& catalog = found ? advance->catalog : scan->catalog;
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
        const ntfs::VolumeParams& v = catalog.volumeParams;
        if (v.type == core::kFsFat16 || v.type == core::kFsFat32) {
            source = recovery::BatchSource::FatFiles;
        } else if (!catalog.FoundFiles().empty() && catalog.NtfsFiles().empty()) {
            source = recovery::BatchSource::FoundFiles;
            lastSector = v.endSector;
        } else if (v.mftSector != 0) {
            lastSector = catalog.scanTarget.scanEndSector;
            ntfs::BuildMftRunTable(session->Disk(), v.clusterBase, ntfs::MftSectorOf(v.mftSector), v.sectorsPerCluster,
                                   scan->runTable);
        }
        if (source == recovery::BatchSource::FatFiles) {
            lastSector = v.endSector;
        }
    }
    if (session == nullptr)
        return kExitDisk;
    disk::DiskState& disk = session->Disk();
    if (a.chunk)
        disk.readChunkSectors = *a.chunk;
    if (a.retries)
        disk.readRetryCount = *a.retries;

    recovery::BatchSelection selection;
    selection.all = a.all;
    const CatalogPaths paths{catalog, source, found ? &advance->folderTree : nullptr};
    if (liveFiles) {
        selection.files = std::move(*liveFiles);
    } else {
        for (const std::string& p : a.paths) {
            if (!paths.Select(p, selection)) {
                std::fprintf(context.err, "dravik-cli recover: nothing at '%s'\n", p.c_str());
                return kExitUsage;
            }
        }
    }

    recovery::RecoveryState state;
    TerminalProgress terminal(context.err);
    core::StopFlag interrupt;
    RecoverProgress progress(terminal, interrupt, state);
    recovery::ExtractionContext extraction;
    extraction.volume = catalog.volumeParams;
    extraction.lastSector = lastSector;
    extraction.mftMap = scan->runTable.Count() != 0 ? &scan->runTable : nullptr;
    extraction.settings = a.settings;
    extraction.admit = [&a](std::string_view name) { return shell::AdmitByFilters(a.filters, name); };
    extraction.askContinue = [&context, &a](std::string_view message) {
        ShowMessage(context, kMessageQuestion, message);
        std::fprintf(context.err, "%s\n", a.stopOnError ? "&No" : "&Yes");
        return !a.stopOnError;
    };
    extraction.sink = &progress;
    recovery::Extractor extractor(disk, state, std::move(extraction));

    JsonWriter json;
    bool firstJson = true;
    if (a.json)
        std::fputs("{\"files\":[", context.out);
    const recovery::BatchObserver observer = [&](const recovery::BatchEvent& e) {
        const recovery::ExtractResult& r = e.result;
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
                .EndObject();
            std::fputs(firstJson ? "\n" : ",\n", context.out);
            std::fputs(row.Text().c_str(), context.out);
            firstJson = false;
            return;
        }
        std::string line = std::string(OutcomeText(r)) + "\t" + e.relativePath;
        if (r.renamed)
            line += "\t-> " + r.name;
        if (r.unreadableSectors != 0)
            line += "\t(" + std::to_string(r.unreadableSectors) + " unreadable sectors written as zeros)";
        if (r.incomplete)
            line += "\t(incomplete: clusters not found written as zeros)";
        std::fprintf(context.out, "%s\n", line.c_str());
    };
    recovery::BatchSummary summary;
    {
        StopOnInterrupt stopOnInterrupt(interrupt);
        const unsigned workers = disk.accessMode == 'N' ? a.jobs.value_or(recovery::DefaultRecoveryWorkers(disk)) : 1;
        summary = recovery::RecoverBatch(extractor, state, catalog, source, selection, a.to, observer, workers);
    }
    terminal.Finish();
    if (a.json) {
        JsonWriter tail;
        tail.BeginObject()
            .Field("written", summary.written)
            .Field("renamed", summary.renamed)
            .Field("skipped", summary.skipped)
            .Field("errors", summary.errors)
            .Field("cutShort", summary.cutShort)
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

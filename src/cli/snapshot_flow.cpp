// Recovery snapshots for the commands of dravik-cli.
#include "cli/snapshot_flow.h"

#include <cinttypes>

#include "core/out_of_memory.h"
#include "core/types.h"
#include "ntfs/tree_builder.h"
#include "recovery/upcase_reader.h"
#include "snapshot/snapshot_file.h"
#include "snapshot/snapshot_finish.h"

namespace cli {

namespace {

// Why a rebuilt run table is not whole; empty when it is.
std::string_view RunTableProblem(ntfs::RunTableOutcome outcome)
{
    switch (outcome) {
    case ntfs::RunTableOutcome::Complete:
        return {};
    case ntfs::RunTableOutcome::NoRecord5:
        return "record 5 at the snapshot's $MFT position is not a FILE record";
    case ntfs::RunTableOutcome::NoRecord0:
        return "record 0 at the snapshot's $MFT position is not a FILE record";
    case ntfs::RunTableOutcome::NoDataAttribute:
        return "record 0 at the snapshot's $MFT position has no run list";
    case ntfs::RunTableOutcome::ExtensionRecordMissing:
        return "an extension record of the $MFT is not a FILE record";
    case ntfs::RunTableOutcome::RunsCut:
        return "the $MFT run list ends early";
    case ntfs::RunTableOutcome::TableFull:
        return "the $MFT has more runs than the table holds";
    }
    return "unknown outcome";
}

bool RunTableEmpty(ntfs::RunTableOutcome outcome)
{
    return outcome == ntfs::RunTableOutcome::NoRecord5 || outcome == ntfs::RunTableOutcome::NoRecord0 ||
           outcome == ntfs::RunTableOutcome::NoDataAttribute;
}

}  // namespace

std::uint32_t CountPlaceholderFolders(const catalog::Catalog& catalog)
{
    std::uint32_t count = 0;
    for (const catalog::NtfsFolderEntry& f : catalog.NtfsFolders()) {
        if (f.parent == ntfs::kRootRecord && f.created == 0 && f.changed == 0 && f.deleted == 0 &&
            ntfs::IsPlaceholderName(f.name)) {
            ++count;
        }
    }
    return count;
}

int LoadSnapshotOfDrive(CliContext& context, std::string_view command, const std::string& file, std::uint64_t drive,
                        ScannedPartition& out)
{
    const auto name = static_cast<int>(command.size());
    catalog::Catalog& catalog = out.catalog;
    const snapshot::LoadResult result = snapshot::LoadSnapshot(file, catalog);
    if (result.outcome != snapshot::LoadOutcome::Loaded) {
        ShowMessage(context, kMessageError, result.message);
        return kExitUsage;
    }
    if (catalog.volumeParams.type != core::kFsNtfs) {
        std::fprintf(context.err, "dravik-cli %.*s: %s holds a FAT catalog; only NTFS catalogs are shown\n", name,
                     command.data(), file.c_str());
        return kExitUsage;
    }

    // The drive is only read for the run table: a drive that cannot be opened leaves the table
    // empty, and the catalog is shown all the same.
    int openCode = kExitOk;
    Session* session = OpenDrive(context, command, drive, openCode);
    disk::DiskState noDrive;
    disk::DiskState& disk = session != nullptr ? session->Disk() : noDrive;

    snapshot::FinishResult finished;
    {
        TerminalProgress progress(context);
        finished = core::RunGuardedAgainstOom(
            [&] { return snapshot::FinishSnapshotLoad(disk, catalog, out.runTable, out.folderTree, progress); },
            [&](std::string_view text) {
                progress.Finish();
                ShowMessage(context, kMessageError, text);
            },
            kExitOutOfMemory);
        progress.Finish();
    }
    out.result = ntfs::StandardScanResult();
    out.result.runTable = finished.runTable.value_or(ntfs::RunTableOutcome::NoRecord5);
    out.result.rootRows = std::move(finished.rootRows);
    out.result.placeholders = CountPlaceholderFolders(catalog);
    out.upCase = recovery::ReadVolumeUpCase(disk, catalog.volumeParams, out.runTable);

    if (session == nullptr) {
        std::fprintf(context.err, "dravik-cli %.*s: the $MFT run table could not be rebuilt: no drive could be opened\n",
                     name, command.data());
    } else if (const std::string_view problem = RunTableProblem(out.result.runTable); !problem.empty()) {
        std::fprintf(context.err, "dravik-cli %.*s: the $MFT run table could %s be rebuilt from drive %" PRIu64 ": %.*s\n",
                     name, command.data(), RunTableEmpty(out.result.runTable) ? "not" : "only partly", drive,
                     static_cast<int>(problem.size()), problem.data());
    }
    return kExitOk;
}

int SaveSnapshotOfCatalog(CliContext& context, std::string_view command, const catalog::Catalog& catalog,
                          const std::string& chosen)
{
    const snapshot::SaveResult saved = snapshot::SaveSnapshot(catalog, chosen);
    switch (saved.outcome) {
    case snapshot::SaveOutcome::Saved:
        std::fprintf(context.err, "dravik-cli %.*s: snapshot saved as %s\n", static_cast<int>(command.size()),
                     command.data(), saved.path.c_str());
        return kExitOk;
    case snapshot::SaveOutcome::NameTooLong:
        ShowMessage(context, kMessageError, saved.message);
        return kExitUsage;
    case snapshot::SaveOutcome::OpenFailed:
    case snapshot::SaveOutcome::WriteFailed:
        break;
    }
    ShowMessage(context, kMessageError, saved.message);
    return kExitDisk;
}

}  // namespace cli

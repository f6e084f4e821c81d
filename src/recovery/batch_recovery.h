// Batch recovery: "Recover Selected" (chosen files, and chosen folders with everything below
// them) and "Recover All" (every entry of the shown file system), the folder structure recreated
// below the destination folder, folders before their files, and the closing summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "disk/disk_state.h"
#include "catalog/catalog.h"
#include "ntfs/shown_volume.h"
#include "recovery/file_extraction.h"

namespace recovery {

// Which lists hold the shown file system's entries (the kinds of ntfs::ShownVolume).
enum class BatchSource
{
    NtfsFiles,    // Standard Scan (or its snapshot): NTFS folders and files, root record 5
    FoundFiles,   // a file system mounted from the Advance Scan: NTFS folders, found files whose
                  // sector lies in it (clusterBase < sector <= endSector), root record 5
    FatFiles,     // FAT folders and files, root cluster 0
};

struct BatchSelection
{
    bool all = false;                  // Recover All: the root's folders and files
    std::vector<std::size_t> folders;  // positions in the NTFS (or FAT) folder list
    std::vector<std::size_t> files;    // positions in the volume's file list
};

struct BatchSummary
{
    std::uint32_t written = 0;          // whole files written (renamed ones included; not incomplete ones)
    std::uint32_t renamed = 0;          // written as "Copy (n ) of name"
    std::uint32_t skipped = 0;          // passed over: filters, deleted policy, duplicates, empty NTFS files
    std::uint32_t errors = 0;           // not written: no data, creation or write failed, folder not made
    std::uint32_t cutShort = 0;         // ended by Stop or Skip with the bytes written so far
    std::uint32_t partial = 0;          // cut short or failed while written: left as "NAME.partial"
    std::uint32_t withUnreadableSectors = 0;  // written with zeros for unreadable sectors
    std::uint32_t incomplete = 0;       // written with zeros where clusters could not be located or decoded
    std::uint32_t foldersCreated = 0;
    bool stopped = false;               // Stop (or "&No") ended the run before every entry was done

    // Every admitted file was written whole.
    bool AllWritten() const noexcept { return errors == 0 && cutShort == 0 && incomplete == 0 && !stopped; }
    // ... and every byte of them was read from the disk (no unreadable sector).
    bool AllWrittenWhole() const noexcept { return AllWritten() && withUnreadableSectors == 0; }
};

// One file or folder the run came to: its path below the destination (UTF-8, "/"-joined) and
// what became of it. Folders report only when they could not be made.
struct BatchEvent
{
    std::string relativePath;
    bool folder = false;
    ExtractResult result;   // files; for a folder outcome CreateFailed
};
using BatchObserver = std::function<void(const BatchEvent& event)>;

// How many files a batch copies at once from `disk`: one where reads are not known to be safe
// from several threads (the BIOS libraries of mode F, sources whose ConcurrentReads says no),
// else the machine's cores, at most kMaxRecoveryWorkers.
inline constexpr unsigned kMaxRecoveryWorkers = 4;
unsigned DefaultRecoveryWorkers(const disk::DiskState& disk);

// Runs a batch over the shown volume `volume`. Clears stopRequested and skipRequested, sets filesSaved to 0,
// makes the destination folder when missing, then writes the selection: selected files into the
// destination, selected folders (and Recover All's root entries) as folders below it with their
// whole subtree. Deleted and placeholder folders are recreated like any other, every folder
// before any file. Each folder's entries are expanded once, so a damaged parent chain cannot
// loop. Stop is polled before every entry.
//
// With `workers` above 1 the files of different output folders are copied at once, each worker
// through its own Extractor over the same disk, state and context; the files of one output
// folder are always copied in order by one worker, so the duplicate policy sees them as a single
// worker would. The observer still receives every event on the calling thread, in the order a
// single worker gives; the progress sink and the "Continue Recovery ?" question are reached
// through one lock, and a question is not asked once Stop is set. The disk's reads must be safe
// from several threads (see DefaultRecoveryWorkers).
BatchSummary RecoverBatch(Extractor& extractor, RecoveryState& state, const ntfs::ShownVolume& volume,
                          const BatchSelection& selection, const std::filesystem::path& destination,
                          const BatchObserver& observer = {}, unsigned workers = 1);
// The same over the volume of `catalog` that `source` names.
ntfs::ShownKind ShownKindOf(BatchSource source) noexcept;
BatchSummary RecoverBatch(Extractor& extractor, RecoveryState& state, const catalog::Catalog& catalog,
                          BatchSource source, const BatchSelection& selection, const std::filesystem::path& destination,
                          const BatchObserver& observer = {}, unsigned workers = 1);

}  // namespace recovery

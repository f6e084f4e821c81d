// The file search of the "Find File(s)" dialog: every file of the shown file system whose
// upper-cased name matches the upper-cased pattern, with its folder path and size, in catalog
// order. Runs on the dialog's worker; pauses at a gate while the stop question is open and ends
// when the stop flag is set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/case_map.h"
#include "core/progress.h"
#include "catalog/catalog.h"
#include "ntfs/shown_volume.h"

namespace shell {

struct FindRequest
{
    std::string_view pattern;  // as typed; upper-cased before use
    // The wizard's scan method: 2 after an Advance Scan (NTFS files then come from the found-file
    // list), anything else a Standard Scan.
    int scanMethod = 1;
    // The volume's $UpCase table when one was read; nullptr compares through the built-in map.
    const core::UpCaseTable* upCase = nullptr;
};

// One hit: the columns "File Name", "Path" and "Size".
struct FindRow
{
    std::string name;        // upper-cased
    std::string path;        // "\" for the root, "\DOCS\2005" below it
    std::uint64_t size = 0;  // bytes (32-bit for FAT files)
    std::uint8_t recoverable = catalog::kRecoverableNotRated;  // of a deleted NTFS file (ntfs::ShownFile)
};

// Receives each hit as it is found, with the number of rows so far ("Files Found"); the row's
// name is the "Last File".
using FindRowSink = std::function<void(const FindRow& row, std::size_t rowsSoFar)>;

enum class FindOutcome
{
    Completed,  // every entry of the list was compared
    Stopped,    // the stop flag ended the search; the rows reported so far stand
};

struct FindResult
{
    FindOutcome outcome = FindOutcome::Completed;
    std::size_t rows = 0;
};

// Searches the files of the shown volume (ntfs::ShownVolume) that the file system's type
// (catalog.volumeParams.type) and scan method call for: FAT16/FAT32 the FAT files; NTFS after a
// Standard Scan the NTFS files; NTFS after an Advance Scan the found files of the mounted file
// system (clusterBase < sector <= endSector), the files its listing shows. Any other type has no
// list. Before each entry waits at `gate` and then checks `stop`. Filters
// do not apply and deleted entries count like the others; an empty pattern finds nothing.
FindResult FindFiles(const catalog::Catalog& catalog, const FindRequest& request, const FindRowSink& sink,
                     core::PauseGate& gate, const core::StopFlag& stop);

// Most folders a path names; a deeper chain shows its lowest kMaxPathDepth folders.
inline constexpr std::size_t kMaxPathDepth = ntfs::ShownVolume::kMaxPathDepth;

// The path column of an entry whose parent is `parentRecord` (NTFS, root record 5) or
// `parentCluster` (FAT, root cluster 0): a backslash, then the folder names from the first level
// below the root down to the parent, joined by backslashes. Each parent is the first folder
// carrying that record or cluster. The walk ends at the root, at a parent no folder carries
// (the path then starts at the highest folder found), at a folder met twice (a loop of parent
// links), or after kMaxPathDepth folders.
std::string NtfsFolderPath(const catalog::Catalog& catalog, std::uint32_t parentRecord);
std::string FatFolderPath(const catalog::Catalog& catalog, std::uint32_t parentCluster);

}  // namespace shell

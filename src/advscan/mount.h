// Choosing one of the found file systems and mounting it: its found folders become the catalog's
// NTFS folders, missing parents get placeholders, and the folder tree is built from the root.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/types.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"
#include "ntfs/listing.h"
#include "ntfs/standard_scan.h"
#include "disk/disk_state.h"

namespace advscan {

// Rows of the information panel at the file-system list step (label set 4).
inline constexpr int kPanelRowFileSystemStart = 1;    // "File System Start  "
inline constexpr int kPanelRowSectorsPerCluster = 2;  // "Sectors Per Cluster  "
inline constexpr int kPanelRowMftStart = 3;           // "MFT Start  "
inline constexpr int kPanelRowMftMirrorStart = 4;     // "MFT Mirror Start"
inline constexpr int kPanelRowFileSystemSize = 5;     // "File System Size  "

// The five panel values of a found file system: its first sector, sectors per cluster, $MFT and
// $MFTMirr sectors (0 when found without a boot sector), and (end - start) / 2048 followed by " MB".
using FileSystemPanel = std::array<std::string, 5>;
FileSystemPanel FileSystemPanelValues(const catalog::VolumeParams& params);

// A click on `item` of the found-file-system tree: loads the file system whose key is the item
// into volumeParams and selectedFileSystem (its 1-based position) and shows the five values in
// panel rows 1-5. Empty, changing nothing, when no found file system has that key.
std::optional<FileSystemPanel> SelectFileSystem(catalog::Catalog& catalog, core::TreeItemId item,
                                                core::ProgressSink& sink);

struct MountCounts
{
    std::uint32_t folders = 0;        // found folders that became catalog folders
    std::uint32_t placeholders = 0;   // "Dir<n>" folders the orphan pass added (for folders and files)
    std::uint32_t placed = 0;         // folders placed in the tree
};

// Empties the NTFS lists and adds, in list order, every found folder of file system
// selectedFileSystem except record 5 and the folder named ".", with its name, record, parent,
// times and deleted flag. Then the orphan pass over the folders and then over the found files of
// the mounted file system (clusterBase < sector <= endSector), so that a file whose folder was
// not found hangs under a placeholder as an orphan folder does (placeholders numbered from 0;
// the stop flag ends it), and the folder tree under `tree`'s root from record 5. Shows
// "Extracting entries for the file system", "Searching For Lost Data", "Creating Tree Structure",
// then progress 0 and an empty status line. Throws std::bad_alloc when memory runs out.
MountCounts ExtractEntries(catalog::Catalog& catalog, ntfs::FolderTree& tree, core::ProgressSink& sink);

struct MountResult
{
    MountCounts counts;
    std::vector<ntfs::ListRow> rootRows;  // the listing of the root (record 5)
};

// The mount worker's work: ExtractEntries, then the listing of the root (folders from the
// catalog, files from the found-file list inside the mounted file system). The stop flag is clear
// on return.
MountResult MountFoundFileSystem(catalog::Catalog& catalog, ntfs::FolderTree& tree, core::ProgressSink& sink,
                                 const ntfs::NameAdmitter& admit = {}, const ntfs::TypeDescriber& describe = {});

// The $MFT map of a mounted file system, when the analysis confirmed where its record 0 lies
// (mftSector), so that found files whose data continues in extension records are read whole.
// A stale map (record 0 overwritten by a newer volume) costs nothing but completeness: the
// extraction refuses a piece whose record does not name the file's base record. Empty otherwise.
void MapMountedMft(disk::DiskState& disk, const catalog::VolumeParams& params, ntfs::MftRunTable& table);

// Rates every deleted found file of the mounted file system against that volume's cluster bitmap,
// located through `map` (MapMountedMft) when its boot sector and $MFT were found; each file's own
// FILE record is read again for its runs. Without a usable bitmap every deleted file is rated
// kRecoverableUnknown. Live files are not rated.
void RateMountedFiles(disk::DiskState& disk, catalog::Catalog& catalog, const ntfs::MftRunTable& map);

}  // namespace advscan

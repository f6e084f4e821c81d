// What follows a successful snapshot load: the $MFT run table rebuilt from the disk (NTFS), the
// folder tree built anew from the loaded folders and the root listed.
//
// The wizard and the CLI load a snapshot in this order:
//   1. LoadSnapshot (or LoadSnapshotBytes); on anything but Loaded show the result's message
//      (error kind) and stop: the catalog is as it was;
//   2. prepare the window (trees hidden, label set 2, menu state 0);
//   3. FinishSnapshotLoad with the currently selected disk;
//   4. show the tree and the root rows, stand at the browse step.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/progress.h"
#include "disk/disk_state.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"
#include "ntfs/listing.h"
#include "ntfs/standard_scan.h"

namespace snapshot {

struct FinishOptions
{
    // The wizard's scan method: 2 after an Advance Scan (the root then lists its files from the
    // found-file list), anything else a Standard Scan.
    int scanMethod = 1;
    // How the root listing admits files and names their types; empty functions admit every
    // file and give an empty type.
    ntfs::NameAdmitter admit;
    ntfs::TypeDescriber describe;
};

struct FinishResult
{
    // NTFS: how the run table was rebuilt; empty for the other types (no table is built).
    std::optional<ntfs::RunTableOutcome> runTable;
    std::uint32_t foldersPlaced = 0;
    std::vector<ntfs::ListRow> rootRows;  // the root listing (record 5, or cluster 0 for FAT)
};

// After a Loaded outcome: clears the stop flag and replaces `tree` by a new folder tree. NTFS
// (volumeParams.type 300): rebuilds `runTable` from clusterBase, mftSector and
// sectorsPerCluster by reading `disk` (the disk selected now, which this does not check against
// the one scanned), builds the tree from record 5 and lists the root (ListFoundFolder in Advance
// mode, ListNtfsFolder otherwise). FAT16/FAT32: empties `runTable`, builds the tree from cluster
// 0 and lists it. Any other type: an empty tree and no rows. Throws std::bad_alloc when memory
// runs out.
FinishResult FinishSnapshotLoad(disk::DiskState& disk, catalog::Catalog& catalog, ntfs::MftRunTable& runTable,
                                ntfs::FolderTree& tree, core::ProgressSink& sink, const FinishOptions& options = {});

}  // namespace snapshot

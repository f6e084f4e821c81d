// The end of a snapshot load: run table, folder tree and root listing.
#include "snapshot/snapshot_finish.h"

#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/types.h"
#include "ntfs/shown_volume.h"
#include "ntfs/tree_builder.h"

namespace snapshot {

FinishResult FinishSnapshotLoad(disk::DiskState& disk, catalog::Catalog& catalog, ntfs::MftRunTable& runTable,
                                ntfs::FolderTree& tree, core::ProgressSink& sink, const FinishOptions& options)
{
    constexpr int kAdvanceScan = 2;
    FinishResult result;
    catalog.scanStopFlag.Clear();
    tree = ntfs::FolderTree();

    const ntfs::NameAdmitter admitAll = [](std::string_view) { return true; };
    const ntfs::TypeDescriber noType = [](std::string_view) { return std::string(); };
    const ntfs::NameAdmitter& admit = options.admit ? options.admit : admitAll;
    const ntfs::TypeDescriber& describe = options.describe ? options.describe : noType;

    const catalog::VolumeParams& v = catalog.volumeParams;
    if (v.type == core::kFsNtfs) {
        result.runTable = ntfs::BuildMftRunTable(disk, v.clusterBase, ntfs::MftSectorOf(v.mftSector),
                                                 v.sectorsPerCluster, runTable, ntfs::MftLastSector(disk, catalog));
        // A snapshot holds the placeholders of its scan; one written elsewhere or damaged may
        // still name missing parents or parent loops: they get placeholders here, quietly.
        core::StopFlag keepGoing;
        ntfs::SearchLostData(catalog, ntfs::NextPlaceholderNumber(catalog),
                             options.scanMethod == kAdvanceScan ? ntfs::LostFiles::None : ntfs::LostFiles::NtfsFiles,
                             keepGoing, core::NullSink());
        sink.Status(core::msg::kCreatingDirectoryTree);
        result.foldersPlaced = ntfs::BuildNtfsTree(catalog, tree, tree.Root(), ntfs::kRootRecord, sink);
    } else if (v.type == core::kFsFat16 || v.type == core::kFsFat32) {
        runTable.Clear();
        sink.Status(core::msg::kCreatingDirectoryTree);
        result.foldersPlaced = ntfs::BuildFatTree(catalog, tree, tree.Root(), ntfs::kFatRootCluster, sink);
    }
    // In Advance mode the files of a loaded mount still come from the sweep's found-file list.
    const ntfs::ShownVolume shown(catalog, ntfs::ShownKindOf(v.type, options.scanMethod == kAdvanceScan));
    if (shown.Kind() != ntfs::ShownKind::None) {
        result.rootRows = ntfs::ListShownFolder(shown, shown.RootKey(), admit, describe);
    }
    sink.Progress(0);
    return result;
}

}  // namespace snapshot

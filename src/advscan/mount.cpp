// Choosing a found file system and mounting it from its found folders.
#include "advscan/mount.h"

#include <array>

#include "core/messages.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/shown_volume.h"
#include "ntfs/tree_builder.h"

namespace advscan {

namespace {

constexpr std::uint32_t kSectorsPerMegabyte = 2048;
constexpr std::uint32_t kRootRecord = 5;

}  // namespace

FileSystemPanel FileSystemPanelValues(const catalog::VolumeParams& params)
{
    const core::Sector size = params.endSector >= params.clusterBase ? params.endSector - params.clusterBase : 0;
    return {std::to_string(params.clusterBase), std::to_string(params.sectorsPerCluster),
            std::to_string(static_cast<core::Sector>(params.mftSector)),
            std::to_string(static_cast<core::Sector>(params.mftMirrSector)),
            std::to_string(size / kSectorsPerMegabyte) + std::string(core::msg::kFileSystemSizeSuffix)};
}

std::optional<FileSystemPanel> SelectFileSystem(catalog::Catalog& catalog, core::TreeItemId item,
                                                core::ProgressSink& sink)
{
    const std::vector<catalog::FileSystemRecord>& systems = catalog.FileSystems();
    for (std::size_t i = 0; i < systems.size(); ++i) {
        if (systems[i].key != item) {
            continue;
        }
        if (!catalog.LoadFileSystemRecord(i + 1)) {
            return std::nullopt;
        }
        FileSystemPanel panel = FileSystemPanelValues(catalog.volumeParams);
        for (std::size_t row = 0; row < panel.size(); ++row) {
            sink.PanelValue(static_cast<int>(row) + kPanelRowFileSystemStart, panel[row]);
        }
        return panel;
    }
    return std::nullopt;
}

MountCounts ExtractEntries(catalog::Catalog& catalog, ntfs::FolderTree& tree, core::ProgressSink& sink)
{
    MountCounts counts;
    catalog.ClearNtfsLists();
    sink.Status(core::msg::kExtractingEntries);
    const std::vector<catalog::FoundFolderRecord>& found = catalog.FoundFolders();
    for (const std::size_t position : catalog.FoundFoldersWithFsNumber(catalog.selectedFileSystem)) {
        const catalog::FoundFolderRecord& folder = found[position];
        if (folder.record == kRootRecord || folder.name == ".") {
            continue;
        }
        catalog::NtfsFolderEntry entry;
        entry.name = folder.name;
        entry.record = folder.record;
        entry.parent = folder.parent;
        entry.created = folder.created;
        entry.changed = folder.changed;
        entry.deleted = folder.deleted;
        catalog.AddNtfsFolder(std::move(entry));
        ++counts.folders;
    }
    const std::uint32_t lostFolderCounter = 0;
    counts.placeholders = ntfs::SearchLostData(catalog, lostFolderCounter, ntfs::LostFiles::MountedFound,
                                               catalog.scanStopFlag, sink);
    sink.Status(core::msg::kCreatingTreeStructure);
    counts.placed = ntfs::BuildNtfsTree(catalog, tree, tree.Root(), kRootRecord, sink);
    sink.Progress(0);
    sink.Status("");
    return counts;
}

MountResult MountFoundFileSystem(catalog::Catalog& catalog, ntfs::FolderTree& tree, core::ProgressSink& sink,
                                 const ntfs::NameAdmitter& admit, const ntfs::TypeDescriber& describe)
{
    MountResult result;
    result.counts = ExtractEntries(catalog, tree, sink);
    result.rootRows =
        ntfs::ListShownFolder(ntfs::ShownVolume(catalog, ntfs::ShownKind::MountedFound), kRootRecord, admit, describe);
    catalog.scanStopFlag.Clear();
    return result;
}

void MapMountedMft(disk::DiskState& disk, const catalog::VolumeParams& params, ntfs::MftRunTable& table)
{
    table.Clear();
    if (params.mftSector <= 0 || params.sectorsPerCluster == 0) {
        return;
    }
    // A partial table (a damaged extension of record 0) still maps the records it reaches.
    (void)ntfs::BuildMftRunTable(disk, params.clusterBase, static_cast<core::Sector>(params.mftSector),
                                 params.sectorsPerCluster, table,
                                 params.endSector != 0 ? params.endSector : core::kLastSector);
}

void RateMountedFiles(disk::DiskState& disk, catalog::Catalog& catalog, const ntfs::MftRunTable& map)
{
    const catalog::VolumeParams& volume = catalog.volumeParams;
    const std::uint64_t size = disk.driveHandle ? disk.driveHandle->SizeBytes() : UINT64_MAX;
    const std::uint64_t diskSectors = size == UINT64_MAX ? UINT64_MAX : size / core::kSectorSize;
    ntfs::ClusterBitmap bitmap;
    if (volume.mftSector > 0 && map.Count() != 0) {
        bitmap = ntfs::ClusterBitmap::Open(disk, volume, map, diskSectors);
    }
    std::array<std::uint8_t, ntfs::kFileRecordSize> record{};
    const std::vector<catalog::FoundFileRecord>& files = catalog.FoundFiles();
    for (std::size_t position = 0; position < files.size(); ++position) {
        const catalog::FoundFileRecord& file = files[position];
        if (file.deleted == 0 || !ntfs::InMountedVolume(volume, file.sector)) {
            continue;
        }
        std::uint8_t rating = catalog::kRecoverableUnknown;
        if (bitmap.Usable() && file.sector < core::kLastSector) {
            record.fill(0);
            disk::ReadSectors(disk, file.sector, 2, record);
            if (ntfs::HasFileSignature(record)) {
                ntfs::ApplyFixup(record);
                ntfs::RecoverableTally tally;
                tally.Add(bitmap, record);
                rating = tally.Rating();
            }
        }
        catalog.SetFoundFileRecoverable(position, rating);
    }
}

}  // namespace advscan

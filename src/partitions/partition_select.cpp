// Partition selection and the partition rows of the information panel.
#include "partitions/partition_select.h"

#include <algorithm>
#include <limits>

#include "core/messages.h"

namespace partitions {

namespace {

constexpr std::uint32_t kSectorsPerMegabyte = 2048;

}  // namespace

core::Sector PartitionLastSector(core::Sector start, core::Sector count) noexcept
{
    if (count == 0 || start > core::kLastSector) {
        return start;
    }
    return std::min(count - 1, core::kLastSector - start) + start;
}

PartitionInfo ShowPartitionInfo(const catalog::ScanTarget& target, std::string_view typeName)
{
    const std::string_view fsName = FsTypeName(target.scanType);
    std::string size = std::to_string(target.scanSectorCount / kSectorsPerMegabyte);
    size += core::msg::kPartitionSizeSuffix;
    return PartitionInfo{{
        {core::msg::kPartitionTypeLabel, std::string(fsName.empty() ? typeName : fsName)},
        {core::msg::kPartitionStartLabel, std::to_string(target.scanStartSector)},
        {core::msg::kPartitionEndLabel, std::to_string(target.scanEndSector)},
        {core::msg::kPartitionSizeLabel, std::move(size)},
    }};
}

std::optional<PartitionSelection> SelectPartition(const PartitionTree& tree, const PartitionList& list,
                                                  core::TreeItemId item, bool advanceScan,
                                                  core::Sector totalSectors, catalog::ScanTarget& target)
{
    const PartitionTreeItem* selected = tree.Find(item);
    if (selected == nullptr) {
        return std::nullopt;
    }
    if (selected->id != tree.Root()) {
        const std::uint32_t count = std::min(list.partitionCount, kMaxGptPartitions);
        const auto begin = list.records.begin();
        const auto end = begin + count;
        const auto found = std::find_if(begin, end, [item](const auto& r) { return r.treeItem == item; });
        if (found == end) {
            return std::nullopt;
        }
        target.scanType = found->fsType;
        target.scanStartSector = found->startSector;
        target.scanSectorCount = std::min(found->sectorCount, core::kLastSector);
        target.scanEndSector = PartitionLastSector(found->startSector, found->sectorCount);
        target.scanPartitionTag = static_cast<std::uint16_t>(found - begin);
    } else if (advanceScan) {
        target.scanType = core::kFsFat32;
        target.scanStartSector = 0;
        target.scanPartitionTag = 0;
        target.scanSectorCount = totalSectors;
        target.scanEndSector = totalSectors;
    } else {
        return std::nullopt;
    }

    PartitionSelection selection;
    std::string_view typeName;
    const PartitionRecord* record = selected->id != tree.Root() ? SelectedRecord(list, target) : nullptr;
    if (record != nullptr) {
        selection.content = record->content;
        typeName = record->typeName;
    }
    // A record without a FAT or NTFS volume preselects NTFS, the file system the sweep looks for.
    const core::FsTypeCode listed = target.scanType >= core::kFsFat16 ? target.scanType : core::kFsNtfs;
    selection.fileSystemListIndex = static_cast<std::size_t>(std::max(listed / 100 - 1, 0));
    selection.startSectorText = std::to_string(target.scanStartSector);
    selection.endSectorText = std::to_string(target.scanEndSector);
    selection.info = ShowPartitionInfo(target, typeName);
    return selection;
}

const PartitionRecord* SelectedRecord(const PartitionList& list, const catalog::ScanTarget& target) noexcept
{
    const std::uint32_t count = std::min(list.partitionCount, kMaxGptPartitions);
    if (target.scanPartitionTag >= count) {
        return nullptr;
    }
    const PartitionRecord& record = list.records[target.scanPartitionTag];
    const bool same = record.fsType == target.scanType && record.startSector == target.scanStartSector &&
                      record.sectorCount == target.scanSectorCount;
    return same ? &record : nullptr;
}

std::string_view NoScanMessage(PartitionContent content) noexcept
{
    switch (content) {
    case PartitionContent::BitLocker:
        return core::msg::kBitLockerPartition;
    case PartitionContent::Other:
        return core::msg::kNoReadableFileSystem;
    case PartitionContent::FileSystem:
        break;
    }
    return {};
}

}  // namespace partitions

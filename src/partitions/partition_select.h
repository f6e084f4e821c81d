// Choosing a partition (or, in Advance mode, the whole disk) at the partition step, and the
// partition rows of the information panel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/types.h"
#include "catalog/volume_params.h"
#include "partitions/partition_list.h"

namespace partitions {

// One row of the information panel: its label and its value.
struct InfoRow
{
    std::string_view label;
    std::string value;
};

using PartitionInfo = std::array<InfoRow, 4>;

// The last sector of a partition of `count` sectors from `start`, kept within
// [start, core::kLastSector], so an empty partition or one reaching past the last addressable
// sector never wraps into an end before its start.
core::Sector PartitionLastSector(core::Sector start, core::Sector count) noexcept;

// The four partition rows (type, start, end, size in whole megabytes followed by " MB ( Aprox )")
// for `target`; shown only while the wizard stands at the partition step. The type row names the
// target's file system, or `typeName` when the target's type is no file-system code (a GPT
// partition holding something else).
PartitionInfo ShowPartitionInfo(const catalog::ScanTarget& target, std::string_view typeName = {});

// What the window shows after a selection.
struct PartitionSelection
{
    std::size_t fileSystemListIndex = 0;  // entry of the "Select File System" list: scanType / 100 - 1
    std::string startSectorText;          // "Start Sector" box
    std::string endSectorText;            // "End Sector" box
    PartitionInfo info;                   // the information panel's rows
    PartitionContent content = PartitionContent::FileSystem;  // what the selected record holds
};

// Handles a click on `item` of the partition tree. A partition item fills `target` from its
// record (a record holding no FAT or NTFS volume with type 0); the disk's own item does so (the
// whole disk as FAT32) only when `advanceScan` is set,
// with `totalSectors` from the drive table. Empty when the click selects nothing (the disk item
// in Standard mode, an unknown item); then `target` is unchanged and Next stays as it was.
std::optional<PartitionSelection> SelectPartition(const PartitionTree& tree, const PartitionList& list,
                                                  core::TreeItemId item, bool advanceScan,
                                                  core::Sector totalSectors, catalog::ScanTarget& target);

// The record the partition step selected into `target`, or nullptr when the target does not come
// from a record of `list` (the disk's own item, a range typed in, a list emptied since).
const PartitionRecord* SelectedRecord(const PartitionList& list, const catalog::ScanTarget& target) noexcept;

// Why a record of `content` cannot be scanned: the BitLocker text, the text for a partition
// without a FAT or NTFS file system, or empty for a file system (FAT ones have their own texts).
std::string_view NoScanMessage(PartitionContent content) noexcept;

}  // namespace partitions

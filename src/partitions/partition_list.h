// The listed partitions of the selected disk and the partition tree that shows them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"

namespace partitions {

inline constexpr std::uint32_t kMaxPartitions = 25;

struct PartitionRecord
{
    core::Sector startSector = 0;     // absolute sector of the partition's boot sector
    core::Sector sectorCount = 0;     // from the table entry, or from the boot sector (quick search)
    core::FsTypeCode fsType = 0;      // 100 FAT16, 200 FAT32, 300 NTFS
    core::TreeItemId treeItem = 0;    // the partition's item in the partition tree
};

struct PartitionList
{
    std::array<PartitionRecord, kMaxPartitions> records{};
    std::uint32_t partitionCount = 0;  // never above kMaxPartitions
};

// One item of the partition tree. The root stands for the disk and has no record.
struct PartitionTreeItem
{
    core::TreeItemId id = 0;
    std::string text;
    std::optional<std::uint32_t> record;  // 0-based position in PartitionList
};

// The partition tree as data: the root "Storage Device <drive>" and the partition items under it,
// in insertion order. Item ids are never reused within one tree.
class PartitionTree
{
public:
    // A tree with only the root item, "Storage Device " followed by `selectedDrive`.
    explicit PartitionTree(std::uint16_t selectedDrive = 0);

    core::TreeItemId Root() const noexcept { return m_items.front().id; }
    bool RootExpanded() const noexcept { return m_rootExpanded; }
    void ExpandRoot() noexcept { m_rootExpanded = true; }

    // Adds an item under the root and returns its id.
    core::TreeItemId InsertUnderRoot(std::string text, std::uint32_t record);
    // Removes a partition item; the root and unknown ids are left alone.
    void Remove(core::TreeItemId id);
    // The item with `id`, or nullptr.
    const PartitionTreeItem* Find(core::TreeItemId id) const noexcept;
    // The root first, then the partition items in insertion order.
    const std::vector<PartitionTreeItem>& Items() const noexcept { return m_items; }

private:
    std::vector<PartitionTreeItem> m_items;
    core::TreeItemId m_nextId = 1;
    bool m_rootExpanded = false;
};

// "FAT16", "FAT32" or "NTFS" for the codes 100, 200, 300; empty for any other code.
std::string_view FsTypeName(core::FsTypeCode code) noexcept;

// "Partition " n " - " name, for the record at 0-based `position`.
std::string PartitionItemText(std::uint32_t position, core::FsTypeCode code);

// Empties the list and removes the items of its records from the tree.
void ClearPartitions(PartitionList& list, PartitionTree& tree);

// Stores a record at position partitionCount, inserts its tree item under the root and expands
// the root. Returns false, storing nothing, when the list already holds kMaxPartitions records.
bool AddPartition(PartitionList& list, PartitionTree& tree, core::Sector startSector, core::Sector sectorCount,
                  core::FsTypeCode fsType);

inline bool PartitionListFull(const PartitionList& list) noexcept { return list.partitionCount >= kMaxPartitions; }

}  // namespace partitions

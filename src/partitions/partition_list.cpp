// The partition list, its tree items and their texts.
#include "partitions/partition_list.h"

#include <algorithm>

#include "core/messages.h"

namespace partitions {

PartitionTree::PartitionTree(std::uint16_t selectedDrive)
{
    std::string rootText(core::msg::kStorageDevice);
    rootText += ' ';
    rootText += std::to_string(selectedDrive);
    m_items.push_back(PartitionTreeItem{m_nextId++, std::move(rootText), std::nullopt});
}

core::TreeItemId PartitionTree::InsertUnderRoot(std::string text, std::uint32_t record)
{
    const core::TreeItemId id = m_nextId++;
    m_items.push_back(PartitionTreeItem{id, std::move(text), record});
    return id;
}

void PartitionTree::Remove(core::TreeItemId id)
{
    if (id == Root()) {
        return;
    }
    const auto it = std::find_if(m_items.begin(), m_items.end(), [id](const auto& item) { return item.id == id; });
    if (it != m_items.end()) {
        m_items.erase(it);
    }
}

const PartitionTreeItem* PartitionTree::Find(core::TreeItemId id) const noexcept
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [id](const auto& item) { return item.id == id; });
    return it == m_items.end() ? nullptr : &*it;
}

std::string_view FsTypeName(core::FsTypeCode code) noexcept
{
    switch (code) {
    case core::kFsFat16:
        return core::msg::kFsNameFat16;
    case core::kFsFat32:
        return core::msg::kFsNameFat32;
    case core::kFsNtfs:
        return core::msg::kFsNameNtfs;
    default:
        return {};
    }
}

std::string PartitionItemText(std::uint32_t position, core::FsTypeCode code)
{
    std::string text(core::msg::kPartitionItemPrefix);
    text += std::to_string(std::uint64_t{position} + 1);
    text += core::msg::kPartitionItemSeparator;
    text += FsTypeName(code);
    return text;
}

void ClearPartitions(PartitionList& list, PartitionTree& tree)
{
    const std::uint32_t count = std::min(list.partitionCount, kMaxPartitions);
    for (std::uint32_t i = 0; i < count; ++i) {
        tree.Remove(list.records[i].treeItem);
    }
    list.records.fill(PartitionRecord{});
    list.partitionCount = 0;
}

bool AddPartition(PartitionList& list, PartitionTree& tree, core::Sector startSector, core::Sector sectorCount,
                  core::FsTypeCode fsType)
{
    if (PartitionListFull(list)) {
        return false;
    }
    const std::uint32_t position = list.partitionCount;
    PartitionRecord& record = list.records[position];
    record.startSector = startSector;
    record.sectorCount = sectorCount;
    record.fsType = fsType;
    record.treeItem = tree.InsertUnderRoot(PartitionItemText(position, fsType), position);
    tree.ExpandRoot();
    ++list.partitionCount;
    return true;
}

}  // namespace partitions

// The partition list, its tree items and their texts.
#include "partitions/partition_list.h"

#include <algorithm>
#include <utility>

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

std::string_view RecordName(const PartitionRecord& record) noexcept
{
    return record.content == PartitionContent::FileSystem ? FsTypeName(record.fsType) : record.typeName;
}

std::string_view SchemeName(PartitionScheme scheme) noexcept
{
    return scheme == PartitionScheme::Gpt ? core::msg::kSchemeGpt : core::msg::kSchemeMbr;
}

std::string PartitionItemText(std::uint32_t position, std::string_view name)
{
    std::string text(core::msg::kPartitionItemPrefix);
    text += std::to_string(std::uint64_t{position} + 1);
    text += core::msg::kPartitionItemSeparator;
    text += name;
    return text;
}

std::string PartitionItemText(std::uint32_t position, core::FsTypeCode code)
{
    return PartitionItemText(position, FsTypeName(code));
}

void ClearPartitions(PartitionList& list, PartitionTree& tree)
{
    const std::uint32_t count = std::min<std::uint32_t>(list.partitionCount, kMaxGptPartitions);
    for (std::uint32_t i = 0; i < count; ++i) {
        tree.Remove(list.records[i].treeItem);
    }
    list.records.fill(PartitionRecord{});
    list.partitionCount = 0;
    list.scheme = PartitionScheme::Mbr;
}

bool AddPartition(PartitionList& list, PartitionTree& tree, core::Sector startSector, core::Sector sectorCount,
                  core::FsTypeCode fsType)
{
    PartitionRecord record;
    record.startSector = startSector;
    record.sectorCount = sectorCount;
    record.fsType = fsType;
    return AddPartition(list, tree, std::move(record));
}

bool AddPartition(PartitionList& list, PartitionTree& tree, PartitionRecord record)
{
    if (PartitionListFull(list) || list.partitionCount >= kMaxGptPartitions) {
        return false;
    }
    const std::uint32_t position = list.partitionCount;
    record.treeItem = tree.InsertUnderRoot(PartitionItemText(position, RecordName(record)), position);
    list.records[position] = std::move(record);
    tree.ExpandRoot();
    ++list.partitionCount;
    return true;
}

}  // namespace partitions

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

// Most records a walk of MBR tables (and the quick search) lists.
inline constexpr std::uint32_t kMaxPartitions = 25;
// Most records a walk of a GUID partition table lists.
inline constexpr std::uint32_t kMaxGptPartitions = 128;

// The kind of table the records were listed from. The quick search lists in the MBR form.
enum class PartitionScheme : std::uint8_t
{
    Mbr,
    Gpt,
};

// What a listed partition holds. Records of MBR tables and of the quick search always hold a FAT
// or NTFS file system; a GPT lists every used entry.
enum class PartitionContent : std::uint8_t
{
    FileSystem,  // FAT16, FAT32 or NTFS: fsType says which
    BitLocker,   // a BitLocker-encrypted volume ("-FVE-FS-" boot sector)
    Other,       // anything else (EFI System, Microsoft Reserved, Linux, ...): named by its type
};

// A GUID as stored on disk (the first three fields little-endian).
using Guid = std::array<std::uint8_t, 16>;

// What a GPT entry adds to its record.
struct GptEntryInfo
{
    Guid typeGuid{};
    Guid uniqueGuid{};
    std::uint64_t attributes = 0;
    std::string name;  // the entry's name, UTF-8
};

struct PartitionRecord
{
    core::Sector startSector = 0;     // absolute sector of the partition's boot sector
    core::Sector sectorCount = 0;     // from the table entry, or from the boot sector (quick search)
    core::FsTypeCode fsType = 0;      // 100 FAT16, 200 FAT32, 300 NTFS; 0 when content is not FileSystem
    core::TreeItemId treeItem = 0;    // the partition's item in the partition tree
    PartitionContent content = PartitionContent::FileSystem;
    std::string_view typeName;        // the name shown when content is not FileSystem (static text)
    std::optional<GptEntryInfo> gpt;  // GPT records only
    // The table gave an end past the end of the disk (a damaged or wrapped size field):
    // sectorCount then stops at the disk's last sector.
    bool endBeyondDisk = false;
};

struct PartitionList
{
    std::array<PartitionRecord, kMaxGptPartitions> records{};
    std::uint32_t partitionCount = 0;  // never above PartitionLimit(scheme)
    PartitionScheme scheme = PartitionScheme::Mbr;
};

// The most records a list of `scheme` holds: 25 for MBR tables and the quick search, 128 for GPT.
constexpr std::uint32_t PartitionLimit(PartitionScheme scheme) noexcept
{
    return scheme == PartitionScheme::Gpt ? kMaxGptPartitions : kMaxPartitions;
}

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

// The name a record shows: its file system's name, else its type name ("BitLocker", "EFI System").
std::string_view RecordName(const PartitionRecord& record) noexcept;

// "MBR" or "GPT".
std::string_view SchemeName(PartitionScheme scheme) noexcept;

// "Partition " n " - " name, for the record at 0-based `position`.
std::string PartitionItemText(std::uint32_t position, std::string_view name);
std::string PartitionItemText(std::uint32_t position, core::FsTypeCode code);

// Empties the list (back to the MBR form) and removes the items of its records from the tree.
void ClearPartitions(PartitionList& list, PartitionTree& tree);

// Stores a record at position partitionCount, inserts its tree item under the root and expands
// the root. Returns false, storing nothing, when the list already holds PartitionLimit records.
bool AddPartition(PartitionList& list, PartitionTree& tree, core::Sector startSector, core::Sector sectorCount,
                  core::FsTypeCode fsType);
// The same for a whole record (its treeItem is set here); its item is named by RecordName.
bool AddPartition(PartitionList& list, PartitionTree& tree, PartitionRecord record);

inline bool PartitionListFull(const PartitionList& list) noexcept
{
    return list.partitionCount >= PartitionLimit(list.scheme);
}

}  // namespace partitions

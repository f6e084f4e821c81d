// The partition table walk over the master boot record and the extended chain.
#include "partitions/partition_table.h"

#include <algorithm>
#include <vector>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "partitions/gpt.h"
#include "partitions/partition_layout.h"

namespace partitions {

namespace {

using SectorBuffer = std::array<std::uint8_t, core::kSectorSize>;

// Reads one sector into `buffer`; whatever could not be read is zero, so a failed read never
// leaves an earlier sector's bytes behind.
struct TableEntry
{
    std::uint8_t type = 0;
    std::uint32_t firstSector = 0;
    std::uint32_t sectorCount = 0;
};

TableEntry EntryAt(std::span<const std::uint8_t, core::kSectorSize> table, std::size_t index)
{
    core::LeView view(table);
    const std::size_t base = kPartitionTableOffset + index * kPartitionEntrySize;
    return TableEntry{view.U8(base + kEntryTypeOffset), view.U32(base + kEntryFirstSectorOffset),
                      view.U32(base + kEntrySectorCountOffset)};
}

bool IsExtendedType(std::uint8_t type) noexcept { return type == kTypeExtended || type == kTypeExtendedLba; }

// Lenient on purpose: tables whose signature has one damaged byte are still read.
bool HasEitherSignatureByte(std::span<const std::uint8_t, core::kSectorSize> sector) noexcept
{
    return sector[kSignatureOffset0] == kSignatureByte0 || sector[kSignatureOffset1] == kSignatureByte1;
}

TableWalkOutcome WalkExtendedChain(disk::DiskState& disk, core::Sector extendedBase, PartitionList& list,
                                   PartitionTree& tree)
{
    SectorBuffer record{};
    SectorBuffer work{};
    std::vector<core::Sector> visited;
    std::uint32_t relative = 0;
    bool extendedSeen = true;
    while (extendedSeen) {
        extendedSeen = false;
        const auto recordSector = core::CheckedAdd<core::Sector>(extendedBase, relative);
        if (!recordSector || visited.size() >= kMaxChainLinks ||
            std::find(visited.begin(), visited.end(), *recordSector) != visited.end()) {
            return TableWalkOutcome::ChainCut;
        }
        visited.push_back(*recordSector);
        ReadOneSector(disk, *recordSector, record);

        for (std::size_t i = 0; i < kChainEntryCount; ++i) {
            const TableEntry entry = EntryAt(record, i);
            if (entry.type == kTypeEmpty) {
                continue;
            }
            const bool link = IsExtendedType(entry.type);
            // Logical partitions count from their own boot record; the start is formed in 64 bits,
            // so one past sector 2^32 lies where it is rather than wrapped onto the start of the disk.
            const auto start = core::CheckedAdd<core::Sector>(*recordSector, entry.firstSector);
            work.fill(0);
            if (!link && start) {
                ReadOneSector(disk, *start, work);
            }
            if (const auto code = ClassifyPartition(work, entry.type, EntryKind::Logical); code && start) {
                if (!AddPartition(list, tree, *start, entry.sectorCount, *code) || PartitionListFull(list)) {
                    return TableWalkOutcome::ListFull;
                }
            }
            if (link) {
                relative = entry.firstSector;  // links count from the extended partition's start
                extendedSeen = true;
            }
        }
    }
    return TableWalkOutcome::Completed;
}

}  // namespace

void ReadOneSector(disk::DiskState& disk, std::uint64_t sector, std::span<std::uint8_t> buffer)
{
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    if (disk::ReadSectors(disk, sector, 1, buffer) == 0) {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    }
}

std::optional<core::FsTypeCode> ClassifyPartition(std::span<const std::uint8_t> bootSector, std::uint8_t typeByte,
                                                  EntryKind kind) noexcept
{
    const core::LeView view(bootSector);
    if (view.Matches(kFat32TextOffset, "FAT32")) {
        return core::kFsFat32;
    }
    if (view.Matches(kFat16TextOffset, "FAT16")) {
        return core::kFsFat16;
    }
    if (view.Matches(kNtfsTextOffset, "NTFS")) {
        return core::kFsNtfs;
    }
    switch (typeByte) {
    case kTypeFat16Small:
    case kTypeFat16:
    case kTypeFat16Lba:
        return core::kFsFat16;
    case kTypeNtfs:
        return core::kFsNtfs;
    case kTypeFat32:
    case kTypeFat32Lba:
        return core::kFsFat32;
    case kTypeFat12:
        if (kind == EntryKind::Logical) {
            return core::kFsFat16;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

TableWalkOutcome ReadPartitionTables(disk::DiskState& disk, core::Sector tableSector, PartitionList& list,
                                     PartitionTree& tree)
{
    SectorBuffer table{};
    ReadOneSector(disk, tableSector, table);
    return WalkTableSector(disk, table, list, tree);
}

TableWalkOutcome WalkTableSector(disk::DiskState& disk, std::span<const std::uint8_t, core::kSectorSize> table,
                                 PartitionList& list, PartitionTree& tree)
{
    ClearPartitions(list, tree);
    if (!HasEitherSignatureByte(table)) {
        return TableWalkOutcome::NoTable;
    }

    SectorBuffer work{};
    std::optional<core::Sector> extendedBase;
    for (std::size_t i = 0; i < kPrimaryEntryCount; ++i) {
        const TableEntry entry = EntryAt(table, i);
        if (entry.type == kTypeEmpty) {
            continue;
        }
        // Primary entries hold absolute sectors; the table sector is not added.
        ReadOneSector(disk, entry.firstSector, work);
        const auto code = ClassifyPartition(work, entry.type, EntryKind::Primary);
        if (code) {
            if (!AddPartition(list, tree, entry.firstSector, entry.sectorCount, *code) || PartitionListFull(list)) {
                return TableWalkOutcome::ListFull;
            }
        } else if (IsExtendedType(entry.type)) {
            extendedBase = entry.firstSector;  // a later extended entry replaces an earlier one
        }
    }
    if (!extendedBase) {
        return TableWalkOutcome::Completed;
    }
    return WalkExtendedChain(disk, *extendedBase, list, tree);
}

namespace {

// A record whose end lies past the disk keeps its start and ends at the disk's last sector,
// marked; a disk of unknown size changes nothing.
void ClampToDisk(PartitionList& list, std::uint64_t diskSectors)
{
    if (diskSectors == 0 || diskSectors == UINT64_MAX)
        return;
    for (std::uint32_t i = 0; i < list.partitionCount && i < list.records.size(); ++i) {
        PartitionRecord& record = list.records[i];
        if (record.startSector < diskSectors && record.sectorCount > diskSectors - record.startSector) {
            record.sectorCount = diskSectors - record.startSector;
            record.endBeyondDisk = true;
        }
    }
}

TablesWalk WalkTables(disk::DiskState& disk, PartitionList& list, PartitionTree& tree)
{
    TablesWalk walk;
    SectorBuffer table{};
    for (const core::Sector tableSector : kTableSectorsToTry) {
        // Each attempt reads its table sector once, GPT or not, so a sector 0 that fails its
        // first read is read again by the second attempt as before.
        ReadOneSector(disk, tableSector, table);
        if (tableSector == 0 && !walk.gptFound && HasProtectiveEntry(table)) {
            if (const auto gpt = ReadGpt(disk, DriveSectorCount(disk))) {
                walk.gptFound = true;
                if (gpt->source == GptSource::Backup) {
                    walk.gptBackupSector = gpt->headerLba;
                }
                ListGptPartitions(disk, *gpt, list, tree);
                if (list.partitionCount > 0) {
                    walk.listed = true;
                    return walk;
                }
            }
        }
        WalkTableSector(disk, table, list, tree);
        if (list.partitionCount > 0) {
            walk.listed = true;
            return walk;
        }
    }
    return walk;
}

}  // namespace

TablesWalk WalkPartitionTables(disk::DiskState& disk, PartitionList& list, PartitionTree& tree)
{
    TablesWalk walk = WalkTables(disk, list, tree);
    ClampToDisk(list, DriveSectorCount(disk));
    return walk;
}

std::string GptBackupNote(std::uint64_t sector)
{
    std::string note(core::msg::kGptBackupUsedPrefix);
    note += std::to_string(sector);
    return note;
}

}  // namespace partitions

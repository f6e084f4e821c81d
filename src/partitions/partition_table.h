// The partition table walk: the master boot record at a table sector and the extended chain it
// links to, listing every FAT16, FAT32 and NTFS partition.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/types.h"
#include "disk/disk_state.h"
#include "partitions/partition_list.h"

namespace partitions {

// Where a table entry was found: the master boot record, or an extended boot record of the chain.
enum class EntryKind
{
    Primary,
    Logical,
};

// The file system of a partition whose first sector is `bootSector` (512 bytes; shorter buffers
// read as zeros past their end) and whose table entry has type `typeByte`. The boot-sector texts
// decide first ("FAT32" at 82, "FAT16" at 54, "NTFS" at 3), then the type byte. Empty: not listed.
std::optional<core::FsTypeCode> ClassifyPartition(std::span<const std::uint8_t> bootSector, std::uint8_t typeByte,
                                                  EntryKind kind) noexcept;

enum class TableWalkOutcome
{
    NoTable,    // the table sector carries neither signature byte; nothing listed
    Completed,  // every entry and every link was followed
    ListFull,   // the walk ended when the 25th record was stored
    ChainCut,   // the extended chain revisited a boot record, overflowed its sector numbers or was too long
};

// Most extended boot records one walk visits.
inline constexpr std::uint32_t kMaxChainLinks = 256;

// Empties `list` (removing its items from `tree`), then reads the table at absolute sector
// `tableSector` of the selected drive and the extended chain it links to, one sector at a time,
// adding each recognised partition to `list` and `tree`. Unreadable sectors read as zeros.
TableWalkOutcome ReadPartitionTables(disk::DiskState& disk, core::Sector tableSector, PartitionList& list,
                                     PartitionTree& tree);

// The same walk over a table sector already read into `table`.
TableWalkOutcome WalkTableSector(disk::DiskState& disk, std::span<const std::uint8_t, core::kSectorSize> table,
                                 PartitionList& list, PartitionTree& tree);

// Reads one sector (`buffer` holds 512 bytes) of the selected drive; an unreadable sector reads as
// zeros, so it fails every signature test.
void ReadOneSector(disk::DiskState& disk, std::uint64_t sector, std::span<std::uint8_t> buffer);

// The table sectors tried in turn when the disk is chosen.
inline constexpr std::array<core::Sector, 4> kTableSectorsToTry = {0, 0, 61, 62};

// What the walk of a disk's tables found.
struct TablesWalk
{
    bool listed = false;  // partitions were listed; false means the quick search is next
    bool gptFound = false;  // a GPT (primary or backup) was read, whether or not it listed anything
    std::optional<std::uint64_t> gptBackupSector;  // the backup header, when the primary table was damaged
};

// A disk whose sector 0 holds a protective (or hybrid) MBR entry is read as GPT first: its used
// entries are listed (at most 128) from the primary table, or from the backup when the primary is
// damaged. When there is no such entry, no valid GPT, or the GPT lists nothing, the MBR tables at
// sectors 0, 0, 61 and 62 are walked in turn, stopping at the first walk that lists something.
// A record whose end lies past the end of the disk is clamped to it and marked endBeyondDisk.
TablesWalk WalkPartitionTables(disk::DiskState& disk, PartitionList& list, PartitionTree& tree);

// The note for a GPT read from its backup header at `sector`.
std::string GptBackupNote(std::uint64_t sector);

}  // namespace partitions

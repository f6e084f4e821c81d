// GUID partition tables: the protective MBR test, the header and entry-array decoders with their
// CRC-32 checks, the fallback to the backup table at the disk's last sector, and the records a
// GPT's used entries become.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "disk/disk_state.h"
#include "partitions/partition_list.h"

namespace partitions {

// True when `mbr` (sector 0) carries the boot signature (either byte, as the MBR walk accepts it)
// and any of its four entries has type 0xEE: a protective MBR, or a hybrid one holding other
// entries beside it. Either way the disk is read as GPT.
bool HasProtectiveEntry(std::span<const std::uint8_t> mbr) noexcept;

// A header that passed every check of DecodeGptHeader. LBAs are 512-byte sectors.
struct GptHeader
{
    std::uint64_t myLba = 0;
    std::uint64_t alternateLba = 0;
    std::uint64_t firstUsableLba = 0;
    std::uint64_t lastUsableLba = 0;
    std::uint64_t entryArrayLba = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t entrySize = 0;
    std::uint32_t entryArrayCrc = 0;

    // Bytes and whole sectors of the entry array (at most kGptMaxArrayBytes once decoded).
    std::uint32_t ArrayBytes() const noexcept { return entryCount * entrySize; }
    std::uint32_t ArraySectors() const noexcept { return (ArrayBytes() + core::kSectorSize - 1) / core::kSectorSize; }
};

// Decodes the header in `sector` (one sector read from `lba`) of a disk of `diskSectors` sectors.
// Empty unless: "EFI PART", a header size of 92..512 bytes, the header CRC-32 (taken over that
// size with the CRC field zeroed) matches, MyLBA is `lba`, entries of at least 128 bytes and a
// multiple of 8, an array of at most 1 MiB lying wholly on the disk, and usable LBAs in order and
// on the disk.
std::optional<GptHeader> DecodeGptHeader(std::span<const std::uint8_t> sector, std::uint64_t lba,
                                         std::uint64_t diskSectors) noexcept;

// One used entry of the array (type GUID not all zero).
struct GptEntry
{
    std::uint32_t index = 0;  // 0-based slot in the array
    std::uint64_t firstLba = 0;
    std::uint64_t lastLba = 0;  // inclusive
    GptEntryInfo info;
};

// The used entries of `array` (the header's entry array as read, at least ArrayBytes() long), in
// array order: empty when the array is short or its CRC-32 does not match the header's. Entries
// whose range is reversed or reaches past the disk are left out; at most kMaxGptPartitions are
// returned.
std::optional<std::vector<GptEntry>> DecodeGptEntries(const GptHeader& header, std::span<const std::uint8_t> array,
                                                      std::uint64_t diskSectors);

enum class GptSource
{
    Primary,  // the header at LBA 1 and its array
    Backup,   // the primary header or its array was damaged: the header at the last LBA and its array
};

struct GptTable
{
    GptSource source = GptSource::Primary;
    std::uint64_t headerLba = 0;  // the sector of the header the entries come from
    std::vector<GptEntry> entries;
};

// Reads the GPT of the selected drive, a disk of `diskSectors` sectors (0 when its size is not
// known: then LBAs are bounded by 2^32 and no backup is looked for). The primary header at LBA 1
// with its array is used when both check out, otherwise the backup header at the last LBA with
// its own array. Empty when neither does. Unreadable sectors read as zeros and fail the checks.
std::optional<GptTable> ReadGpt(disk::DiskState& disk, std::uint64_t diskSectors);

// A GUID in its usual text form: mixed-endian, upper case, "C12A7328-F81F-11D2-BA4B-00A0C93EC93B".
std::string GuidText(const Guid& guid);

// The name of a partition type GUID ("EFI System", "Microsoft Reserved", "Basic Data", "Linux",
// ...; "Unknown" for a GUID not in the table).
std::string_view GptTypeName(const Guid& type) noexcept;

// What a GPT partition whose first sector is `bootSector` and whose type GUID is `type` holds.
// The boot sector decides first, as for MBR entries ("FAT32" at 82, "FAT16" at 54, "NTFS" at 3,
// whatever the type GUID), then "-FVE-FS-" at 3 makes it BitLocker; otherwise the type GUID names it.
struct GptVolume
{
    PartitionContent content = PartitionContent::Other;
    core::FsTypeCode fsType = 0;
    std::string_view typeName;  // for content other than FileSystem
};
GptVolume ClassifyGptVolume(std::span<const std::uint8_t> bootSector, const Guid& type) noexcept;

// Empties `list` (removing its items from `tree`), switches it to the GPT form and adds a record
// for each entry of `table`, classified from its first sector (read one sector at a time).
// Entries whose start or size does not fit the record's sector fields are left out.
void ListGptPartitions(disk::DiskState& disk, const GptTable& table, PartitionList& list, PartitionTree& tree);

// Size of the selected drive in sectors, from its sector source; 0 when there is none (mode F).
std::uint64_t DriveSectorCount(const disk::DiskState& disk);

}  // namespace partitions

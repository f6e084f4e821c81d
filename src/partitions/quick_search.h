// The lost-partition quick search: probes the two usual boot-sector places at the start of every
// cylinder and every 1 MiB boundary, and the sectors just before them where an NTFS volume keeps
// its backup boot sector, and lists each FAT32, FAT16 or NTFS volume found there.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "core/progress.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "partitions/partition_list.h"

namespace partitions {

// The geometry the drive table reports for the selected disk.
struct ReportedGeometry
{
    std::uint32_t cylinders = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint64_t sizeSectors = 0;  // the disk's true size in sectors; 0: cylinders x heads x sectors per track
};

// The geometry the search walks: cylinder k starts at sector k * heads * sectorsPerTrack.
struct SearchGeometry
{
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t heads = 0;
    std::uint32_t cylinders = 0;
};

inline constexpr std::uint32_t kSearchSectorsPerTrack = 63;
inline constexpr std::uint32_t kSearchHeads = 255;
inline constexpr std::uint32_t kSectorsPerSearchCylinder = kSearchSectorsPerTrack * kSearchHeads;  // 16065
// Today's partitioning tools start partitions on 1 MiB boundaries.
inline constexpr std::uint64_t kSectorsPerMib = 2048;
// The highest sector number the engine addresses.
inline constexpr std::uint64_t kLastSectorNumber = core::kLastSector;

// A disk that reports 63 sectors per track keeps its heads and cylinders; any other geometry is
// translated to cylinders of 255 heads x 63 sectors covering its size (rounded down). The size is
// formed in 64 bits, and only cylinders that start at or below `lastSector` are kept, so a disk
// larger than the sectors the access mode addresses is searched up to its last addressable sector
// instead of a wrapped size. A geometry with no heads has no cylinders.
SearchGeometry WorkingGeometry(const ReportedGeometry& reported, std::uint64_t lastSector = kLastSectorNumber) noexcept;

// The highest sector the search reads on `disk`: the sector type's limit, and in mode F also the
// 32-bit LBA of the BIOS library.
std::uint64_t LastSearchableSector(const disk::DiskState& disk) noexcept;

// A FAT32, FAT16 or NTFS boot sector found by the search, with the size it gives itself.
struct FoundBootSector
{
    core::FsTypeCode fsType = 0;
    core::Sector sectorCount = 0;   // FAT: le32 at 32; NTFS: le64 at 40
};

// Classifies a sector that carries the boot signature: "32" at 85 (end of "FAT32"), "16" at 57
// (end of "FAT16"), "NTFS" at 3, in that order. Empty: no boot sector the search lists.
std::optional<FoundBootSector> ClassifyBootSector(std::span<const std::uint8_t> sector) noexcept;

// An NTFS volume named by a backup boot sector: the copy a volume keeps in the sector after its
// last one, at start + total sectors.
struct BackupBootSector
{
    std::uint64_t volumeStart = 0;   // sector of the volume's first boot sector
    std::uint64_t totalSectors = 0;  // le64 at 40
    std::uint64_t serial = 0;        // le64 at 72
};

// Reads `sector`, found at sector `at`, as a backup boot sector. Empty unless it carries 0x55 0xAA
// and "NTFS    " (and no FAT text that ClassifyBootSector would prefer), 512 bytes per sector, a
// valid cluster size, a total of sectors from 1 to `at` (so the start is sector 0 or later), $MFT
// and $MFTMirr inside the volume, and a hidden-sectors field that is 0 or names the same start
// (it holds only starts below 2^32; beyond, it is not compared).
std::optional<BackupBootSector> DecodeBackupBootSector(std::span<const std::uint8_t> sector, std::uint64_t at) noexcept;

enum class QuickSearchOutcome
{
    Completed,  // every probe place was visited
    Stopped,    // the stop flag ended the search; the records found so far stay listed
    ListFull,   // the 25th record ended the search
};

// Empties `list` (removing its items from `tree`) and walks the disk upwards, merging two series of
// probe places:
// - each cylinder of the working geometry: its second track (sector F + 63) in a one-sector read,
//   then F - 1 and F in one two-sector read (cylinder 0: F alone). F is a volume's start only when
//   F + 63 carries no 0x55 0xAA signature; F - 1 may be a backup boot sector. After the last
//   cylinder, the sector before the next cylinder start is probed as a backup as well.
// - each 1 MiB boundary b = 2048 m (m >= 1) below the disk's end: b - 1 and b in one two-sector
//   read; b may be a volume's start, b - 1 a backup. A boundary that is also a cylinder start is
//   left to the cylinder's probes.
// A boot sector at a start place is listed when ClassifyBootSector names it. A backup is listed
// when DecodeBackupBootSector accepts it and the sector at the start it gives is unreadable, all
// zero, or an NTFS boot sector with the same serial (one more one-sector read). A volume is
// listed once, however many probes find it. Probes stop at the disk's end (geometry.sizeSectors,
// or the geometry's product) and at LastSearchableSector; the cylinder probes keep the working
// geometry, as the search always has.
// The walk ends after the 25th volume; the volumes found are then listed by start sector, so on a
// disk whose partitions sit on cylinders the list is the one the cylinder probes alone give.
// Polls `stop` before each probe place; reports "Searching For Partitions" as the status line and
// progress 0..99 (the share of the walk's sectors passed) to `sink`.
QuickSearchOutcome QuickSearchPartitions(disk::DiskState& disk, const ReportedGeometry& geometry,
                                         PartitionList& list, PartitionTree& tree, const core::StopFlag& stop,
                                         core::ProgressSink& sink);

}  // namespace partitions

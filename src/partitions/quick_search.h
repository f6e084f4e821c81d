// The lost-partition quick search: probes the two usual boot-sector places at the start of every
// cylinder and lists each FAT32, FAT16 or NTFS boot sector found there.
#pragma once

#include <cstdint>
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

// A disk that reports 63 sectors per track keeps its heads and cylinders; any other geometry is
// translated to cylinders of 255 heads x 63 sectors covering its size (rounded down). The size is
// formed in 64 bits, and only cylinders that start at a 32-bit sector number are kept, so a disk
// of 2^32 sectors or more is searched up to its last 32-bit sector instead of a wrapped size.
// A geometry with no heads has no cylinders.
SearchGeometry WorkingGeometry(const ReportedGeometry& reported) noexcept;

// A FAT32, FAT16 or NTFS boot sector found by the search, with the size it gives itself.
struct FoundBootSector
{
    core::FsTypeCode fsType = 0;
    std::uint32_t sectorCount = 0;  // FAT: le32 at 32; NTFS: low half of the le64 at 40
};

// Classifies a sector that carries the boot signature: "32" at 85 (end of "FAT32"), "16" at 57
// (end of "FAT16"), "NTFS" at 3, in that order. Empty: no boot sector the search lists.
std::optional<FoundBootSector> ClassifyBootSector(std::span<const std::uint8_t> sector) noexcept;

enum class QuickSearchOutcome
{
    Completed,  // every cylinder was probed
    Stopped,    // the stop flag ended the search; the records found so far stay listed
    ListFull,   // the 25th record ended the search
};

// Empties `list` (removing its items from `tree`) and probes, for each cylinder of the working
// geometry from the lowest, the cylinder's second track (sector F + 63) and then, when that
// sector carries no 0x55 0xAA signature, its first sector F: at most two one-sector reads per
// cylinder. Each boot sector found is listed with its own size. Polls `stop` before each cylinder;
// reports "Searching For Partitions" as the status line and progress 0..99 to `sink`.
QuickSearchOutcome QuickSearchPartitions(disk::DiskState& disk, const ReportedGeometry& geometry,
                                         PartitionList& list, PartitionTree& tree, const core::StopFlag& stop,
                                         core::ProgressSink& sink);

}  // namespace partitions

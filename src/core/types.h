// Basic types of the recovery engine: sector numbers and file-system codes.
#pragma once

#include <cstdint>

namespace core {

// Absolute number of a 512-byte sector on the physical disk: 64 bits, so disks beyond 2 TiB are
// addressed whole. Every sector field uses this alias. Stored formats keep their own widths (the
// classic snapshot stores 32 bits); the legacy BIOS access mode addresses 32-bit sectors only.
using Sector = std::uint64_t;

inline constexpr std::uint32_t kSectorSize = 512;

// The highest sector number the engine addresses: its byte offset, and that of the sector after
// it, still fit a signed 64-bit file offset. Larger numbers (only hostile data makes them) are
// treated as lying beyond the disk.
inline constexpr Sector kLastSector = (Sector{1} << 54) - 1;

// Byte offset of a sector, formed in 64 bits.
constexpr std::uint64_t SectorOffset(std::uint64_t sector) noexcept { return sector * kSectorSize; }

// File-system code of partitions, scan targets and found file systems; also the order of the
// "Select File System" list (index i stands for 100 * (i + 1)).
using FsTypeCode = std::int16_t;
inline constexpr FsTypeCode kFsFat16 = 100;
inline constexpr FsTypeCode kFsFat32 = 200;
inline constexpr FsTypeCode kFsNtfs = 300;

// Handle of an item of a left-pane tree; folder entries keep it and the list shows it as "ID".
using TreeItemId = std::uint32_t;

}  // namespace core

// Basic types of the recovery engine: sector numbers and file-system codes.
#pragma once

#include <cstdint>

namespace core {

// Absolute number of a 512-byte sector on the physical disk. Every sector field uses this alias,
// so widening sector numbers later stays a small change.
using Sector = std::uint32_t;

inline constexpr std::uint32_t kSectorSize = 512;

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

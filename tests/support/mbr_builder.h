// Builders for partition tables and the boot sectors the partition classifier reads: master and
// extended boot records, and FAT16, FAT32 and NTFS boot sectors.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "core/types.h"
#include "support/memory_disk.h"

namespace testing_support {

using SectorBytes = std::array<std::uint8_t, core::kSectorSize>;

struct PartitionEntrySpec
{
    std::uint8_t type = 0;
    std::uint32_t firstSector = 0;  // MBR: absolute; EBR: relative (see WriteExtendedChain)
    std::uint32_t sectorCount = 0;
    bool bootable = false;
};

// A boot record holding `entries` in its first slots (at most four) and the 0x55 0xAA signature.
SectorBytes MakeBootRecord(std::initializer_list<PartitionEntrySpec> entries);
SectorBytes MakeBootRecord(std::span<const PartitionEntrySpec> entries);

// FAT16 boot sector: "FAT16   " at 54, total sectors at 19 (when it fits 16 bits) or at 32.
SectorBytes MakeFat16BootSector(std::uint32_t totalSectors, std::uint32_t hiddenSectors = 0);
// FAT32 boot sector: "FAT32   " at 82, total sectors at 32, root cluster 2.
SectorBytes MakeFat32BootSector(std::uint32_t totalSectors, std::uint32_t hiddenSectors = 0);
// NTFS boot sector: "NTFS    " at 3, 64-bit total sectors at 40, 8 sectors per cluster.
SectorBytes MakeNtfsBootSector(std::uint64_t totalSectors, std::uint32_t hiddenSectors = 0);

// One logical partition of an extended chain.
struct LogicalSpec
{
    std::uint32_t recordOffset = 0;  // its EBR, in sectors from the extended partition's start
    std::uint8_t type = 0x07;
    std::uint32_t dataOffset = 63;   // its boot sector, in sectors from its EBR
    std::uint32_t sectorCount = 0;
};

// Writes the chain of extended boot records for `logicals` (in chain order) starting at
// `extendedBase`: each EBR holds its logical partition (relative to the EBR) and a type 0x05 link
// to the next EBR (relative to `extendedBase`). Boot sectors are not written. Returns the
// absolute first sector of each logical partition.
std::vector<core::Sector> WriteExtendedChain(MemoryDisk& disk, core::Sector extendedBase,
                                             std::span<const LogicalSpec> logicals);

}  // namespace testing_support

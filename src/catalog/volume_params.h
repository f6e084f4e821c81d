// The two parameter blocks every scan, listing and recovery step consults: the geometry of the
// volume being worked on and what the wizard asked to scan.
#pragma once

#include <cstdint>

#include "core/types.h"

namespace catalog {

// Field order is fixed: found file-system records and snapshot files carry the same fields in
// the same order.
struct VolumeParams
{
    core::FsTypeCode type = 0;               // 1  FsTypeCode of the volume
    std::uint32_t fatSectors = 0;            // 2  FAT: sectors per FAT; 0 for NTFS
    std::uint32_t sectorsPerCluster = 0;     // 3  1, 2, 4, ..., 128
    std::uint32_t rootDirSectors = 0;        // 4  FAT16: sectors of the fixed root directory
    std::uint32_t rootDirStart = 0;          // 5  FAT16: first root sector; FAT32: root cluster
    std::uint32_t reservedSectors = 0;       // 6  FAT: sectors before the first FAT
    core::Sector clusterBase = 0;            // 7  cluster n starts at clusterBase + n * sectorsPerCluster
    core::Sector fat1Start = 0;              // 8  FAT: first sector of FAT #1
    core::Sector fat2Start = 0;              // 9  FAT: first sector of FAT #2
    std::int64_t mftSector = 0;              // 10 NTFS: absolute sector of MFT record 0; 0 unconfirmed
    std::int64_t mftMirrSector = 0;          // 11 NTFS: absolute sector of $MFTMirr; 0 unconfirmed
    std::int32_t sectorsPerFileRecord = 0;   // 12 NTFS: 2 after a Standard Scan
    std::int32_t indexRecordSectors = 0;     // 13 NTFS: sectors per index buffer
    core::Sector endSector = 0;              // 14 absolute sector where the file system ends
};

struct ScanTarget
{
    core::FsTypeCode scanType = 0;           // FsTypeCode of the partition or chosen file system
    core::Sector scanStartSector = 0;        // Standard: partition's first sector; Advance: range start
    core::Sector scanSectorCount = 0;        // sectors to cover
    core::Sector scanEndSector = 0;          // Standard: partition's last sector; Advance: range end
    std::uint16_t scanPartitionTag = 0;      // 0-based position in the partition list; 0 for a disk
};

}  // namespace catalog

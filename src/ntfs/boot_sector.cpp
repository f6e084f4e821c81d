// NTFS boot sector decoding.
#include "ntfs/boot_sector.h"

#include "core/checked_math.h"
#include "core/le_view.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

bool HasBootSignature(std::span<const std::uint8_t> sector) noexcept
{
    return core::LeView(sector).Matches(kBootSignature, "\x55\xAA");
}

bool HasNtfsTag(std::span<const std::uint8_t> sector) noexcept
{
    return core::LeView(sector).Matches(kBootOemId, "NTFS");
}

bool IsValidSectorsPerCluster(std::uint32_t sectorsPerCluster) noexcept
{
    return sectorsPerCluster != 0 && sectorsPerCluster <= 128 && (sectorsPerCluster & (sectorsPerCluster - 1)) == 0;
}

std::optional<std::uint32_t> SectorsPerClusterOf(std::span<const std::uint8_t> sector) noexcept
{
    core::LeView view(sector);
    const std::uint32_t spc = view.U8(kBootSectorsPerCluster);
    if (!view.Ok() || !IsValidSectorsPerCluster(spc)) {
        return std::nullopt;
    }
    return spc;
}

std::optional<std::uint32_t> IndexBufferSectors(std::uint32_t rawValue, std::uint32_t sectorsPerCluster) noexcept
{
    if (rawValue == kIndexBufferCode4096) {
        return kIndexBufferCode4096Sectors;
    }
    return core::CheckedMul(rawValue, sectorsPerCluster);
}

std::optional<BootSectorInfo> DecodeBootSector(std::span<const std::uint8_t> sector) noexcept
{
    if (sector.size() < kBootSectorSize) {
        return std::nullopt;
    }
    const auto spc = SectorsPerClusterOf(sector);
    if (!spc) {
        return std::nullopt;
    }
    core::LeView view(sector);
    BootSectorInfo info;
    info.hasSignature = HasBootSignature(sector);
    info.hasNtfsTag = HasNtfsTag(sector);
    info.sectorsPerCluster = *spc;
    info.mftCluster = view.U32(kBootMftCluster);
    info.mftMirrCluster = view.U32(kBootMftMirrCluster);
    info.indexBufferRaw = view.U32(kBootClustersPerIndexBuffer);
    info.indexBufferSectors = IndexBufferSectors(info.indexBufferRaw, *spc);
    info.totalSectors = view.U64(kBootTotalSectors);
    return info;
}

}  // namespace ntfs

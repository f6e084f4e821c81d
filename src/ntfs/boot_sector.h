// NTFS boot sector: signature tests and the volume geometry it declares.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace ntfs {

// Bytes 510-511 are 0x55 0xAA.
bool HasBootSignature(std::span<const std::uint8_t> sector) noexcept;
// Bytes 3-6 are "NTFS" (how the raw sweep recognises an NTFS boot sector).
bool HasNtfsTag(std::span<const std::uint8_t> sector) noexcept;
// 1, 2, 4, 8, 16, 32, 64 or 128.
bool IsValidSectorsPerCluster(std::uint32_t sectorsPerCluster) noexcept;
// Byte 13 of the sector when it is a valid cluster size; empty otherwise.
std::optional<std::uint32_t> SectorsPerClusterOf(std::span<const std::uint8_t> sector) noexcept;
// Sectors per index buffer from the raw 32-bit value at offset 68: 0xF4 gives 8, any other value v
// gives v * sectorsPerCluster; empty when that product does not fit 32 bits.
std::optional<std::uint32_t> IndexBufferSectors(std::uint32_t rawValue, std::uint32_t sectorsPerCluster) noexcept;

struct BootSectorInfo
{
    bool hasSignature = false;              // 0x55 0xAA at 510
    bool hasNtfsTag = false;                // "NTFS" at 3
    std::uint32_t sectorsPerCluster = 0;    // valid cluster size (1..128, a power of two)
    std::uint32_t mftCluster = 0;           // low 32 bits of the $MFT LCN
    std::uint32_t mftMirrCluster = 0;       // low 32 bits of the $MFTMirr LCN
    std::uint32_t indexBufferRaw = 0;       // raw 32-bit value at offset 68
    std::optional<std::uint32_t> indexBufferSectors;  // IndexBufferSectors of the above
    std::uint64_t totalSectors = 0;         // sectors of the volume (the copy sits at the last one)
};

// Decodes a 512-byte boot sector. Empty when the buffer is shorter than 512 bytes or its
// sectors-per-cluster byte is not a valid cluster size; the signature and tag are reported, not
// required (callers differ in which they test).
std::optional<BootSectorInfo> DecodeBootSector(std::span<const std::uint8_t> sector) noexcept;

}  // namespace ntfs

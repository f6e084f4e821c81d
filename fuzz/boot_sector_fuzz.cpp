// Fuzz target: NTFS boot sector decoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "ntfs/boot_sector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy so that any read past the end is caught.
    const std::vector<std::uint8_t> sector(data, data + size);
    const std::span<const std::uint8_t> bytes(sector);
    static_cast<void>(ntfs::HasBootSignature(bytes));
    static_cast<void>(ntfs::HasNtfsTag(bytes));
    if (const auto info = ntfs::DecodeBootSector(bytes)) {
        if (!ntfs::IsValidSectorsPerCluster(info->sectorsPerCluster)) {
            std::abort();
        }
        if (info->indexBufferSectors && info->indexBufferRaw != 0xF4 &&
            std::uint64_t{*info->indexBufferSectors} != std::uint64_t{info->indexBufferRaw} * info->sectorsPerCluster) {
            std::abort();
        }
    }
    return 0;
}

// Mode F: sector reads through the BIOS disk library.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "disk/bios_libraries.h"

namespace disk {

int ReadSectorsBios(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer)
{
    const BiosLibraries* bios = disk.bios;
    // BIOS drive numbers 0x80 + slot exist for the 32 slots only; beyond, the number would wrap
    // onto another drive.
    if (bios == nullptr || bios->ReadDisk32 == nullptr || disk.selectedDrive >= std::size(bios->hasInt13Extensions)) {
        return 0;
    }
    const std::size_t bytes = std::size_t{count} * core::kSectorSize;
    if (buffer.size() < bytes) {
        return 0;
    }
    if (firstSector > UINT32_MAX || count > UINT32_MAX - firstSector + 1) {
        std::fill_n(buffer.begin(), bytes, std::uint8_t{0});  // the library addresses 32-bit LBAs only
        return 0;
    }
    const auto lba = static_cast<std::uint32_t>(firstSector);
    const Chs chs = TranslateChs(lba);
    const std::size_t slot = disk.selectedDrive;
    const int ok = bios->ReadDisk32(static_cast<std::uint8_t>(0x80 + disk.selectedDrive), chs.cylinder, chs.head,
                                    chs.sector, count, buffer.data(), lba, bios->hasInt13Extensions[slot]);
    if (ok == 0) {
        std::fill_n(buffer.begin(), bytes, std::uint8_t{0});  // a failed read leaves no stale bytes
    }
    return ok != 0 ? 1 : 0;
}

}  // namespace disk

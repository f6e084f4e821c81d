// Mode F: sector reads through the BIOS disk library.
#include <algorithm>

#include "disk/bios_libraries.h"

namespace disk {

int ReadSectorsBios(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer)
{
    const BiosLibraries* bios = disk.bios;
    if (bios == nullptr || bios->ReadDisk32 == nullptr) {
        return 0;
    }
    const std::size_t bytes = std::size_t{count} * core::kSectorSize;
    if (buffer.size() < bytes) {
        return 0;
    }
    const auto lba = static_cast<std::uint32_t>(firstSector);  // the library addresses 32-bit LBAs
    const Chs chs = TranslateChs(lba);
    const auto slot = static_cast<std::size_t>(std::min<std::uint16_t>(disk.selectedDrive, 31));
    const int ok = bios->ReadDisk32(static_cast<std::uint8_t>(0x80 + disk.selectedDrive), chs.cylinder, chs.head,
                                    chs.sector, count, buffer.data(), lba, bios->hasInt13Extensions[slot]);
    if (ok == 0) {
        std::fill_n(buffer.begin(), bytes, std::uint8_t{0});  // a failed read leaves no stale bytes
    }
    return ok != 0 ? 1 : 0;
}

}  // namespace disk

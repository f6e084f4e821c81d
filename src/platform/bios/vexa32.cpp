// Stand-in for the first BIOS disk library: drive count, int13 extension check and sector reads.
#include <cstdint>

#include "bios_drives.h"

#define BIOS_EXPORT extern "C" __attribute__((visibility("default")))

// Fills *count with the number of hard disks (the drives handed over by DravikBiosSetDrives).
BIOS_EXPORT void find_hard_disk32(std::uint16_t* count)
{
    if (count != nullptr) {
        *count = bios::DriveCount();
    }
}

// Non-zero when the drive exists: every drive offered here supports LBA addressing.
BIOS_EXPORT std::int32_t CheckInt13Extension32(std::uint8_t biosDrive)
{
    std::uint64_t size = 0;
    return bios::DriveSize(biosDrive, size) ? 1 : 0;
}

// Reads `count` sectors into `buffer`: by `lba` when `int13Extensions` is non-zero, else by the
// cylinder/head/sector address in the 16-head, 63-sector translation. 1 on success, 0 on failure.
BIOS_EXPORT int ReadDisk32(std::uint8_t biosDrive, std::uint32_t cylinder, std::uint32_t head, std::uint32_t sector,
                           std::uint32_t count, void* buffer, std::uint32_t lba, std::int32_t int13Extensions)
{
    std::uint64_t address = lba;
    if (int13Extensions == 0) {
        if (sector < 1 || sector > bios::kSectorsPerTrack || head >= bios::kHeads) {
            return 0;
        }
        address = (std::uint64_t{cylinder} * bios::kHeads + head) * bios::kSectorsPerTrack + (sector - 1);
    }
    return bios::ReadLba(biosDrive, address, count, buffer) ? 1 : 0;
}

// Stand-in for the second BIOS disk library: drive geometry.
#include <cstdint>

#include "bios_drives.h"

// The drive's geometry in the 16-head, 63-sector translation, cylinders rounded up so every
// sector is addressable; all zero for a drive that does not exist or holds no media.
extern "C" __attribute__((visibility("default"))) void get_drive_geometry32(std::uint8_t biosDrive,
                                                                             std::uint32_t* cylinders,
                                                                             std::uint32_t* heads,
                                                                             std::uint32_t* sectorsPerTrack)
{
    std::uint64_t size = 0;
    std::uint32_t c = 0;
    std::uint32_t h = 0;
    std::uint32_t s = 0;
    if (bios::DriveSize(biosDrive, size) && size >= 512) {
        const std::uint64_t sectors = size / 512;
        const std::uint64_t perCylinder = std::uint64_t{bios::kHeads} * bios::kSectorsPerTrack;
        const std::uint64_t cyl = sectors / perCylinder + (sectors % perCylinder != 0 ? 1 : 0);
        c = cyl > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(cyl);
        h = bios::kHeads;
        s = bios::kSectorsPerTrack;
    }
    if (cylinders != nullptr) {
        *cylinders = c;
    }
    if (heads != nullptr) {
        *heads = h;
    }
    if (sectorsPerTrack != nullptr) {
        *sectorsPerTrack = s;
    }
}

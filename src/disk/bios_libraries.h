// Mode F: the two legacy BIOS disk libraries, loaded at start-up, and the read through them.
#pragma once

#include <cstdint>
#include <span>

#include "disk/disk_state.h"

namespace disk {

// Entry points of the stand-in BIOS disk libraries (library one: ReadDisk32,
// CheckInt13Extension32, find_hard_disk32; library two: get_drive_geometry32).
using ReadDisk32Fn = int (*)(std::uint8_t biosDrive, std::uint32_t cylinder, std::uint32_t head, std::uint32_t sector,
                             std::uint32_t count, void* buffer, std::uint32_t lba, std::int32_t int13Extensions);
using CheckInt13Extension32Fn = std::int32_t (*)(std::uint8_t biosDrive);
using FindHardDisk32Fn = void (*)(std::uint16_t* count);
using GetDriveGeometry32Fn = void (*)(std::uint8_t biosDrive, std::uint32_t* cylinders, std::uint32_t* heads,
                                      std::uint32_t* sectorsPerTrack);

struct BiosLibraries
{
    ReadDisk32Fn ReadDisk32 = nullptr;
    CheckInt13Extension32Fn CheckInt13Extension32 = nullptr;
    FindHardDisk32Fn find_hard_disk32 = nullptr;
    GetDriveGeometry32Fn get_drive_geometry32 = nullptr;
    std::int32_t hasInt13Extensions[32] = {};  // per BIOS drive, filled at enumeration
};

// The fixed 16-head, 63-sector translation of mode F.
struct Chs
{
    std::uint32_t cylinder;
    std::uint32_t head;
    std::uint32_t sector;  // 1..63
};
constexpr Chs TranslateChs(std::uint32_t lba) noexcept { return {lba / 1008, (lba / 63) % 16, (lba % 63) + 1}; }

// Reads through ReadDisk32 of the loaded library; 1 on the library's success, else 0.
int ReadSectorsBios(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer);

}  // namespace disk

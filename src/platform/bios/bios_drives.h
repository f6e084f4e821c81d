// Shared part of the BIOS disk stand-in libraries: the drive list and sector reads by BIOS number.
//
// The libraries cannot see the program's drive discovery, so the program hands them the drive
// list once after loading them: DravikBiosSetDrives(paths, count) in each library. BIOS drive
// 0x80 + k is then paths[k]. Drives are opened read-only for every call and never kept open.
#pragma once

#include <cstdint>

namespace bios {

inline constexpr std::uint8_t kFirstHardDisk = 0x80;
inline constexpr std::uint32_t kMaxDrives = 32;
// The classic int13 translation the CHS path of ReadDisk32 decodes.
inline constexpr std::uint32_t kHeads = 16;
inline constexpr std::uint32_t kSectorsPerTrack = 63;

void SetDrives(const char* const* paths, std::uint32_t count);
std::uint16_t DriveCount();
// Size in bytes of BIOS drive `biosDrive`; empty optional is expressed as false.
bool DriveSize(std::uint8_t biosDrive, std::uint64_t& sizeBytes);
// Reads `count` sectors from `lba` on. False when any of them cannot be read.
bool ReadLba(std::uint8_t biosDrive, std::uint64_t lba, std::uint32_t count, void* buffer);

}  // namespace bios

extern "C" {
// Hands the library the drive list; paths[k] is BIOS drive 0x80 + k (at most 32 are kept).
__attribute__((visibility("default"))) void DravikBiosSetDrives(const char* const* paths, std::uint32_t count);
}

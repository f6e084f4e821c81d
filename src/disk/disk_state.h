// The disk-access state of a run and the one sector-read operation every byte goes through.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/sector_source.h"
#include "core/types.h"

namespace disk {

struct BiosLibraries;  // the two legacy BIOS disk libraries of mode F (bios_libraries.h)

inline constexpr std::uint16_t kDefaultRetryCount = 3;
inline constexpr std::uint32_t kDefaultChunkSectorsN = 60;
inline constexpr std::uint32_t kDefaultChunkSectorsF = 8;

struct DiskState
{
    char accessMode = 'N';                             // 'N' device files, 'F' BIOS libraries
    std::unique_ptr<core::SectorSource> driveHandle;   // mode N: the open drive; empty = invalid handle
    std::uint16_t selectedDrive = 0;                   // index into DriveTable / drivePaths
    std::uint16_t readRetryCount = kDefaultRetryCount; // attempts per sector in the fallback read
    std::uint32_t readChunkSectors = kDefaultChunkSectorsN; // sectors per sweep read
    const BiosLibraries* bios = nullptr;               // mode F: the loaded entry points
};

// Reads `count` 512-byte sectors starting at absolute sector `firstSector` of the selected drive
// into `buffer` (which must hold count * 512 bytes). Returns 1 when the read is reported done:
// mode N, the bulk read succeeded or the last attempt for the last sector succeeded; mode F, the
// library reported success. Returns 0 otherwise; with no open drive the buffer is untouched.
// Bytes that could not be read are zero, never stale.
int ReadSectors(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer);

// The same read, also telling how many of the `count` sectors stayed unreadable (and were
// zeroed) after the retries: in mode N the sectors the per-sector fallback gave up on, in mode F
// every sector of a failed request. With no open drive the buffer is zeroed and every sector
// counts as unreadable. A buffer shorter than count * 512 bytes reads nothing and counts nothing.
int ReadSectorsCounted(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer,
                       std::uint32_t& unreadableSectors);

// The open image file behind the selected drive when sectors firstSector .. firstSector + count - 1
// can be taken straight from it: mode N, the source a regular file (not a block device) and the
// whole range inside it. -1 otherwise. Inside a regular file every read succeeds, so copying
// those bytes directly gives what ReadSectorsCounted would, with no unreadable sectors.
int ImageFileFdFor(const DiskState& disk, std::uint64_t firstSector, std::uint32_t count);

}  // namespace disk

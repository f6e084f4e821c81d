// The sector reader: bulk read with a per-sector fallback and retries.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "disk/bios_libraries.h"
#include "disk/disk_state.h"
#include "platform/file_source.h"

namespace disk {

namespace {

int ReadSectorsN(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer,
                 std::uint32_t& unreadable)
{
    core::SectorSource* source = disk.driveHandle.get();
    if (source == nullptr) {
        return 0;
    }
    const std::size_t bytes = std::size_t{count} * core::kSectorSize;
    if (buffer.size() < bytes) {
        return 0;  // a caller's fault; never write past its buffer
    }
    const auto out = buffer.first(bytes);
    // Sector numbers whose byte offset does not fit 64 bits would wrap onto the start of the disk.
    if (firstSector > UINT64_MAX / core::kSectorSize - count) {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        unreadable = count;
        return 0;
    }
    // Sectors past the end of the drive are zeros at once: reading them one by one, with
    // retries, would only fail slowly.
    const std::uint64_t size = source->SizeBytes();
    if (size != UINT64_MAX && firstSector + count > size / core::kSectorSize) {
        const std::uint64_t driveSectors = size / core::kSectorSize;
        const auto inside = static_cast<std::uint32_t>(firstSector >= driveSectors ? 0 : driveSectors - firstSector);
        const auto past = out.subspan(std::size_t{inside} * core::kSectorSize);
        std::fill(past.begin(), past.end(), std::uint8_t{0});
        unreadable += count - inside;
        if (inside != 0) {
            (void)ReadSectorsN(disk, firstSector, inside, out, unreadable);
        }
        return 0;
    }
    if (source->ReadAt(core::SectorOffset(firstSector), out)) {
        return 1;
    }
    // The bulk read failed: fetch each sector on its own so one bad sector does not lose the rest.
    bool lastOk = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto sector = out.subspan(std::size_t{i} * core::kSectorSize, core::kSectorSize);
        bool ok = false;
        for (std::uint16_t attempt = 0; attempt < disk.readRetryCount && !ok; ++attempt) {
            ok = source->ReadAt(core::SectorOffset(firstSector + i), sector);
        }
        if (!ok) {
            std::fill(sector.begin(), sector.end(), std::uint8_t{0});  // never leave stale bytes
            ++unreadable;
        }
        lastOk = ok;
    }
    return lastOk ? 1 : 0;
}

}  // namespace

int ReadSectors(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer)
{
    if (disk.accessMode == 'F') {
        return ReadSectorsBios(disk, firstSector, count, buffer);
    }
    std::uint32_t unreadable = 0;
    return ReadSectorsN(disk, firstSector, count, buffer, unreadable);
}

int ReadSectorsCounted(DiskState& disk, std::uint64_t firstSector, std::uint32_t count, std::span<std::uint8_t> buffer,
                       std::uint32_t& unreadableSectors)
{
    unreadableSectors = 0;
    const std::size_t bytes = std::size_t{count} * core::kSectorSize;
    if (buffer.size() < bytes) {
        return 0;
    }
    const bool noDrive = disk.accessMode == 'F' ? disk.bios == nullptr : disk.driveHandle == nullptr;
    if (noDrive) {
        std::fill_n(buffer.begin(), bytes, std::uint8_t{0});
        unreadableSectors = count;
        return 0;
    }
    if (disk.accessMode == 'F') {
        const int ok = ReadSectorsBios(disk, firstSector, count, buffer);
        if (ok == 0) {
            // The library reports the whole request only; its failure leaves every sector zero.
            std::fill_n(buffer.begin(), bytes, std::uint8_t{0});
            unreadableSectors = count;
        }
        return ok;
    }
    return ReadSectorsN(disk, firstSector, count, buffer, unreadableSectors);
}

int ImageFileFdFor(const DiskState& disk, std::uint64_t firstSector, std::uint32_t count)
{
    if (disk.accessMode != 'N' || count == 0) {
        return -1;
    }
    const auto* file = dynamic_cast<const platform::FileSectorSource*>(disk.driveHandle.get());
    if (file == nullptr || firstSector > UINT64_MAX / core::kSectorSize - count) {
        return -1;
    }
    // The size taken at opening: an image that shrinks afterwards gives a short copy, which the
    // caller completes through the sector reader.
    if (!file->IsRegularFile()) {
        return -1;
    }
    const std::uint64_t end = core::SectorOffset(firstSector + count);
    return end <= file->SizeBytes() ? file->Fd() : -1;
}

}  // namespace disk

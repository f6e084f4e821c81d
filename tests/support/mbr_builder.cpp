// Partition table and boot sector builders for tests.
#include "support/mbr_builder.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace testing_support {

namespace {

void Put(SectorBytes& s, std::size_t off, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) {
        s.at(off + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutText(SectorBytes& s, std::size_t off, std::string_view text)
{
    std::copy(text.begin(), text.end(), s.begin() + static_cast<std::ptrdiff_t>(off));
}

void Sign(SectorBytes& s)
{
    s[510] = 0x55;
    s[511] = 0xAA;
}

// The BIOS parameter block shared by FAT and NTFS boot sectors.
SectorBytes BootSectorBase(std::string_view oem, std::uint8_t sectorsPerCluster, std::uint32_t hiddenSectors)
{
    SectorBytes s{};
    s[0] = 0xEB;
    s[1] = 0x52;
    s[2] = 0x90;
    PutText(s, 3, oem);
    Put(s, 11, 512, 2);               // bytes per sector
    s[13] = sectorsPerCluster;
    Put(s, 24, 63, 2);                // sectors per track
    Put(s, 26, 255, 2);               // heads
    Put(s, 28, hiddenSectors, 4);
    s[21] = 0xF8;                     // media: fixed disk
    Sign(s);
    return s;
}

}  // namespace

SectorBytes MakeBootRecord(std::span<const PartitionEntrySpec> entries)
{
    if (entries.size() > 4) {
        throw std::invalid_argument("a boot record holds four entries");
    }
    SectorBytes s{};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t base = 446 + 16 * i;
        s[base] = entries[i].bootable ? 0x80 : 0x00;
        s[base + 4] = entries[i].type;
        Put(s, base + 8, entries[i].firstSector, 4);
        Put(s, base + 12, entries[i].sectorCount, 4);
    }
    Sign(s);
    return s;
}

SectorBytes MakeBootRecord(std::initializer_list<PartitionEntrySpec> entries)
{
    return MakeBootRecord(std::span<const PartitionEntrySpec>(entries.begin(), entries.size()));
}

SectorBytes MakeFat16BootSector(std::uint32_t totalSectors, std::uint32_t hiddenSectors)
{
    SectorBytes s = BootSectorBase("MSDOS5.0", 4, hiddenSectors);
    Put(s, 14, 4, 2);    // reserved sectors
    s[16] = 2;           // FATs
    Put(s, 17, 512, 2);  // root entries
    if (totalSectors <= 0xFFFF) {
        Put(s, 19, totalSectors, 2);
    } else {
        Put(s, 32, totalSectors, 4);
    }
    Put(s, 22, 64, 2);   // sectors per FAT
    s[36] = 0x80;        // drive number
    s[38] = 0x29;        // extended boot signature
    PutText(s, 43, "NO NAME    ");
    PutText(s, 54, "FAT16   ");
    return s;
}

SectorBytes MakeFat32BootSector(std::uint32_t totalSectors, std::uint32_t hiddenSectors)
{
    SectorBytes s = BootSectorBase("MSDOS5.0", 8, hiddenSectors);
    Put(s, 14, 32, 2);   // reserved sectors
    s[16] = 2;           // FATs
    Put(s, 32, totalSectors, 4);
    Put(s, 36, 1024, 4); // sectors per FAT
    Put(s, 44, 2, 4);    // root cluster
    Put(s, 48, 1, 2);    // FSInfo sector
    Put(s, 50, 6, 2);    // backup boot sector
    s[64] = 0x80;
    s[66] = 0x29;
    PutText(s, 71, "NO NAME    ");
    PutText(s, 82, "FAT32   ");
    return s;
}

SectorBytes MakeNtfsBootSector(std::uint64_t totalSectors, std::uint32_t hiddenSectors)
{
    SectorBytes s = BootSectorBase("NTFS    ", 8, hiddenSectors);
    Put(s, 40, totalSectors, 8);
    Put(s, 48, 4, 8);                 // $MFT cluster
    Put(s, 56, totalSectors / 16, 8); // $MFTMirr cluster
    s[64] = 0xF6;                     // 1024-byte FILE records
    s[68] = 1;                        // one cluster per index buffer
    return s;
}

std::vector<core::Sector> WriteExtendedChain(MemoryDisk& disk, core::Sector extendedBase,
                                             std::span<const LogicalSpec> logicals)
{
    std::vector<core::Sector> starts;
    for (std::size_t i = 0; i < logicals.size(); ++i) {
        const LogicalSpec& l = logicals[i];
        std::vector<PartitionEntrySpec> entries{{l.type, l.dataOffset, l.sectorCount, false}};
        if (i + 1 < logicals.size()) {
            const LogicalSpec& next = logicals[i + 1];
            entries.push_back({0x05, next.recordOffset, next.dataOffset + next.sectorCount, false});
        }
        const core::Sector record = extendedBase + l.recordOffset;
        disk.WriteSector(record, MakeBootRecord(entries));
        starts.push_back(record + l.dataOffset);
    }
    return starts;
}

}  // namespace testing_support

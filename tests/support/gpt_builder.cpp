// GUID partition table builders for tests.
#include "support/gpt_builder.h"

#include <algorithm>
#include <vector>

#include "core/crc32.h"

namespace testing_support {

namespace {

constexpr std::uint64_t kSector = core::kSectorSize;

std::uint64_t GetLe(const MemoryDisk& disk, std::uint64_t offset, int width)
{
    std::uint64_t value = 0;
    for (int i = width; i-- > 0;) {
        value = value << 8 | disk.Bytes()[offset + static_cast<std::uint64_t>(i)];
    }
    return value;
}

std::uint8_t Hex(char c)
{
    return static_cast<std::uint8_t>(c >= '0' && c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

}  // namespace

partitions::Guid GuidOf(std::string_view text)
{
    static constexpr std::size_t kPosition[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    partitions::Guid guid{};
    for (std::size_t i = 0; i < guid.size(); ++i) {
        guid[i] = static_cast<std::uint8_t>(Hex(text[kPosition[i]]) << 4 | Hex(text[kPosition[i] + 1]));
    }
    return guid;
}

void PutLe(MemoryDisk& disk, std::uint64_t offset, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i) {
        disk.Bytes()[offset + static_cast<std::uint64_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t HeaderOffset(std::uint64_t lba) { return lba * kSector; }

std::uint64_t ArrayOffset(const MemoryDisk& disk, std::uint64_t headerLba)
{
    return GetLe(disk, HeaderOffset(headerLba) + 72, 8) * kSector;
}

void FixHeaderCrc(MemoryDisk& disk, std::uint64_t lba)
{
    const std::uint64_t at = HeaderOffset(lba);
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(GetLe(disk, at + 12, 4), kSector));
    PutLe(disk, at + 16, 0, 4);
    const std::span<const std::uint8_t> header(disk.Bytes().data() + at, size);
    PutLe(disk, at + 16, core::Crc32(header), 4);
}

void FixArrayCrc(MemoryDisk& disk, std::uint64_t lba)
{
    const std::uint64_t at = HeaderOffset(lba);
    const std::uint64_t bytes = GetLe(disk, at + 80, 4) * GetLe(disk, at + 84, 4);
    const std::uint64_t array = ArrayOffset(disk, lba);
    const std::span<const std::uint8_t> entries(disk.Bytes().data() + array, static_cast<std::size_t>(bytes));
    PutLe(disk, at + 88, core::Crc32(entries), 4);
    FixHeaderCrc(disk, lba);
}

void WriteGpt(MemoryDisk& disk, std::span<const GptPartitionSpec> partitions, const GptLayoutSpec& layout)
{
    const std::uint64_t sectors = disk.Bytes().size() / kSector;
    const std::uint64_t arrayBytes = std::uint64_t{layout.entryCount} * layout.entrySize;
    const std::uint64_t arraySectors = (arrayBytes + kSector - 1) / kSector;

    // Protective MBR: one 0xEE entry covering the disk.
    std::vector<std::uint8_t> mbr(kSector, 0);
    const std::size_t entry = 446 + 16 * std::size_t{layout.protectiveSlot};
    mbr[entry + 4] = 0xEE;
    mbr[entry + 8] = 1;
    const auto covered = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors - 1, UINT32_MAX));
    for (int i = 0; i < 4; ++i) {
        mbr[entry + 12 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(covered >> (8 * i));
    }
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    disk.Write(0, mbr);

    std::vector<std::uint8_t> array(static_cast<std::size_t>(arraySectors * kSector), 0);
    std::uint32_t next = 0;
    for (const GptPartitionSpec& p : partitions) {
        const std::uint32_t slot = p.slot == UINT32_MAX ? next : p.slot;
        next = slot + 1;
        const std::size_t base = std::size_t{slot} * layout.entrySize;
        const auto type = GuidOf(p.type);
        const auto unique = GuidOf(p.unique);
        std::copy(type.begin(), type.end(), array.begin() + static_cast<std::ptrdiff_t>(base));
        std::copy(unique.begin(), unique.end(), array.begin() + static_cast<std::ptrdiff_t>(base + 16));
        for (int i = 0; i < 8; ++i) {
            array[base + 32 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(p.firstLba >> (8 * i));
            array[base + 40 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(p.lastLba >> (8 * i));
        }
        for (std::size_t i = 0; i < p.name.size() && i < 36; ++i) {
            array[base + 56 + 2 * i] = static_cast<std::uint8_t>(p.name[i]);
            array[base + 57 + 2 * i] = static_cast<std::uint8_t>(p.name[i] >> 8);
        }
    }

    const std::uint64_t backupLba = sectors - 1;
    const std::uint64_t backupArrayLba = backupLba - arraySectors;
    for (const auto& [lba, alternate, arrayLba] :
         {std::array<std::uint64_t, 3>{1, backupLba, 2}, std::array<std::uint64_t, 3>{backupLba, 1, backupArrayLba}}) {
        disk.Write(arrayLba * kSector, array);
        const std::uint64_t at = HeaderOffset(lba);
        std::vector<std::uint8_t> zeros(kSector, 0);
        disk.Write(at, zeros);
        const std::string_view signature = "EFI PART";
        std::copy(signature.begin(), signature.end(), disk.Bytes().begin() + static_cast<std::ptrdiff_t>(at));
        PutLe(disk, at + 8, 0x00010000, 4);
        PutLe(disk, at + 12, 92, 4);
        PutLe(disk, at + 24, lba, 8);
        PutLe(disk, at + 32, alternate, 8);
        PutLe(disk, at + 40, 2 + arraySectors, 8);
        PutLe(disk, at + 48, backupArrayLba - 1, 8);
        PutLe(disk, at + 72, arrayLba, 8);
        PutLe(disk, at + 80, layout.entryCount, 4);
        PutLe(disk, at + 84, layout.entrySize, 4);
        FixArrayCrc(disk, lba);
    }
}

}  // namespace testing_support

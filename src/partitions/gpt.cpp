// GUID partition tables: header and entry-array checks, backup fallback, and the records they list.
#include "partitions/gpt.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "core/checked_math.h"
#include "core/crc32.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "core/ntfs_names.h"
#include "partitions/partition_layout.h"
#include "partitions/partition_table.h"

namespace partitions {

namespace {

using SectorBuffer = std::array<std::uint8_t, core::kSectorSize>;

// Without a known disk size LBAs are bounded by what 32-bit sector numbers address.
constexpr std::uint64_t kUnknownDiskBound = std::uint64_t{1} << 32;

Guid GuidAt(std::span<const std::uint8_t> bytes, std::size_t offset) noexcept
{
    Guid guid{};
    if (core::InRange(bytes.size(), offset, kGuidSize)) {
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), kGuidSize, guid.begin());
    }
    return guid;
}

bool IsZero(const Guid& guid) noexcept
{
    return std::all_of(guid.begin(), guid.end(), [](std::uint8_t b) { return b == 0; });
}

// A GUID from its text form, at compile time, for the type table.
constexpr std::uint8_t HexValue(char c)
{
    return static_cast<std::uint8_t>(c >= '0' && c <= '9' ? c - '0' : c - 'A' + 10);
}

constexpr Guid GuidFromText(std::string_view text)
{
    // Byte order on disk: the first three groups little-endian, the last two as written.
    constexpr std::array<std::size_t, 16> kTextPosition = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    Guid guid{};
    for (std::size_t i = 0; i < guid.size(); ++i) {
        const std::size_t at = kTextPosition[i];
        guid[i] = static_cast<std::uint8_t>(HexValue(text[at]) << 4 | HexValue(text[at + 1]));
    }
    return guid;
}

struct TypeName
{
    Guid guid;
    std::string_view name;
};

constexpr std::array kTypeNames = {
    TypeName{GuidFromText("C12A7328-F81F-11D2-BA4B-00A0C93EC93B"), core::msg::kGptTypeEfiSystem},
    TypeName{GuidFromText("E3C9E316-0B5C-4DB8-817D-F92DF00215AE"), core::msg::kGptTypeMicrosoftReserved},
    TypeName{GuidFromText("EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"), core::msg::kGptTypeBasicData},
    TypeName{GuidFromText("DE94BBA4-06D1-4D40-A16A-BFD50179D6AC"), core::msg::kGptTypeWindowsRecovery},
    TypeName{GuidFromText("5808C8AA-7E8F-42E0-85D2-E1E90434CFB3"), core::msg::kGptTypeLdmMetadata},
    TypeName{GuidFromText("AF9B60A0-1431-4F62-BC68-3311714A69AD"), core::msg::kGptTypeLdmData},
    TypeName{GuidFromText("E75CAF8F-F680-4CEE-AFA3-B001E56EFC2D"), core::msg::kGptTypeStorageSpaces},
    TypeName{GuidFromText("21686148-6449-6E6F-744E-656564454649"), core::msg::kGptTypeBiosBoot},
    TypeName{GuidFromText("0FC63DAF-8483-4772-8E79-3D69D8477DE4"), core::msg::kGptTypeLinux},
    TypeName{GuidFromText("0657FD6D-A4AB-43C4-84E5-0933C84B4F4F"), core::msg::kGptTypeLinuxSwap},
    TypeName{GuidFromText("E6D6D379-F507-44C2-A23C-238F2A3DF928"), core::msg::kGptTypeLinuxLvm},
    TypeName{GuidFromText("A19D880F-05FC-4D3B-A006-743F0F84911E"), core::msg::kGptTypeLinuxRaid},
    TypeName{GuidFromText("4F68BCE3-E8CD-4DB1-96E7-FBCAF984B709"), core::msg::kGptTypeLinuxRoot},
    TypeName{GuidFromText("44479540-F297-41B2-9AF7-D131D5F0458A"), core::msg::kGptTypeLinuxRoot},
    TypeName{GuidFromText("933AC7E1-2EB4-4F13-B844-0E14E2AEF915"), core::msg::kGptTypeLinuxHome},
    TypeName{GuidFromText("CA7D7CCB-63ED-4C53-861C-1742536059CC"), core::msg::kGptTypeLinuxLuks},
    TypeName{GuidFromText("48465300-0000-11AA-AA11-00306543ECAC"), core::msg::kGptTypeAppleHfs},
    TypeName{GuidFromText("7C3457EF-0000-11AA-AA11-00306543ECAC"), core::msg::kGptTypeAppleApfs},
};

// The units of a NUL-padded entry name before its first NUL.
std::size_t NameUnits(std::span<const std::uint8_t> name) noexcept
{
    core::LeView view(name);
    std::size_t units = 0;
    while (units < kGptEntryNameUnits && view.U16(2 * units) != 0 && view.Ok()) {
        ++units;
    }
    return units;
}

// A header and its array as read from the disk, when both check out.
std::optional<GptTable> ReadTableAt(disk::DiskState& disk, std::uint64_t headerLba, std::uint64_t diskSectors,
                                    GptSource source)
{
    SectorBuffer sector{};
    ReadOneSector(disk, headerLba, sector);
    const auto header = DecodeGptHeader(sector, headerLba, diskSectors);
    if (!header) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> array(std::size_t{header->ArraySectors()} * core::kSectorSize);
    if (!array.empty() && disk::ReadSectors(disk, header->entryArrayLba, header->ArraySectors(), array) == 0) {
        std::fill(array.begin(), array.end(), std::uint8_t{0});
    }
    auto entries = DecodeGptEntries(*header, array, diskSectors);
    if (!entries) {
        return std::nullopt;
    }
    return GptTable{source, headerLba, std::move(*entries)};
}

}  // namespace

bool HasProtectiveEntry(std::span<const std::uint8_t> mbr) noexcept
{
    core::LeView bytes(mbr);
    if (bytes.U8(kSignatureOffset0) != kSignatureByte0 && bytes.U8(kSignatureOffset1) != kSignatureByte1) {
        return false;
    }
    for (std::size_t i = 0; i < kPrimaryEntryCount; ++i) {
        if (bytes.U8(kPartitionTableOffset + i * kPartitionEntrySize + kEntryTypeOffset) == kTypeGptProtective) {
            return bytes.Ok();
        }
    }
    return false;
}

std::optional<GptHeader> DecodeGptHeader(std::span<const std::uint8_t> sector, std::uint64_t lba,
                                         std::uint64_t diskSectors) noexcept
{
    core::LeView view(sector);
    if (!view.Matches(kGptSignatureOffset, kGptSignature)) {
        return std::nullopt;
    }
    const std::uint32_t headerSize = view.U32(kGptHeaderSizeOffset);
    if (headerSize < kGptMinHeaderSize || headerSize > kGptMaxHeaderSize ||
        !core::InRange(sector.size(), 0, headerSize)) {
        return std::nullopt;
    }
    // The CRC covers the header's own size with the CRC field taken as zero.
    std::array<std::uint8_t, kGptMaxHeaderSize> copy{};
    std::copy_n(sector.begin(), headerSize, copy.begin());
    std::fill_n(copy.begin() + kGptHeaderCrcOffset, 4, std::uint8_t{0});
    if (core::Crc32(std::span(copy).first(headerSize)) != view.U32(kGptHeaderCrcOffset)) {
        return std::nullopt;
    }

    GptHeader header;
    header.myLba = view.U64(kGptMyLbaOffset);
    header.alternateLba = view.U64(kGptAlternateLbaOffset);
    header.firstUsableLba = view.U64(kGptFirstUsableOffset);
    header.lastUsableLba = view.U64(kGptLastUsableOffset);
    header.entryArrayLba = view.U64(kGptEntryArrayLbaOffset);
    header.entryCount = view.U32(kGptEntryCountOffset);
    header.entrySize = view.U32(kGptEntrySizeOffset);
    header.entryArrayCrc = view.U32(kGptEntryArrayCrcOffset);
    if (!view.Ok() || header.myLba != lba) {
        return std::nullopt;
    }
    if (header.entrySize < kGptMinEntrySize || header.entrySize % kGptEntrySizeAlign != 0) {
        return std::nullopt;
    }
    const auto arrayBytes = core::CheckedMul<std::uint64_t>(header.entryCount, header.entrySize);
    if (!arrayBytes || *arrayBytes > kGptMaxArrayBytes) {
        return std::nullopt;
    }
    const std::uint64_t bound = diskSectors != 0 ? diskSectors : kUnknownDiskBound;
    const std::uint64_t arraySectors = (*arrayBytes + core::kSectorSize - 1) / core::kSectorSize;
    const auto arrayEnd = core::CheckedAdd<std::uint64_t>(header.entryArrayLba, arraySectors);
    if (header.entryArrayLba == 0 || !arrayEnd || *arrayEnd > bound) {
        return std::nullopt;
    }
    if (header.firstUsableLba > header.lastUsableLba || header.lastUsableLba >= bound) {
        return std::nullopt;
    }
    return header;
}

std::optional<std::vector<GptEntry>> DecodeGptEntries(const GptHeader& header, std::span<const std::uint8_t> array,
                                                      std::uint64_t diskSectors)
{
    const auto arrayBytes = core::CheckedMul<std::uint64_t>(header.entryCount, header.entrySize);
    if (!arrayBytes || *arrayBytes > kGptMaxArrayBytes || array.size() < *arrayBytes ||
        header.entrySize < kGptMinEntrySize) {
        return std::nullopt;
    }
    const auto bytes = array.first(static_cast<std::size_t>(*arrayBytes));
    if (core::Crc32(bytes) != header.entryArrayCrc) {
        return std::nullopt;
    }
    const std::uint64_t bound = diskSectors != 0 ? diskSectors : kUnknownDiskBound;
    std::vector<GptEntry> entries;
    for (std::uint32_t i = 0; i < header.entryCount && entries.size() < kMaxGptPartitions; ++i) {
        const auto entryBytes = bytes.subspan(std::size_t{i} * header.entrySize, header.entrySize);
        core::LeView view(entryBytes);
        GptEntry entry;
        entry.index = i;
        entry.info.typeGuid = GuidAt(entryBytes, kGptEntryTypeGuidOffset);
        if (IsZero(entry.info.typeGuid)) {
            continue;
        }
        entry.info.uniqueGuid = GuidAt(entryBytes, kGptEntryUniqueGuidOffset);
        entry.firstLba = view.U64(kGptEntryFirstLbaOffset);
        entry.lastLba = view.U64(kGptEntryLastLbaOffset);
        entry.info.attributes = view.U64(kGptEntryAttributesOffset);
        const auto name = entryBytes.subspan(kGptEntryNameOffset, 2 * kGptEntryNameUnits);
        entry.info.name = core::NameFromUtf16(name, NameUnits(name));
        if (!view.Ok() || entry.firstLba > entry.lastLba || entry.lastLba >= bound) {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<GptTable> ReadGpt(disk::DiskState& disk, std::uint64_t diskSectors)
{
    if (auto primary = ReadTableAt(disk, kGptPrimaryHeaderLba, diskSectors, GptSource::Primary)) {
        return primary;
    }
    if (diskSectors <= kGptPrimaryHeaderLba + 1) {
        return std::nullopt;
    }
    return ReadTableAt(disk, diskSectors - 1, diskSectors, GptSource::Backup);
}

std::string GuidText(const Guid& guid)
{
    static constexpr std::array<std::size_t, 16> kOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        const std::uint8_t b = guid[kOrder[i]];
        text += kHex[b >> 4];
        text += kHex[b & 0x0F];
    }
    return text;
}

std::string_view GptTypeName(const Guid& type) noexcept
{
    const auto it = std::find_if(kTypeNames.begin(), kTypeNames.end(), [&](const auto& t) { return t.guid == type; });
    return it == kTypeNames.end() ? core::msg::kGptTypeUnknown : it->name;
}

GptVolume ClassifyGptVolume(std::span<const std::uint8_t> bootSector, const Guid& type) noexcept
{
    const core::LeView view(bootSector);
    if (view.Matches(kFat32TextOffset, "FAT32")) {
        return GptVolume{PartitionContent::FileSystem, core::kFsFat32, {}};
    }
    if (view.Matches(kFat16TextOffset, "FAT16")) {
        return GptVolume{PartitionContent::FileSystem, core::kFsFat16, {}};
    }
    if (view.Matches(kNtfsTextOffset, "NTFS")) {
        return GptVolume{PartitionContent::FileSystem, core::kFsNtfs, {}};
    }
    if (view.Matches(kBitLockerTextOffset, "-FVE-FS-")) {
        return GptVolume{PartitionContent::BitLocker, 0, core::msg::kVolumeBitLocker};
    }
    return GptVolume{PartitionContent::Other, 0, GptTypeName(type)};
}

void ListGptPartitions(disk::DiskState& disk, const GptTable& table, PartitionList& list, PartitionTree& tree)
{
    ClearPartitions(list, tree);
    list.scheme = PartitionScheme::Gpt;
    using Count = decltype(PartitionRecord::sectorCount);
    SectorBuffer boot{};
    for (const GptEntry& entry : table.entries) {
        // An entry whose start or size does not fit the record's sector fields is left out rather
        // than wrapped onto another part of the disk.
        const std::uint64_t count = entry.lastLba - entry.firstLba + 1;
        if (entry.firstLba > std::numeric_limits<core::Sector>::max() || count == 0 ||
            count > std::numeric_limits<Count>::max()) {
            continue;
        }
        ReadOneSector(disk, entry.firstLba, boot);
        const GptVolume volume = ClassifyGptVolume(boot, entry.info.typeGuid);
        PartitionRecord record;
        record.startSector = static_cast<core::Sector>(entry.firstLba);
        record.sectorCount = static_cast<Count>(count);
        record.fsType = volume.fsType;
        record.content = volume.content;
        record.typeName = volume.typeName;
        record.gpt = entry.info;
        if (!AddPartition(list, tree, std::move(record))) {
            break;
        }
    }
}

std::uint64_t DriveSectorCount(const disk::DiskState& disk)
{
    return disk.driveHandle ? disk.driveHandle->SizeBytes() / core::kSectorSize : 0;
}

}  // namespace partitions

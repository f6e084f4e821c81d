// Builders for GUID partition tables on an in-memory disk: the protective MBR, both headers and
// both entry arrays with their CRC-32s, and helpers that restore the CRCs after a field changed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "partitions/partition_list.h"
#include "support/memory_disk.h"

namespace testing_support {

// A GUID from its text form "C12A7328-F81F-11D2-BA4B-00A0C93EC93B" (mixed-endian on disk).
partitions::Guid GuidOf(std::string_view text);

inline constexpr std::string_view kEfiSystemGuid = "C12A7328-F81F-11D2-BA4B-00A0C93EC93B";
inline constexpr std::string_view kMsReservedGuid = "E3C9E316-0B5C-4DB8-817D-F92DF00215AE";
inline constexpr std::string_view kBasicDataGuid = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
inline constexpr std::string_view kLinuxGuid = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";

struct GptPartitionSpec
{
    std::string_view type = kBasicDataGuid;
    std::uint64_t firstLba = 0;
    std::uint64_t lastLba = 0;  // inclusive
    std::u16string name;
    std::string_view unique = "01234567-89AB-CDEF-0123-456789ABCDEF";
    std::uint32_t slot = UINT32_MAX;  // entry slot; UINT32_MAX: the next one
};

struct GptLayoutSpec
{
    std::uint32_t entryCount = 128;
    std::uint32_t entrySize = 128;
    std::uint8_t protectiveSlot = 0;  // MBR slot of the 0xEE entry
};

// Writes a protective MBR, the primary header at LBA 1 with its array at LBA 2, and the backup
// array and header at the end of the disk (header in the last sector, array just before it).
void WriteGpt(MemoryDisk& disk, std::span<const GptPartitionSpec> partitions, const GptLayoutSpec& layout = {});

// Byte offset of the header at `lba` and of its array (from the header's own field).
std::uint64_t HeaderOffset(std::uint64_t lba);
std::uint64_t ArrayOffset(const MemoryDisk& disk, std::uint64_t headerLba);

// Little-endian field writes into the disk's bytes.
void PutLe(MemoryDisk& disk, std::uint64_t offset, std::uint64_t value, int width);

// Recomputes the CRC-32 of the header at `lba` (after a field of it changed).
void FixHeaderCrc(MemoryDisk& disk, std::uint64_t lba);
// Recomputes the array CRC-32 of the header at `lba` and then the header's own CRC.
void FixArrayCrc(MemoryDisk& disk, std::uint64_t lba);

}  // namespace testing_support

// Byte offsets of the master boot record, extended boot records, the GUID partition table and the
// boot-sector fields the partition classifier and the quick search read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace partitions {

// Master and extended boot records.
inline constexpr std::size_t kPartitionTableOffset = 446;  // four 16-byte entries
inline constexpr std::size_t kPartitionEntrySize = 16;
inline constexpr std::size_t kPrimaryEntryCount = 4;
inline constexpr std::size_t kChainEntryCount = 2;         // an EBR's first two entries are read
inline constexpr std::size_t kEntryTypeOffset = 4;         // u8 partition type
inline constexpr std::size_t kEntryFirstSectorOffset = 8;  // le32 first sector (LBA)
inline constexpr std::size_t kEntrySectorCountOffset = 12; // le32 sector count
inline constexpr std::size_t kSignatureOffset0 = 510;      // u8 0x55
inline constexpr std::size_t kSignatureOffset1 = 511;      // u8 0xAA
inline constexpr std::uint8_t kSignatureByte0 = 0x55;
inline constexpr std::uint8_t kSignatureByte1 = 0xAA;

// Partition type bytes.
inline constexpr std::uint8_t kTypeEmpty = 0x00;
inline constexpr std::uint8_t kTypeFat12 = 0x01;        // listed as FAT16 inside the extended chain only
inline constexpr std::uint8_t kTypeFat16Small = 0x04;
inline constexpr std::uint8_t kTypeExtended = 0x05;
inline constexpr std::uint8_t kTypeFat16 = 0x06;
inline constexpr std::uint8_t kTypeNtfs = 0x07;
inline constexpr std::uint8_t kTypeFat32 = 0x0B;
inline constexpr std::uint8_t kTypeFat32Lba = 0x0C;
inline constexpr std::uint8_t kTypeFat16Lba = 0x0E;
inline constexpr std::uint8_t kTypeExtendedLba = 0x0F;
inline constexpr std::uint8_t kTypeGptProtective = 0xEE;  // a GPT disk's protective (or hybrid) MBR entry

// GPT header (at LBA 1, its backup at the disk's last LBA).
inline constexpr std::uint64_t kGptPrimaryHeaderLba = 1;
inline constexpr std::string_view kGptSignature = "EFI PART";
inline constexpr std::size_t kGptSignatureOffset = 0;       // 8 bytes "EFI PART"
inline constexpr std::size_t kGptHeaderSizeOffset = 12;     // le32 bytes covered by the header CRC
inline constexpr std::size_t kGptHeaderCrcOffset = 16;      // le32 CRC-32 of the header, this field as zero
inline constexpr std::size_t kGptMyLbaOffset = 24;          // le64 LBA of this header
inline constexpr std::size_t kGptAlternateLbaOffset = 32;   // le64 LBA of the other header
inline constexpr std::size_t kGptFirstUsableOffset = 40;    // le64 first LBA partitions may use
inline constexpr std::size_t kGptLastUsableOffset = 48;     // le64 last LBA partitions may use
inline constexpr std::size_t kGptEntryArrayLbaOffset = 72;  // le64 first LBA of the entry array
inline constexpr std::size_t kGptEntryCountOffset = 80;     // le32 number of entries in the array
inline constexpr std::size_t kGptEntrySizeOffset = 84;      // le32 bytes per entry
inline constexpr std::size_t kGptEntryArrayCrcOffset = 88;  // le32 CRC-32 of the whole array
inline constexpr std::uint32_t kGptMinHeaderSize = 92;
inline constexpr std::uint32_t kGptMaxHeaderSize = 512;     // one sector
inline constexpr std::uint32_t kGptMinEntrySize = 128;
inline constexpr std::uint32_t kGptEntrySizeAlign = 8;
inline constexpr std::uint32_t kGptMaxArrayBytes = 1024 * 1024;  // larger arrays are not read

// GPT entry.
inline constexpr std::size_t kGptEntryTypeGuidOffset = 0;     // 16 bytes
inline constexpr std::size_t kGptEntryUniqueGuidOffset = 16;  // 16 bytes
inline constexpr std::size_t kGptEntryFirstLbaOffset = 32;    // le64
inline constexpr std::size_t kGptEntryLastLbaOffset = 40;     // le64, inclusive
inline constexpr std::size_t kGptEntryAttributesOffset = 48;  // le64
inline constexpr std::size_t kGptEntryNameOffset = 56;        // 36 UTF-16LE units, NUL-padded
inline constexpr std::size_t kGptEntryNameUnits = 36;
inline constexpr std::size_t kGuidSize = 16;

// Boot-sector texts and sizes.
inline constexpr std::size_t kFat32TextOffset = 82;  // "FAT32" of the FAT32 extended BPB
inline constexpr std::size_t kFat16TextOffset = 54;  // "FAT16" of the FAT12/16 extended BPB
inline constexpr std::size_t kNtfsTextOffset = 3;    // "NTFS" of the OEM name "NTFS    "
inline constexpr std::size_t kBitLockerTextOffset = 3;  // "-FVE-FS-" OEM name of a BitLocker volume
inline constexpr std::size_t kFatTotalSectorsOffset = 32;   // le32 total sectors (FAT)
inline constexpr std::size_t kNtfsTotalSectorsOffset = 40;  // le64 total sectors (NTFS); the low half is used

// NTFS boot-sector fields that tell a backup boot sector (the copy in the sector after the
// volume's last one) from stray bytes.
inline constexpr std::size_t kBytesPerSectorOffset = 11;      // le16, 512 for the volumes the search lists
inline constexpr std::size_t kSectorsPerClusterOffset = 13;   // u8, 1..128, or 0xF4..0xF8 for 2^(256 - v)
inline constexpr std::size_t kNtfsHiddenSectorsOffset = 28;   // le32 partition start, 0 when not set
inline constexpr std::size_t kNtfsMftClusterOffset = 48;      // le64 LCN of $MFT
inline constexpr std::size_t kNtfsMftMirrClusterOffset = 56;  // le64 LCN of $MFTMirr
inline constexpr std::size_t kNtfsSerialOffset = 72;          // le64 volume serial number

}  // namespace partitions

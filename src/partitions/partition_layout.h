// Byte offsets of the master boot record, extended boot records and the boot-sector fields the
// partition classifier and the quick search read.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Boot-sector texts and sizes.
inline constexpr std::size_t kFat32TextOffset = 82;  // "FAT32" of the FAT32 extended BPB
inline constexpr std::size_t kFat16TextOffset = 54;  // "FAT16" of the FAT12/16 extended BPB
inline constexpr std::size_t kNtfsTextOffset = 3;    // "NTFS" of the OEM name "NTFS    "
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

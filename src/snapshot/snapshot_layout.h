// Byte layout of a recovery snapshot file, in its two versions: the classic "1.0" (78-byte header,
// names one byte per character, Latin-1) and "2.0" (114-byte header, 64-bit sector fields, names
// in UTF-8, a CRC-32 of everything before it at the end). docs/snapshot-format.md has both.
//
// Integers are little-endian with no gaps. A record starts with a 16-bit length that counts the
// name and every fixed field after the length itself (not the length field), so
// name length = record length - fixed part. Each list is a 32-bit count followed by exactly that
// many records in list order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace snapshot {

inline constexpr std::string_view kTag = "dnx4.02";  // compared without regard to case
inline constexpr std::string_view kVersion = "1.0";  // compared without regard to case
inline constexpr std::string_view kVersion2 = "2.0";  // compared exactly
// The extension a saved name ends in; compared exactly, case counts.
inline constexpr std::string_view kExtension = ".QDN";

// Header: tag, version, ScanTarget, VolumeParams without rootDirStart, selectedFileSystem.
inline constexpr std::size_t kTagOffset = 0;                   // 7 bytes
inline constexpr std::size_t kVersionOffset = 7;               // 3 bytes
inline constexpr std::size_t kScanTypeOffset = 10;             // le16
inline constexpr std::size_t kScanStartSectorOffset = 12;      // le32
inline constexpr std::size_t kScanSectorCountOffset = 16;      // le32
inline constexpr std::size_t kScanEndSectorOffset = 20;        // le32
inline constexpr std::size_t kScanPartitionTagOffset = 24;     // le16
inline constexpr std::size_t kVolumeTypeOffset = 26;           // le16: 100 FAT16, 200 FAT32, 300 NTFS
inline constexpr std::size_t kFatSectorsOffset = 28;           // le32
inline constexpr std::size_t kSectorsPerClusterOffset = 32;    // le32
inline constexpr std::size_t kRootDirSectorsOffset = 36;       // le32
inline constexpr std::size_t kReservedSectorsOffset = 40;      // le32
inline constexpr std::size_t kClusterBaseOffset = 44;          // le32
inline constexpr std::size_t kFat1StartOffset = 48;            // le32
inline constexpr std::size_t kFat2StartOffset = 52;            // le32
inline constexpr std::size_t kMftSectorOffset = 56;            // le32
inline constexpr std::size_t kMftMirrSectorOffset = 60;        // le32
inline constexpr std::size_t kSectorsPerFileRecordOffset = 64; // le32
inline constexpr std::size_t kIndexRecordSectorsOffset = 68;   // le32
inline constexpr std::size_t kEndSectorOffset = 72;            // le32
inline constexpr std::size_t kSelectedFileSystemOffset = 76;   // le16
inline constexpr std::size_t kHeaderSize = 78;

inline constexpr std::size_t kCountSize = 4;         // le32 before each list
inline constexpr std::size_t kRecordLengthSize = 2;  // le16 at the start of each record

// Fixed parts (bytes counted by the record length besides the name).
// NtfsFolderEntry: name, record 4, parent 4, created 8, changed 8, deleted 1, reserved 2.
inline constexpr std::size_t kNtfsFolderFixed = 27;
// NtfsFileEntry: dataRecordSector 4 (before the name), name, record 4, parent 4, created 8,
// changed 8, deleted 1, size 8.
inline constexpr std::size_t kNtfsFileFixed = 37;
// FatFolderEntry: name, cluster 4, parentCluster 4, writeDate 2, accessDate 2, deleted 1,
// reserved 2.
inline constexpr std::size_t kFatFolderFixed = 15;
// FatFileEntry: name, cluster 4, parentCluster 4, writeDate 2, accessDate 2, size 4, deleted 1,
// serial 4.
inline constexpr std::size_t kFatFileFixed = 21;

// Names in classic files are at most 255 bytes; a longer one marks a damaged file.
inline constexpr std::size_t kMaxNameLength = 255;

// ---- version 2.0 ----
// Header: tag, version, then the classic fields in their order with every sector field widened
// to 64 bits (signed ones sign-extended).
inline constexpr std::size_t kV2ScanTypeOffset = 10;             // le16
inline constexpr std::size_t kV2ScanStartSectorOffset = 12;      // le64
inline constexpr std::size_t kV2ScanSectorCountOffset = 20;      // le64
inline constexpr std::size_t kV2ScanEndSectorOffset = 28;        // le64
inline constexpr std::size_t kV2ScanPartitionTagOffset = 36;     // le16
inline constexpr std::size_t kV2VolumeTypeOffset = 38;           // le16
inline constexpr std::size_t kV2FatSectorsOffset = 40;           // le32
inline constexpr std::size_t kV2SectorsPerClusterOffset = 44;    // le32
inline constexpr std::size_t kV2RootDirSectorsOffset = 48;       // le32
inline constexpr std::size_t kV2ReservedSectorsOffset = 52;      // le32
inline constexpr std::size_t kV2ClusterBaseOffset = 56;          // le64
inline constexpr std::size_t kV2Fat1StartOffset = 64;            // le64
inline constexpr std::size_t kV2Fat2StartOffset = 72;            // le64
inline constexpr std::size_t kV2MftSectorOffset = 80;            // le64, signed
inline constexpr std::size_t kV2MftMirrSectorOffset = 88;        // le64, signed
inline constexpr std::size_t kV2SectorsPerFileRecordOffset = 96; // le32
inline constexpr std::size_t kV2IndexRecordSectorsOffset = 100;  // le32
inline constexpr std::size_t kV2EndSectorOffset = 104;           // le64
inline constexpr std::size_t kV2SelectedFileSystemOffset = 112;  // le16
inline constexpr std::size_t kV2HeaderSize = 114;
// After the last record: CRC-32 (IEEE 802.3, as zlib's crc32) of every byte before it.
inline constexpr std::size_t kV2ChecksumSize = 4;

// Fixed parts: as in the classic records, with dataRecordSector 8 bytes wide.
inline constexpr std::size_t kV2NtfsFolderFixed = kNtfsFolderFixed;
inline constexpr std::size_t kV2NtfsFileFixed = kNtfsFileFixed + 4;
inline constexpr std::size_t kV2FatFolderFixed = kFatFolderFixed;
inline constexpr std::size_t kV2FatFileFixed = kFatFileFixed;

// Names in 2.0 files are well-formed UTF-8 of at most 765 bytes (255 UTF-16 units of three bytes).
inline constexpr std::size_t kV2MaxNameLength = 765;

}  // namespace snapshot

// NTFS on-disk layout: byte offsets of every field the decoders read, little-endian throughout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ntfs {

// ---- Boot sector (one 512-byte sector; a copy sits at the volume's last sector) ----
inline constexpr std::size_t kBootSectorSize = 512;
inline constexpr std::size_t kBootOemId = 3;                  // 4 bytes "NTFS" (then 4 blanks)
inline constexpr std::size_t kBootBytesPerSector = 11;        // le16
inline constexpr std::size_t kBootSectorsPerCluster = 13;     // u8, 1, 2, 4, ..., 128
inline constexpr std::size_t kBootTotalSectors = 40;          // le64, sectors in the volume
inline constexpr std::size_t kBootMftCluster = 48;            // le64, LCN of $MFT (low 32 bits used)
inline constexpr std::size_t kBootMftMirrCluster = 56;        // le64, LCN of $MFTMirr (low 32 bits used)
inline constexpr std::size_t kBootClustersPerIndexBuffer = 68;  // le32, 0xF4 stands for 8 sectors
inline constexpr std::size_t kBootSignature = 510;            // 0x55 0xAA
inline constexpr std::uint32_t kIndexBufferCode4096 = 0xF4;   // -12 as a byte: 2^12 bytes
inline constexpr std::uint32_t kIndexBufferCode4096Sectors = 8;

// ---- Multi-sector protection (FILE records and INDX buffers) ----
inline constexpr std::size_t kMstSectorSize = 512;
inline constexpr std::size_t kMstUsaOffset = 4;               // le16, offset of the update sequence array
inline constexpr std::size_t kMstUsaCount = 6;                // le16, entries: the number + one per sector
inline constexpr std::size_t kMstSectorTail = 510;            // last two bytes of every sector
// Array entries are copied only while they lie below this record offset.
inline constexpr std::size_t kMstFixupEntryLimit = 84;

// ---- FILE record header (records are always handled as 1024 bytes) ----
inline constexpr std::size_t kFileRecordSize = 1024;
inline constexpr std::size_t kFileRecordSectors = 2;
// Offsets from the record data must stay below this bound (the last byte of the record).
inline constexpr std::size_t kFileRecordLimit = 1023;
inline constexpr std::size_t kFileSignature = 0;              // 4 bytes "FILE"
inline constexpr std::size_t kFileSequenceNumber = 16;        // le16
inline constexpr std::size_t kFileLinkCount = 18;             // le16
inline constexpr std::size_t kFileFirstAttribute = 20;        // le16 (read signed), first attribute
inline constexpr std::size_t kFileFlags = 22;                 // le16, low byte: bit 0 in use, bit 1 directory
inline constexpr std::size_t kFileBytesInUse = 24;            // le32
inline constexpr std::size_t kFileAllocatedSize = 28;         // le32, 1024 (low 16 bits tested by the sweep)
inline constexpr std::size_t kFileBaseRecord = 32;            // le64, base record reference of an extension
inline constexpr std::size_t kFileNextAttributeId = 40;       // le16
inline constexpr std::size_t kFileRecordNumber = 44;          // le32 (NTFS 3.1)
inline constexpr std::uint8_t kFileFlagInUse = 0x01;
inline constexpr std::uint8_t kFileFlagDirectory = 0x02;

// ---- Attribute header, common part ----
inline constexpr std::size_t kAttrType = 0;                   // le32, type code
inline constexpr std::size_t kAttrLength = 4;                 // le32, whole attribute incl. header
inline constexpr std::size_t kAttrNonResident = 8;            // u8, 0 resident, 1 non-resident
inline constexpr std::size_t kAttrNameLength = 9;             // u8, UTF-16 units, 0 unnamed
inline constexpr std::size_t kAttrNameOffset = 10;            // le16, from the attribute start
inline constexpr std::size_t kAttrFlags = 12;                 // le16, compression / encryption / sparse
inline constexpr std::uint16_t kAttrFlagCompressionMask = 0x00FF;  // the compression format, 0 none
inline constexpr std::uint16_t kAttrCompressionLznt1 = 0x0001;
inline constexpr std::uint16_t kAttrFlagEncrypted = 0x4000;
inline constexpr std::uint16_t kAttrFlagSparse = 0x8000;
inline constexpr std::size_t kAttrInstance = 14;              // le16
inline constexpr std::size_t kAttrCommonHeaderSize = 16;

// ---- Resident attribute header ----
inline constexpr std::size_t kAttrValueLength = 16;           // le32
inline constexpr std::size_t kAttrValueOffset = 20;           // le16 (read signed), from the attribute start
inline constexpr std::size_t kAttrResidentFlags = 22;         // u8
inline constexpr std::size_t kAttrResidentHeaderSize = 24;
inline constexpr std::size_t kAttrResidentName = 24;          // where a resident attribute's name sits

// ---- Non-resident attribute header ----
inline constexpr std::size_t kAttrStartVcn = 16;              // le64
inline constexpr std::size_t kAttrLastVcn = 24;               // le64
inline constexpr std::size_t kAttrRunsOffset = 32;            // le16 (read signed), mapping pairs
inline constexpr std::size_t kAttrCompressionUnit = 34;       // u8, log2 of clusters per compression unit, 0 none
inline constexpr std::size_t kAttrAllocatedSize = 40;         // le64, bytes
inline constexpr std::size_t kAttrDataSize = 48;              // le64, bytes
inline constexpr std::size_t kAttrInitializedSize = 56;       // le64, bytes
inline constexpr std::size_t kAttrNonResidentHeaderSize = 64;
inline constexpr std::size_t kAttrCompressedSize = 64;        // le64, compressed attributes only (header of 72)
inline constexpr std::size_t kAttrNonResidentName = 64;       // name, or the runs of an unnamed attribute

// ---- Attribute type codes ----
inline constexpr std::uint32_t kAttrTypeStandardInformation = 0x10;
inline constexpr std::uint32_t kAttrTypeAttributeList = 0x20;
inline constexpr std::uint32_t kAttrTypeFileName = 0x30;
inline constexpr std::uint32_t kAttrTypeData = 0x80;
inline constexpr std::uint32_t kAttrTypeIndexRoot = 0x90;
inline constexpr std::uint32_t kAttrTypeIndexAllocation = 0xA0;
inline constexpr std::uint32_t kAttrTypeBitmap = 0xB0;
inline constexpr std::uint32_t kAttrTypeEnd = 0xFFFFFFFF;     // so does type 0

// ---- $FILE_NAME value (also the key of every directory index entry) ----
inline constexpr std::size_t kFnParent = 0;                   // le64, parent reference (low 32 = record)
inline constexpr std::size_t kFnCreated = 8;                  // le64 FILETIME
inline constexpr std::size_t kFnModified = 16;                // le64 FILETIME (not used)
inline constexpr std::size_t kFnChanged = 24;                 // le64 FILETIME, record change time
inline constexpr std::size_t kFnAccessed = 32;                // le64 FILETIME (not used)
inline constexpr std::size_t kFnAllocatedSize = 40;           // le64
inline constexpr std::size_t kFnDataSize = 48;                // le64
inline constexpr std::size_t kFnFileAttributes = 56;          // le32, 0x10000000 directory
inline constexpr std::size_t kFnNameLength = 64;              // u8, UTF-16 units
inline constexpr std::size_t kFnNamespace = 65;               // u8, 0 POSIX, 1 Win32, 2 DOS, 3 both
inline constexpr std::size_t kFnName = 66;                    // UTF-16LE name
inline constexpr std::uint32_t kFnAttrDirectory = 0x10000000;
inline constexpr std::uint8_t kNamespacePosix = 0;
inline constexpr std::uint8_t kNamespaceWin32 = 1;
inline constexpr std::uint8_t kNamespaceDos = 2;
inline constexpr std::uint8_t kNamespaceWin32AndDos = 3;

// ---- $ATTRIBUTE_LIST entry ----
inline constexpr std::size_t kAlType = 0;                     // le32
inline constexpr std::size_t kAlLength = 4;                   // le16 (read signed by the extension walk)
inline constexpr std::size_t kAlNameLength = 6;               // u8
inline constexpr std::size_t kAlNameOffset = 7;               // u8
inline constexpr std::size_t kAlStartVcn = 8;                 // le64
inline constexpr std::size_t kAlRecord = 16;                  // le64, holding record (low 32 bits used)
inline constexpr std::size_t kAlAttributeId = 24;             // le16
inline constexpr std::size_t kAlHeaderSize = 26;

// ---- $INDEX_ROOT value, and the fixed positions of a $I30 root right after a 4-unit name ----
inline constexpr std::size_t kIrIndexedType = 0;              // le32
inline constexpr std::size_t kIrCollation = 4;                // le32
inline constexpr std::size_t kIrIndexBlockSize = 8;           // le32, bytes
inline constexpr std::size_t kIrClustersPerBlock = 12;        // u8
inline constexpr std::size_t kIrIndexHeader = 16;             // index header inside the value
inline constexpr std::size_t kI30RootFirstEntry = 64;         // attribute offset of the first entry
inline constexpr std::size_t kI30NameUnits = 4;               // "$I30"

// ---- Index header (inside an $INDEX_ROOT value, and at offset 24 of an INDX buffer) ----
inline constexpr std::size_t kIhEntriesOffset = 0;            // le32, first entry, from the header
inline constexpr std::size_t kIhIndexLength = 4;              // le32, bytes in use, from the header
inline constexpr std::size_t kIhAllocatedSize = 8;            // le32, from the header
inline constexpr std::size_t kIhFlags = 12;                   // u8, 1: large index
inline constexpr std::size_t kIhSize = 16;

// ---- INDX buffer ----
inline constexpr std::size_t kIndxSignature = 0;              // 4 bytes "INDX"
inline constexpr std::size_t kIndxVcn = 16;                   // le64, VCN of this buffer (low 32 used)
inline constexpr std::size_t kIndxHeader = 24;                // the index header
inline constexpr std::size_t kIndxEntriesOffset = 24;         // le32, first entry, counted from 24
inline constexpr std::size_t kIndxIndexLength = 28;           // le32, bytes in use, counted from 24
inline constexpr std::size_t kIndxAllocatedSize = 32;         // le32, buffer = this + 24 bytes
inline constexpr std::size_t kIndxMaxBytes = 65536;           // larger buffers are not examined

// ---- Index entry ----
inline constexpr std::size_t kIeFileReference = 0;            // le64 (low 32 = record number)
inline constexpr std::size_t kIeLength = 8;                   // le16, 0 ends a walk
inline constexpr std::size_t kIeKeyLength = 10;               // le16
inline constexpr std::size_t kIeFlags = 12;                   // le16, 1 sub-node, 2 last entry
inline constexpr std::size_t kIeKey = 16;                     // the $FILE_NAME value
inline constexpr std::size_t kIeHeaderSize = 16;
inline constexpr std::uint16_t kIeFlagSubNode = 0x01;
inline constexpr std::uint16_t kIeFlagLast = 0x02;

// ---- Data runs ----
inline constexpr std::uint8_t kRunLengthSizeMask = 0x0F;      // low nibble: size of the length field
inline constexpr unsigned kRunOffsetSizeShift = 4;            // high nibble: size of the offset field
inline constexpr std::size_t kRunMaxFieldSize = 8;
inline constexpr std::size_t kRunSupportedFieldSize = 4;      // wider fields are reported to callers

}  // namespace ntfs

// The raw sector sweep of the Advance Scan: every sector of a range is tested for an NTFS boot
// sector, a FILE record or an INDX buffer, and each hit becomes a small record of the catalog's
// sweep lists.
#pragma once

#include <cstdint>
#include <span>

#include "core/progress.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "catalog/catalog.h"

namespace advscan {

// Rows of the information panel while the Advance Scan runs (label set 3).
inline constexpr int kPanelRowBootSectors = 1;    // "Boot Sector(s) Found    "
inline constexpr int kPanelRowIndexRecords = 2;   // "Index Entries Found  "
inline constexpr int kPanelRowFiles = 3;          // "File(s) Found  "
inline constexpr int kPanelRowFolders = 4;        // "Folder(s) Found       "
inline constexpr int kPanelRowCurrentSector = 5;  // "Current Sector        "

// The status line and progress bar change on every this many chunk reads.
inline constexpr std::uint32_t kSweepStatusEveryReads = 88;

// Well-known MFT records a found folder is recognised by its name.
inline constexpr std::uint32_t kRootRecord = 5;     // "."
inline constexpr std::uint32_t kExtendRecord = 11;  // "$Extend"

// Smallest and largest INDX buffers that are recorded, in bytes.
inline constexpr std::uint32_t kMinIndexRecordBytes = 512;
inline constexpr std::uint32_t kMaxIndexRecordBytes = 65536;

enum class SweepOutcome
{
    Completed,  // every chunk of the range was examined
    Stopped,    // the stop flag ended the sweep; what was found before stays
};

// Where the bytes of a hit come from. Hits that lie wholly inside the chunk just read are decoded
// from it (the disk would give the same bytes again); the others are read from the disk.
struct SweepChunk
{
    core::Sector first = 0;                  // absolute sector of the chunk's first byte
    std::span<const std::uint8_t> bytes;     // whole sectors of the chunk
};

// Reads the range of catalog.scanTarget (scanStartSector, scanSectorCount sectors) in reads of
// disk.readChunkSectors sectors into one buffer, whole chunks even past the end of the range, and
// tests each sector in order: 0x55 0xAA at 510 with "NTFS" at 3 is a boot sector (a 0x55 0xAA
// sector without it is tested no further); else "FILE" with 1024 in the low half of the
// allocated size at 28 goes to RecordFileRecord; else "INDX" goes to RecordIndexRecord. A failed
// read is not detected: its unreadable bytes are zeros. Shows the counters in panel rows 1-4 on
// each hit, the chunk's first sector in row 5, and on every 88th read the progress (at most 99)
// and "Reading Sector <done> Of <count>". The stop flag is polled once per chunk and is clear on
// return. Throws std::bad_alloc when memory runs out.
SweepOutcome SweepSectors(disk::DiskState& disk, catalog::Catalog& catalog, core::ProgressSink& sink);

// Records following a base record that are tried for its names when its attribute list is
// non-resident.
inline constexpr std::uint32_t kExtensionProbeRecords = 64;

// Decodes the FILE record at `sector` (two sectors, fixed up over 1024 bytes) and appends a found
// folder or found file, or nothing. An extension record (base reference not 0) is a part of
// another file and adds nothing. The name, parent and times come from one $FILE_NAME, chosen by
// namespace: Win32, then Win32+DOS, then DOS, then POSIX (written by drivers outside Windows).
// When the record has no Win32 name and an attribute list, its extension records are looked for
// by their numbers, 2 sectors per record from `sector` (the records of a non-resident list are
// unknown here: the kExtensionProbeRecords records that follow are tried), and a better name of
// theirs is taken. The low byte of the flags must be 0-3 (bit 1 folder, bit 0 in use). A folder's
// record is 5 for ".", 11 for "$Extend" (any case), else the number its $INDEX_ROOT tells, else 0;
// a file's size is that of its unnamed $DATA, 0 when none. Returns true when something was appended.
bool RecordFileRecord(disk::DiskState& disk, catalog::Catalog& catalog, core::Sector sector,
                      const SweepChunk* chunk = nullptr);

// Reads the INDX buffer at `sector`, whose first sector holds `firstSector`: size = allocated
// size at 0x20 + 0x18 bytes, read as size / 512 whole sectors and fixed up over size bytes. Appends
// {sector, owner, vcn, fsNumber -1, sectors} and raises indexRecordCount when the owner (the
// parent reference of the first entry's key) is above 4 and not 0xFFFFFFFF. Buffers larger than
// 65536 bytes, and smaller than 512 bytes (they hold no whole sector), are ignored. Returns true
// when a record was appended.
bool RecordIndexRecord(disk::DiskState& disk, catalog::Catalog& catalog, core::Sector sector,
                       std::span<const std::uint8_t> firstSector, const SweepChunk* chunk = nullptr);

}  // namespace advscan

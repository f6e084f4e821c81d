// Recovery snapshots in memory: the catalog written as snapshot bytes, and snapshot bytes parsed
// and validated as a whole into a staging structure that then replaces the catalog's contents.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/volume_params.h"

namespace snapshot {

// Everything a snapshot file holds, validated, not yet in the catalog.
struct SnapshotContents
{
    catalog::ScanTarget scanTarget;
    catalog::VolumeParams volumeParams;  // rootDirStart is not stored in the file and is 0 here
    std::int16_t selectedFileSystem = 0;
    // Filled by type: NTFS (300) the NTFS lists, FAT16/FAT32 (100, 200) the FAT lists, any
    // other type none. treeItem is 0 everywhere; FAT file serials are dropped (0).
    std::vector<catalog::NtfsFolderEntry> ntfsFolders;
    std::vector<catalog::NtfsFileEntry> ntfsFiles;
    std::vector<catalog::FatFolderEntry> fatFolders;
    std::vector<catalog::FatFileEntry> fatFiles;
};

enum class ParseOutcome
{
    Parsed,
    BadTag,      // the first seven bytes are not "dnx4.02" in any case
    BadVersion,  // the next three are neither "1.0" nor "2.0"
    Damaged,     // tag and version fit but the rest does not follow the format (see Defect)
};

enum class Defect
{
    None,
    Truncated,       // the file ends inside the header or inside a count or record
    RecordTooShort,  // a record length below the fixed part of its record type
    NameTooLong,     // a record length that leaves more than 255 bytes (2.0: 765) for the name
    CountPastEnd,    // a count that cannot fit in the bytes that remain, even with empty names
    TrailingBytes,   // bytes after the last record the type calls for
    BadChecksum,     // 2.0: the CRC-32 at the end does not match the bytes before it
    BadName,         // 2.0: a name that is not well-formed UTF-8
    SectorTooLarge,  // 2.0: a sector value wider than the catalog holds
};

struct ParseResult
{
    ParseOutcome outcome = ParseOutcome::Damaged;
    Defect defect = Defect::None;
    // BadTag: the bytes read in place of the tag (at most seven, up to the first zero byte).
    std::string tagRead;
    // Parsed: the file's contents.
    SnapshotContents contents;
};

// Parses a whole snapshot file. Nothing outside the result is touched, whatever the bytes.
// Throws std::bad_alloc only when memory runs out (reservations never exceed what the file's
// size can hold).
ParseResult ParseSnapshot(std::span<const std::uint8_t> bytes);

enum class SerializeOutcome
{
    Serialized,
    NameTooLong,  // a catalog name longer than 765 bytes of UTF-8: no reader would accept the file
};

// Writes the catalog as snapshot bytes into `out` (replacing its contents): the header from
// scanTarget, volumeParams and selectedFileSystem, then by volumeParams.type the NTFS lists
// (300), the FAT lists (100, 200) or nothing. Each list is preceded by its length, which the
// catalog's folderCount/fileCount equal after every scan. The classic version 1.0 is written when
// every name has a Latin-1 form of at most 255 bytes and every sector fits 32 bits (byte for byte
// what earlier versions wrote); otherwise version 2.0 (UTF-8 names, 64-bit sectors, CRC-32).
// On NameTooLong `out` is empty.
SerializeOutcome SerializeSnapshot(const catalog::Catalog& catalog, std::vector<std::uint8_t>& out);

// Replaces the catalog's contents with a parsed snapshot: ClearFatLists and ClearNtfsLists,
// scanTarget, volumeParams (rootDirStart keeps its value), selectedFileSystem, then the entries
// through the catalog's add operations, raising fileCount after each file as a scan does (so
// FAT files are numbered anew from 0, and a FAT folder whose cluster is listed already is
// skipped). The sweep lists are not touched.
void ApplySnapshot(SnapshotContents&& contents, catalog::Catalog& catalog);

}  // namespace snapshot

// The FILE-record find routines the scans use: names, data size, extension records and the
// $I30 index attributes. Each walks the record from the offset at record offset 20 and treats any
// inconsistency as not found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ntfs {

// Record buffers are handled as 1024 bytes; a shorter buffer simply has less to find.
using RecordBytes = std::span<const std::uint8_t>;

// True when the buffer starts with "FILE".
bool HasFileSignature(RecordBytes record) noexcept;
// Low byte of the flags at record offset 22: bit 0 in use, bit 1 directory. Empty when too short.
std::optional<std::uint8_t> RecordFlags(RecordBytes record) noexcept;

struct FileNameInfo
{
    std::string name;                   // UTF-8, from at most 255 UTF-16 units
    std::uint32_t parent = 0;           // low 32 bits of the parent reference
    std::uint64_t created = 0;          // FILETIME, value offset 8
    std::uint64_t changed = 0;          // FILETIME, value offset 24 (record change time)
    std::uint32_t fileAttributes = 0;   // 0x10000000 marks a directory
    std::uint8_t nameSpace = 0;         // 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
};

// The first unnamed $FILE_NAME attribute whose namespace byte equals `nameSpace`. Namespace 0
// (POSIX) is found like any other when asked for. Name units lying beyond the record are not read.
std::optional<FileNameInfo> FindFileName(RecordBytes record, std::uint8_t nameSpace);

// Size in bytes of the first unnamed $DATA attribute: the 64-bit data size when non-resident
// (not the allocated size), the 32-bit value length when resident. Named streams are passed over.
std::optional<std::uint64_t> GetDataSize(RecordBytes record) noexcept;

// Capacity of the extension list of one record (entry 0 being the record itself).
inline constexpr std::size_t kExtensionListCapacity = 50;

// Appends to `list` the record numbers (low 32 bits) named by the entries of the record's resident
// $ATTRIBUTE_LIST, in list order, without duplicate check, while `list` holds fewer than
// `capacity` numbers. The walk stays inside the list's value and the record. Returns how many
// numbers were appended.
std::size_t CollectExtensionRecords(RecordBytes record, std::vector<std::uint32_t>& list,
                                    std::size_t capacity = kExtensionListCapacity);

// Offset of the first attribute of `type` (0x90 $INDEX_ROOT or 0xA0 $INDEX_ALLOCATION) named $I30,
// its name read at attribute offset 24 (index root) or 64 (index allocation). `limit` is the
// record size (1024 for FILE records); nothing at or beyond it, nor beyond the buffer, is read.
std::optional<std::size_t> FindIndexAttribute(RecordBytes record, std::uint32_t type,
                                              std::size_t limit = 1024) noexcept;

// The directory's own record number as its $I30 index root tells it: the parent reference (low
// 32 bits) of the key of the first entry, taken at attribute offset 64. Empty when there is no such
// root, the first entry has no name (an index holding only the end entry) or the number is
// 0xFFFFFFFF.
std::optional<std::uint32_t> DirectoryNumberFromIndexRoot(RecordBytes record) noexcept;

// Start cluster of the first run of the $I30 index allocation: the offset field (1 to 4 bytes)
// of the first run, read as a signed value. Empty when there is no allocation, no run, or the
// field has another width.
std::optional<std::int64_t> FirstIndexCluster(RecordBytes record, std::size_t limit = 1024) noexcept;

}  // namespace ntfs

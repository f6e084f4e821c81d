// INDX index buffers and the index entries of directories ($I30 over $FILE_NAME keys), in INDX
// buffers and in $INDEX_ROOT attributes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ntfs/attribute_walk.h"

namespace ntfs {

struct IndexBufferHeader
{
    std::uint16_t usaOffset = 0;
    std::uint16_t usaCount = 0;
    std::uint32_t vcn = 0;                  // low 32 bits of the buffer's VCN
    std::uint32_t entriesOffset = 0;        // first entry, counted from offset 24
    std::uint32_t allocatedSize = 0;        // of the entry area
    std::uint32_t totalBytes = 0;           // allocatedSize + 24: the buffer's size in bytes
    std::uint32_t sectors = 0;              // totalBytes / 512, rounded down
};

// Checks the header of an INDX buffer (its first sector is enough): the "INDX" signature, a
// buffer size (allocated size + 24) of 512 to 65536 bytes, an update sequence array inside the
// buffer and the first entry inside the buffer. Empty when any of these fails: larger buffers are
// not examined, and smaller ones have no whole sector to read.
std::optional<IndexBufferHeader> DecodeIndexBufferHeader(std::span<const std::uint8_t> buffer) noexcept;

struct IndexEntryView
{
    std::size_t offset = 0;                 // bytes from the start of the walked buffer
    std::uint32_t recordNumber = 0;         // low 32 bits of the entry's file reference
    std::uint16_t length = 0;               // bytes
    std::uint16_t flags = 0;                // 1 sub-node, 2 last entry
    // The $FILE_NAME key.
    std::uint32_t parent = 0;               // low 32 bits of the parent reference
    std::uint64_t created = 0;              // FILETIME
    std::uint64_t changed = 0;              // FILETIME, record change time
    std::uint32_t fileAttributes = 0;       // 0x10000000 marks a directory
    std::uint8_t nameLength = 0;            // UTF-16 units, never 0
    std::uint8_t nameSpace = 0;
    std::string name;                       // UTF-8

    bool IsDirectory() const noexcept;
};

// Walks index entries from `start`, advancing by each entry's length, until an entry whose key
// has a name length of 0 (the end entry; not yielded), an entry whose fixed fields or name would
// lie beyond the buffer (not yielded), an entry length of 0 (that entry is still yielded), or the
// end of the buffer. Stale entries that follow a last
// entry in the buffer's slack are walked like the others when their bytes allow it; `flags`
// tells a caller which entry NTFS marked as the last one.
class IndexEntryWalker
{
public:
    IndexEntryWalker(std::span<const std::uint8_t> buffer, std::size_t start) noexcept
        : m_buffer(buffer), m_pos(start)
    {
    }

    std::optional<IndexEntryView> Next();

private:
    std::span<const std::uint8_t> m_buffer;
    std::size_t m_pos;
    bool m_done = false;
};

// The entries of an INDX buffer of `header.totalBytes` bytes (fixed up by the caller), walked from
// 24 + the first-entry offset.
IndexEntryWalker WalkIndexBuffer(std::span<const std::uint8_t> buffer, const IndexBufferHeader& header) noexcept;

// The entries of a resident $INDEX_ROOT value, walked from its index header's first-entry offset
// and bounded by the value. Empty when the attribute is not a resident index root or its index
// header does not fit.
std::optional<IndexEntryWalker> WalkIndexRoot(const AttributeView& root) noexcept;

}  // namespace ntfs

// Attribute walk of a FILE record with full header validation, the unnamed $DATA attribute, and
// the entries of an attribute list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ntfs {

// One attribute whose header was validated: every span lies inside the attribute.
struct AttributeView
{
    std::size_t offset = 0;                     // bytes from the start of the record
    std::uint32_t type = 0;
    std::uint32_t length = 0;                   // bytes, header included
    bool nonResident = false;
    std::uint8_t nameLength = 0;                // UTF-16 units
    std::uint16_t flags = 0;                    // compression format (low byte), encrypted, sparse
    std::span<const std::uint8_t> bytes;        // the whole attribute
    std::span<const std::uint8_t> name;         // UTF-16LE, 2 * nameLength bytes
    // Resident attributes.
    std::span<const std::uint8_t> value;
    // Non-resident attributes.
    std::span<const std::uint8_t> runs;         // from the runs offset to the end of the attribute
    std::uint64_t startVcn = 0;
    std::uint64_t lastVcn = 0;                  // startVcn - 1 for an empty extent
    std::uint64_t allocatedSize = 0;            // bytes
    std::uint64_t dataSize = 0;                 // bytes
    std::uint64_t initializedSize = 0;          // bytes
    std::uint8_t compressionUnit = 0;           // log2 of clusters per compression unit; 0 none

    // The name is "$I30" (4 units whose low bytes read '$', 'I', '3', '0').
    bool IsI30() const noexcept;
};

enum class WalkEnd
{
    Running,        // Next() has not yet come to the end
    EndMarker,      // type 0 or 0xFFFFFFFF
    OutOfRecord,    // the next header would not lie inside the record
    BadHeader,      // a header failed validation; the walk cannot go past it
};

// Walks the attributes of a FILE record from the offset at record offset 20. Every header is
// validated as a whole (type, length, non-resident byte 0 or 1, name inside the attribute, resident
// value inside the attribute, non-resident runs offset, VCN range and sizes) before it is yielded;
// the first one that fails ends the walk. The walk always moves forward, so it ends.
class AttributeIterator
{
public:
    explicit AttributeIterator(std::span<const std::uint8_t> record) noexcept;

    std::optional<AttributeView> Next() noexcept;
    WalkEnd End() const noexcept { return m_end; }

private:
    std::span<const std::uint8_t> m_record;
    std::size_t m_pos = 0;
    WalkEnd m_end = WalkEnd::Running;
};

// Validates the attribute header at `offset` of `record` (same rules as the iterator).
std::optional<AttributeView> ReadAttributeAt(std::span<const std::uint8_t> record, std::size_t offset) noexcept;

struct DataAttribute
{
    std::size_t offset = 0;                     // bytes from the start of the record
    bool nonResident = false;
    std::span<const std::uint8_t> value;        // resident: the file's bytes
    std::span<const std::uint8_t> runs;         // non-resident: the mapping pairs
    std::uint64_t dataSize = 0;                 // bytes: value length, or the non-resident data size
    std::uint64_t startVcn = 0;                 // non-resident: first VCN this extent maps
};

// The first unnamed $DATA attribute (named streams are passed over); empty when the walk ends
// without one, also when it ends on a damaged header before it.
std::optional<DataAttribute> FindDataAttribute(std::span<const std::uint8_t> record) noexcept;

struct AttributeListEntry
{
    std::size_t offset = 0;                     // bytes from the start of the list value
    std::uint32_t type = 0;
    std::uint16_t length = 0;                   // bytes
    std::uint8_t nameLength = 0;                // UTF-16 units
    std::span<const std::uint8_t> name;         // UTF-16LE
    std::uint64_t startVcn = 0;
    std::uint32_t recordNumber = 0;             // low 32 bits of the holding record's reference
};

// Walks the entries of an $ATTRIBUTE_LIST value (resident, or read from its clusters by the
// caller). An entry must lie inside the value with a length of at least 26 bytes and its name
// inside it; type 0 or 0xFFFFFFFF, or the first entry that does not fit, ends the walk.
class AttributeListWalker
{
public:
    explicit AttributeListWalker(std::span<const std::uint8_t> value) noexcept : m_value(value) {}

    std::optional<AttributeListEntry> Next() noexcept;

private:
    std::span<const std::uint8_t> m_value;
    std::size_t m_pos = 0;
    bool m_done = false;
};

}  // namespace ntfs

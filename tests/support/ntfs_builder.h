// Builders of NTFS structures for tests: boot sectors, FILE records with a correct update
// sequence, resident and non-resident attributes, $FILE_NAME values, attribute lists, run lists
// and INDX buffers with entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testing_support {

using ByteBuffer = std::vector<std::uint8_t>;

// Little-endian stores into a byte vector (the vector grows when needed).
void PutLe(ByteBuffer& bytes, std::size_t off, std::uint64_t value, std::size_t width);
// UTF-16LE of an 8-bit name (each character becomes one unit).
ByteBuffer Utf16(const std::string& name);

struct BootSectorSpec
{
    std::uint8_t sectorsPerCluster = 8;
    std::uint64_t totalSectors = 204800;
    std::uint64_t mftCluster = 4;
    std::uint64_t mftMirrCluster = 2;
    std::uint32_t clustersPerIndexBuffer = 0xF4;   // raw 32-bit value at offset 68
    bool signature = true;                          // 0x55 0xAA at 510
    bool ntfsTag = true;                            // "NTFS    " at 3
};
ByteBuffer BuildBootSector(const BootSectorSpec& fields = {});

// One run for EncodeRunList: `lcn` absolute, or empty for a sparse run.
struct RunSpec
{
    std::uint64_t length = 0;
    std::optional<std::int64_t> lcn;
};
// Mapping pairs with the smallest signed offset fields and unsigned length fields, ended by 0.
ByteBuffer EncodeRunList(const std::vector<RunSpec>& runs);

struct FileNameSpec
{
    std::string name;
    std::uint64_t parent = 5;                       // whole reference; low 32 bits = record
    std::uint8_t nameSpace = 1;
    std::uint64_t created = 0x01D0000000000001ULL;
    std::uint64_t changed = 0x01D0000000000002ULL;
    std::uint32_t fileAttributes = 0x20;
    std::uint64_t dataSize = 0;
};
// The $FILE_NAME value (66 + 2 * units bytes).
ByteBuffer BuildFileNameValue(const FileNameSpec& fields);

struct AttributeListEntrySpec
{
    std::uint32_t type = 0x80;
    std::uint64_t startVcn = 0;
    std::uint64_t record = 0;                       // whole reference
    std::string name;
    std::uint16_t attributeId = 0;
};
// The value of an $ATTRIBUTE_LIST (entries of 26 + 2 * units bytes, 8-aligned).
ByteBuffer BuildAttributeListValue(const std::vector<AttributeListEntrySpec>& entries);

struct IndexEntrySpec
{
    std::uint64_t record = 0;                       // file reference of the entry's file
    FileNameSpec key;
};
// Index entries followed by the end entry (length 16, flag 2).
ByteBuffer BuildIndexEntries(const std::vector<IndexEntrySpec>& entries);

// Resident attribute (header 24, name at 24, value 8-aligned after it).
ByteBuffer BuildResidentAttribute(std::uint32_t type, std::span<const std::uint8_t> value, const std::string& name = {});

struct NonResidentSpec
{
    std::uint32_t type = 0x80;
    std::string name;
    ByteBuffer runs;                                     // mapping pairs, e.g. from EncodeRunList
    std::uint64_t startVcn = 0;
    std::uint64_t lastVcn = 0;
    std::uint64_t allocatedSize = 4096;
    std::uint64_t dataSize = 4096;
    std::uint64_t initializedSize = 4096;
    std::uint16_t flags = 0;                             // 0x0001 compressed (LZNT1)
    std::uint8_t compressionUnit = 0;                    // log2 of clusters per compression unit
};
// Non-resident attribute (header 64, name at 64, runs 8-aligned after it).
ByteBuffer BuildNonResidentAttribute(const NonResidentSpec& fields);

// $INDEX_ROOT named $I30 over $FILE_NAME, with the given entries and the end entry; the first
// entry lands at attribute offset 64.
ByteBuffer BuildI30IndexRoot(const std::vector<IndexEntrySpec>& entries, bool largeIndex = false);

// Stamps the update sequence number over the last two bytes of every sector of `buffer` and
// keeps the original bytes in the array at `usaOffset` (usaCount = 1 + sectors).
void ProtectSectors(ByteBuffer& buffer, std::size_t usaOffset, std::uint16_t usaCount, std::uint16_t usn);

// A 1024-byte FILE record: update sequence at 48 (3 entries), attributes from 56.
class FileRecordBuilder
{
public:
    static constexpr std::size_t kUsaOffset = 48;
    static constexpr std::size_t kFirstAttribute = 56;

    FileRecordBuilder& Flags(std::uint16_t flags);
    FileRecordBuilder& RecordNumber(std::uint32_t number);
    // The base-record reference at 0x20 (whole reference); not 0 makes the record an extension.
    FileRecordBuilder& BaseRecord(std::uint64_t reference);
    FileRecordBuilder& Usn(std::uint16_t usn);
    FileRecordBuilder& Attribute(ByteBuffer attribute);      // appended in call order
    FileRecordBuilder& FileName(const FileNameSpec& fields);
    FileRecordBuilder& ResidentData(std::span<const std::uint8_t> value, const std::string& name = {});
    FileRecordBuilder& NonResident(const NonResidentSpec& fields);
    FileRecordBuilder& AttributeList(const std::vector<AttributeListEntrySpec>& entries);
    FileRecordBuilder& IndexRoot(const std::vector<IndexEntrySpec>& entries, bool largeIndex = false);
    FileRecordBuilder& IndexAllocation(const std::vector<RunSpec>& runs, std::uint64_t bytes = 4096);

    // The record as it lies on disk: sector ends hold the update sequence number.
    ByteBuffer Build() const;
    // The record as it reads after the fixup (no update sequence stamped over the sector ends).
    ByteBuffer BuildFixedUp() const;
    // Offset of the i-th attribute in the built record.
    std::size_t AttributeOffset(std::size_t index) const;

private:
    std::uint16_t m_flags = 1;
    std::uint32_t m_number = 0;
    std::uint64_t m_base = 0;
    std::uint16_t m_usn = 0x0001;
    std::vector<ByteBuffer> m_attributes;
};

// An INDX buffer of `bytes` bytes (a multiple of 512), update sequence at 40, entries from 64.
ByteBuffer BuildIndexBuffer(std::uint64_t vcn, const std::vector<IndexEntrySpec>& entries, std::size_t bytes = 4096,
                       std::uint16_t usn = 0x0001);

}  // namespace testing_support

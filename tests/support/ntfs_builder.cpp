// Builders of NTFS structures for tests.
#include "support/ntfs_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ntfs/ntfs_layout.h"

namespace testing_support {

namespace {

std::size_t Align8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

void PutBytes(ByteBuffer& bytes, std::size_t off, std::span<const std::uint8_t> data)
{
    if (bytes.size() < off + data.size()) {
        bytes.resize(off + data.size());
    }
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(off));
}

// Smallest number of bytes holding `v` as a two's-complement value.
std::size_t SignedWidth(std::int64_t v)
{
    for (std::size_t w = 1; w < 8; ++w) {
        const std::int64_t lo = -(std::int64_t{1} << (8 * w - 1));
        const std::int64_t hi = (std::int64_t{1} << (8 * w - 1)) - 1;
        if (v >= lo && v <= hi) {
            return w;
        }
    }
    return 8;
}

std::size_t UnsignedWidth(std::uint64_t v)
{
    std::size_t w = 1;
    while (w < 8 && (v >> (8 * w)) != 0) {
        ++w;
    }
    return w;
}

}  // namespace

void PutLe(ByteBuffer& bytes, std::size_t off, std::uint64_t value, std::size_t width)
{
    if (bytes.size() < off + width) {
        bytes.resize(off + width);
    }
    for (std::size_t i = 0; i < width; ++i) {
        bytes[off + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

ByteBuffer Utf16(const std::string& name)
{
    ByteBuffer out;
    for (const char c : name) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

ByteBuffer BuildBootSector(const BootSectorSpec& fields)
{
    ByteBuffer b(ntfs::kBootSectorSize, 0);
    b[0] = 0xEB;
    b[1] = 0x52;
    b[2] = 0x90;
    if (fields.ntfsTag) {
        const char* tag = "NTFS    ";
        std::memcpy(&b[ntfs::kBootOemId], tag, 8);
    }
    PutLe(b, ntfs::kBootBytesPerSector, 512, 2);
    b[ntfs::kBootSectorsPerCluster] = fields.sectorsPerCluster;
    b[21] = 0xF8;  // media descriptor
    PutLe(b, ntfs::kBootTotalSectors, fields.totalSectors, 8);
    PutLe(b, ntfs::kBootMftCluster, fields.mftCluster, 8);
    PutLe(b, ntfs::kBootMftMirrCluster, fields.mftMirrCluster, 8);
    PutLe(b, 64, 0xF6, 4);  // clusters per FILE record: 2^10 bytes
    PutLe(b, ntfs::kBootClustersPerIndexBuffer, fields.clustersPerIndexBuffer, 4);
    if (fields.signature) {
        b[ntfs::kBootSignature] = 0x55;
        b[ntfs::kBootSignature + 1] = 0xAA;
    }
    return b;
}

ByteBuffer EncodeRunList(const std::vector<RunSpec>& runs)
{
    ByteBuffer out;
    std::int64_t previous = 0;
    for (const RunSpec& run : runs) {
        const std::size_t lw = UnsignedWidth(run.length);
        std::size_t ow = 0;
        std::int64_t delta = 0;
        if (run.lcn) {
            delta = *run.lcn - previous;
            ow = SignedWidth(delta);
            previous = *run.lcn;
        }
        out.push_back(static_cast<std::uint8_t>((ow << 4) | lw));
        for (std::size_t i = 0; i < lw; ++i) {
            out.push_back(static_cast<std::uint8_t>(run.length >> (8 * i)));
        }
        for (std::size_t i = 0; i < ow; ++i) {
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(delta) >> (8 * i)));
        }
    }
    out.push_back(0);
    return out;
}

ByteBuffer BuildFileNameValue(const FileNameSpec& fields)
{
    ByteBuffer v(ntfs::kFnName, 0);
    PutLe(v, ntfs::kFnParent, fields.parent, 8);
    PutLe(v, ntfs::kFnCreated, fields.created, 8);
    PutLe(v, ntfs::kFnModified, fields.changed, 8);
    PutLe(v, ntfs::kFnChanged, fields.changed, 8);
    PutLe(v, ntfs::kFnAccessed, fields.changed, 8);
    PutLe(v, ntfs::kFnAllocatedSize, Align8(fields.dataSize), 8);
    PutLe(v, ntfs::kFnDataSize, fields.dataSize, 8);
    PutLe(v, ntfs::kFnFileAttributes, fields.fileAttributes, 4);
    v[ntfs::kFnNameLength] = static_cast<std::uint8_t>(fields.name.size());
    v[ntfs::kFnNamespace] = fields.nameSpace;
    PutBytes(v, ntfs::kFnName, Utf16(fields.name));
    return v;
}

ByteBuffer BuildAttributeListValue(const std::vector<AttributeListEntrySpec>& entries)
{
    ByteBuffer out;
    for (const AttributeListEntrySpec& e : entries) {
        const std::size_t at = out.size();
        const std::size_t length = Align8(ntfs::kAlHeaderSize + 2 * e.name.size());
        out.resize(at + length, 0);
        PutLe(out, at + ntfs::kAlType, e.type, 4);
        PutLe(out, at + ntfs::kAlLength, length, 2);
        out[at + ntfs::kAlNameLength] = static_cast<std::uint8_t>(e.name.size());
        out[at + ntfs::kAlNameOffset] = static_cast<std::uint8_t>(ntfs::kAlHeaderSize);
        PutLe(out, at + ntfs::kAlStartVcn, e.startVcn, 8);
        PutLe(out, at + ntfs::kAlRecord, e.record, 8);
        PutLe(out, at + ntfs::kAlAttributeId, e.attributeId, 2);
        PutBytes(out, at + ntfs::kAlHeaderSize, Utf16(e.name));
    }
    return out;
}

ByteBuffer BuildIndexEntries(const std::vector<IndexEntrySpec>& entries)
{
    ByteBuffer out;
    for (const IndexEntrySpec& e : entries) {
        const ByteBuffer key = BuildFileNameValue(e.key);
        const std::size_t at = out.size();
        const std::size_t length = Align8(ntfs::kIeHeaderSize + key.size());
        out.resize(at + length, 0);
        PutLe(out, at + ntfs::kIeFileReference, e.record, 8);
        PutLe(out, at + ntfs::kIeLength, length, 2);
        PutLe(out, at + ntfs::kIeKeyLength, key.size(), 2);
        PutBytes(out, at + ntfs::kIeKey, key);
    }
    const std::size_t at = out.size();
    out.resize(at + ntfs::kIeHeaderSize, 0);
    PutLe(out, at + ntfs::kIeLength, ntfs::kIeHeaderSize, 2);
    PutLe(out, at + ntfs::kIeFlags, ntfs::kIeFlagLast, 2);
    return out;
}

ByteBuffer BuildResidentAttribute(std::uint32_t type, std::span<const std::uint8_t> value, const std::string& name)
{
    const std::size_t valueOffset = Align8(ntfs::kAttrResidentHeaderSize + 2 * name.size());
    const std::size_t length = Align8(valueOffset + value.size());
    ByteBuffer a(length, 0);
    PutLe(a, ntfs::kAttrType, type, 4);
    PutLe(a, ntfs::kAttrLength, length, 4);
    a[ntfs::kAttrNameLength] = static_cast<std::uint8_t>(name.size());
    PutLe(a, ntfs::kAttrNameOffset, ntfs::kAttrResidentName, 2);
    PutLe(a, ntfs::kAttrValueLength, value.size(), 4);
    PutLe(a, ntfs::kAttrValueOffset, valueOffset, 2);
    PutBytes(a, ntfs::kAttrResidentName, Utf16(name));
    PutBytes(a, valueOffset, value);
    return a;
}

ByteBuffer BuildNonResidentAttribute(const NonResidentSpec& fields)
{
    const std::size_t runsOffset = Align8(ntfs::kAttrNonResidentHeaderSize + 2 * fields.name.size());
    const std::size_t length = Align8(runsOffset + fields.runs.size());
    ByteBuffer a(length, 0);
    PutLe(a, ntfs::kAttrType, fields.type, 4);
    PutLe(a, ntfs::kAttrLength, length, 4);
    a[ntfs::kAttrNonResident] = 1;
    a[ntfs::kAttrNameLength] = static_cast<std::uint8_t>(fields.name.size());
    PutLe(a, ntfs::kAttrNameOffset, ntfs::kAttrNonResidentName, 2);
    PutLe(a, ntfs::kAttrStartVcn, fields.startVcn, 8);
    PutLe(a, ntfs::kAttrLastVcn, fields.lastVcn, 8);
    PutLe(a, ntfs::kAttrRunsOffset, runsOffset, 2);
    PutLe(a, ntfs::kAttrAllocatedSize, fields.allocatedSize, 8);
    PutLe(a, ntfs::kAttrDataSize, fields.dataSize, 8);
    PutLe(a, ntfs::kAttrInitializedSize, fields.initializedSize, 8);
    PutLe(a, ntfs::kAttrFlags, fields.flags, 2);
    a[ntfs::kAttrCompressionUnit] = fields.compressionUnit;
    PutBytes(a, ntfs::kAttrNonResidentName, Utf16(fields.name));
    PutBytes(a, runsOffset, fields.runs);
    return a;
}

ByteBuffer BuildI30IndexRoot(const std::vector<IndexEntrySpec>& entries, bool largeIndex)
{
    const ByteBuffer list = BuildIndexEntries(entries);
    ByteBuffer value(ntfs::kIrIndexHeader + ntfs::kIhSize, 0);
    PutLe(value, ntfs::kIrIndexedType, ntfs::kAttrTypeFileName, 4);
    PutLe(value, ntfs::kIrCollation, 1, 4);
    PutLe(value, ntfs::kIrIndexBlockSize, 4096, 4);
    value[ntfs::kIrClustersPerBlock] = 1;
    PutLe(value, ntfs::kIrIndexHeader + ntfs::kIhEntriesOffset, ntfs::kIhSize, 4);
    PutLe(value, ntfs::kIrIndexHeader + ntfs::kIhIndexLength, ntfs::kIhSize + list.size(), 4);
    PutLe(value, ntfs::kIrIndexHeader + ntfs::kIhAllocatedSize, ntfs::kIhSize + list.size(), 4);
    value[ntfs::kIrIndexHeader + ntfs::kIhFlags] = largeIndex ? 1 : 0;
    PutBytes(value, value.size(), list);
    return BuildResidentAttribute(ntfs::kAttrTypeIndexRoot, value, "$I30");
}

void ProtectSectors(ByteBuffer& buffer, std::size_t usaOffset, std::uint16_t usaCount, std::uint16_t usn)
{
    PutLe(buffer, ntfs::kMstUsaOffset, usaOffset, 2);
    PutLe(buffer, ntfs::kMstUsaCount, usaCount, 2);
    PutLe(buffer, usaOffset, usn, 2);
    for (std::size_t i = 0; i + 1 < usaCount; ++i) {
        const std::size_t tail = i * ntfs::kMstSectorSize + ntfs::kMstSectorTail;
        if (tail + 2 > buffer.size()) {
            break;
        }
        buffer[usaOffset + 2 + 2 * i] = buffer[tail];
        buffer[usaOffset + 3 + 2 * i] = buffer[tail + 1];
        PutLe(buffer, tail, usn, 2);
    }
}

FileRecordBuilder& FileRecordBuilder::Flags(std::uint16_t flags)
{
    m_flags = flags;
    return *this;
}

FileRecordBuilder& FileRecordBuilder::RecordNumber(std::uint32_t number)
{
    m_number = number;
    return *this;
}

FileRecordBuilder& FileRecordBuilder::BaseRecord(std::uint64_t reference)
{
    m_base = reference;
    return *this;
}

FileRecordBuilder& FileRecordBuilder::Usn(std::uint16_t usn)
{
    m_usn = usn;
    return *this;
}

FileRecordBuilder& FileRecordBuilder::Attribute(ByteBuffer attribute)
{
    m_attributes.push_back(std::move(attribute));
    return *this;
}

FileRecordBuilder& FileRecordBuilder::FileName(const FileNameSpec& fields)
{
    return Attribute(BuildResidentAttribute(ntfs::kAttrTypeFileName, BuildFileNameValue(fields)));
}

FileRecordBuilder& FileRecordBuilder::ResidentData(std::span<const std::uint8_t> value, const std::string& name)
{
    return Attribute(BuildResidentAttribute(ntfs::kAttrTypeData, value, name));
}

FileRecordBuilder& FileRecordBuilder::NonResident(const NonResidentSpec& fields)
{
    return Attribute(BuildNonResidentAttribute(fields));
}

FileRecordBuilder& FileRecordBuilder::AttributeList(const std::vector<AttributeListEntrySpec>& entries)
{
    return Attribute(BuildResidentAttribute(ntfs::kAttrTypeAttributeList, BuildAttributeListValue(entries)));
}

FileRecordBuilder& FileRecordBuilder::IndexRoot(const std::vector<IndexEntrySpec>& entries, bool largeIndex)
{
    return Attribute(BuildI30IndexRoot(entries, largeIndex));
}

FileRecordBuilder& FileRecordBuilder::IndexAllocation(const std::vector<RunSpec>& runs, std::uint64_t bytes)
{
    NonResidentSpec fields;
    fields.type = ntfs::kAttrTypeIndexAllocation;
    fields.name = "$I30";
    fields.runs = EncodeRunList(runs);
    fields.allocatedSize = bytes;
    fields.dataSize = bytes;
    fields.initializedSize = bytes;
    return Attribute(BuildNonResidentAttribute(fields));
}

std::size_t FileRecordBuilder::AttributeOffset(std::size_t index) const
{
    std::size_t at = kFirstAttribute;
    for (std::size_t i = 0; i < index && i < m_attributes.size(); ++i) {
        at += m_attributes[i].size();
    }
    return at;
}

ByteBuffer FileRecordBuilder::BuildFixedUp() const
{
    ByteBuffer r(ntfs::kFileRecordSize, 0);
    std::memcpy(r.data(), "FILE", 4);
    PutLe(r, ntfs::kMstUsaOffset, kUsaOffset, 2);
    PutLe(r, ntfs::kMstUsaCount, 1 + ntfs::kFileRecordSectors, 2);
    PutLe(r, ntfs::kFileSequenceNumber, 1, 2);
    PutLe(r, ntfs::kFileLinkCount, 1, 2);
    PutLe(r, ntfs::kFileFirstAttribute, kFirstAttribute, 2);
    PutLe(r, ntfs::kFileFlags, m_flags, 2);
    PutLe(r, ntfs::kFileAllocatedSize, ntfs::kFileRecordSize, 4);
    PutLe(r, ntfs::kFileNextAttributeId, m_attributes.size(), 2);
    PutLe(r, ntfs::kFileBaseRecord, m_base, 8);
    PutLe(r, ntfs::kFileRecordNumber, m_number, 4);
    PutLe(r, kUsaOffset, m_usn, 2);
    std::size_t at = kFirstAttribute;
    for (const ByteBuffer& a : m_attributes) {
        if (at + a.size() + 8 > ntfs::kFileRecordSize) {
            throw std::length_error("attributes do not fit a 1024-byte FILE record");
        }
        PutBytes(r, at, a);
        at += a.size();
    }
    PutLe(r, at, ntfs::kAttrTypeEnd, 4);
    PutLe(r, ntfs::kFileBytesInUse, at + 8, 4);
    return r;
}

ByteBuffer FileRecordBuilder::Build() const
{
    ByteBuffer r = BuildFixedUp();
    ProtectSectors(r, kUsaOffset, static_cast<std::uint16_t>(1 + ntfs::kFileRecordSectors), m_usn);
    return r;
}

ByteBuffer BuildIndexBuffer(std::uint64_t vcn, const std::vector<IndexEntrySpec>& entries, std::size_t bytes,
                            std::uint16_t usn)
{
    constexpr std::size_t kUsaOffset = 40;
    constexpr std::size_t kEntries = 64;
    ByteBuffer b(bytes, 0);
    std::memcpy(b.data(), "INDX", 4);
    PutLe(b, ntfs::kIndxVcn, vcn, 8);
    const ByteBuffer list = BuildIndexEntries(entries);
    if (kEntries + list.size() > bytes) {
        throw std::length_error("index entries do not fit the INDX buffer");
    }
    PutLe(b, ntfs::kIndxEntriesOffset, kEntries - ntfs::kIndxHeader, 4);
    PutLe(b, ntfs::kIndxIndexLength, kEntries - ntfs::kIndxHeader + list.size(), 4);
    PutLe(b, ntfs::kIndxAllocatedSize, bytes - ntfs::kIndxHeader, 4);
    PutBytes(b, kEntries, list);
    ProtectSectors(b, kUsaOffset, static_cast<std::uint16_t>(1 + bytes / ntfs::kMstSectorSize), usn);
    return b;
}

}  // namespace testing_support

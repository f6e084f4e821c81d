// Attribute walk of a FILE record, the unnamed $DATA attribute and attribute-list entries.
#include "ntfs/attribute_walk.h"

#include <limits>

#include "core/le_view.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

namespace {

constexpr std::uint64_t kMaxSigned64 = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

bool IsEndType(std::uint32_t type) noexcept { return type == 0 || type == kAttrTypeEnd; }

}  // namespace

bool AttributeView::IsI30() const noexcept
{
    return nameLength == kI30NameUnits && name.size() == 2 * kI30NameUnits && name[0] == '$' && name[2] == 'I' &&
           name[4] == '3' && name[6] == '0';
}

std::optional<AttributeView> ReadAttributeAt(std::span<const std::uint8_t> record, std::size_t offset) noexcept
{
    core::LeView rec(record);
    const std::uint32_t length = rec.U32(offset + kAttrLength);
    if (!rec.Ok() || length < kAttrResidentHeaderSize || !core::InRange(record.size(), offset, length)) {
        return std::nullopt;
    }
    AttributeView a;
    a.offset = offset;
    a.bytes = record.subspan(offset, length);
    a.length = length;
    core::LeView view(a.bytes);
    a.type = view.U32(kAttrType);
    const std::uint8_t nonResident = view.U8(kAttrNonResident);
    if (IsEndType(a.type) || nonResident > 1) {
        return std::nullopt;
    }
    a.nonResident = nonResident == 1;
    a.nameLength = view.U8(kAttrNameLength);
    a.flags = view.U16(kAttrFlags);
    const std::size_t nameOffset = view.U16(kAttrNameOffset);
    const std::size_t nameBytes = 2 * std::size_t{a.nameLength};
    const std::size_t headerSize = a.nonResident ? kAttrNonResidentHeaderSize : kAttrResidentHeaderSize;
    if (a.nameLength != 0) {
        if (nameOffset < headerSize || !core::InRange(length, nameOffset, nameBytes)) {
            return std::nullopt;
        }
        a.name = a.bytes.subspan(nameOffset, nameBytes);
    }
    if (!a.nonResident) {
        const std::size_t valueLength = view.U32(kAttrValueLength);
        const std::int16_t valueOffset = view.S16(kAttrValueOffset);
        if (valueOffset < static_cast<std::int16_t>(kAttrResidentHeaderSize) ||
            !core::InRange(length, static_cast<std::size_t>(valueOffset), valueLength)) {
            return std::nullopt;
        }
        a.value = a.bytes.subspan(static_cast<std::size_t>(valueOffset), valueLength);
        return a;
    }
    if (length < kAttrNonResidentHeaderSize) {
        return std::nullopt;
    }
    const std::int16_t runsOffset = view.S16(kAttrRunsOffset);
    if (runsOffset < static_cast<std::int16_t>(kAttrNonResidentHeaderSize) ||
        static_cast<std::size_t>(runsOffset) > length) {
        return std::nullopt;
    }
    if (a.nameLength != 0 && nameOffset + nameBytes > static_cast<std::size_t>(runsOffset)) {
        return std::nullopt;  // name and runs overlap
    }
    a.runs = a.bytes.subspan(static_cast<std::size_t>(runsOffset));
    a.startVcn = view.U64(kAttrStartVcn);
    a.lastVcn = view.U64(kAttrLastVcn);
    a.allocatedSize = view.U64(kAttrAllocatedSize);
    a.dataSize = view.U64(kAttrDataSize);
    a.initializedSize = view.U64(kAttrInitializedSize);
    a.compressionUnit = view.U8(kAttrCompressionUnit);
    // VCNs and sizes are signed 64-bit on disk; an empty extent has lastVcn = startVcn - 1.
    if (a.startVcn > kMaxSigned64 || (a.lastVcn > kMaxSigned64 && a.lastVcn != ~std::uint64_t{0}) ||
        a.lastVcn + 1 < a.startVcn) {
        return std::nullopt;
    }
    if (a.allocatedSize > kMaxSigned64 || a.dataSize > a.allocatedSize || a.initializedSize > kMaxSigned64) {
        return std::nullopt;
    }
    return a;
}

AttributeIterator::AttributeIterator(std::span<const std::uint8_t> record) noexcept : m_record(record)
{
    core::LeView view(record);
    const std::int16_t first = view.S16(kFileFirstAttribute);
    if (!view.Ok() || first < 0) {
        m_end = WalkEnd::OutOfRecord;
        return;
    }
    m_pos = static_cast<std::size_t>(first);
}

std::optional<AttributeView> AttributeIterator::Next() noexcept
{
    if (m_end != WalkEnd::Running) {
        return std::nullopt;
    }
    core::LeView view(m_record);
    const std::uint32_t type = view.U32(m_pos + kAttrType);
    if (!view.Ok()) {
        m_end = WalkEnd::OutOfRecord;
        return std::nullopt;
    }
    if (IsEndType(type)) {
        m_end = WalkEnd::EndMarker;
        return std::nullopt;
    }
    auto attribute = ReadAttributeAt(m_record, m_pos);
    if (!attribute) {
        m_end = WalkEnd::BadHeader;
        return std::nullopt;
    }
    m_pos += attribute->length;  // at least 24, and inside the record
    return attribute;
}

std::optional<DataAttribute> FindDataAttribute(std::span<const std::uint8_t> record) noexcept
{
    AttributeIterator it(record);
    while (auto a = it.Next()) {
        if (a->type != kAttrTypeData || a->nameLength != 0) {
            continue;
        }
        DataAttribute data;
        data.offset = a->offset;
        data.nonResident = a->nonResident;
        if (a->nonResident) {
            data.runs = a->runs;
            data.dataSize = a->dataSize;
            data.startVcn = a->startVcn;
        } else {
            data.value = a->value;
            data.dataSize = a->value.size();
        }
        return data;
    }
    return std::nullopt;
}

std::optional<AttributeListEntry> AttributeListWalker::Next() noexcept
{
    if (m_done) {
        return std::nullopt;
    }
    m_done = true;
    core::LeView view(m_value);
    const std::uint32_t type = view.U32(m_pos + kAlType);
    const std::uint16_t length = view.U16(m_pos + kAlLength);
    if (!view.Ok() || IsEndType(type) || length < kAlHeaderSize || !core::InRange(m_value.size(), m_pos, length)) {
        return std::nullopt;
    }
    AttributeListEntry e;
    e.offset = m_pos;
    e.type = type;
    e.length = length;
    e.nameLength = view.U8(m_pos + kAlNameLength);
    const std::size_t nameOffset = view.U8(m_pos + kAlNameOffset);
    const std::size_t nameBytes = 2 * std::size_t{e.nameLength};
    if (e.nameLength != 0) {
        if (nameOffset < kAlHeaderSize || !core::InRange(length, nameOffset, nameBytes)) {
            return std::nullopt;
        }
        e.name = m_value.subspan(m_pos + nameOffset, nameBytes);
    }
    e.startVcn = view.U64(m_pos + kAlStartVcn);
    e.recordNumber = view.U32(m_pos + kAlRecord);
    m_pos += length;
    m_done = false;
    return e;
}

}  // namespace ntfs

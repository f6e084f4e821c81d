// The FILE-record find routines: names, data size, extension records, $I30 index attributes.
#include "ntfs/file_record.h"

#include <algorithm>

#include "core/le_view.h"
#include "core/ntfs_names.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

namespace {

// Every routine sees at most the 1024 bytes of one record.
RecordBytes OneRecord(RecordBytes record) noexcept
{
    return record.first(std::min(record.size(), kFileRecordSize));
}

bool IsEndType(std::uint32_t type) noexcept { return type == 0 || type == kAttrTypeEnd; }

// Offset of the first attribute, or empty when it is negative or at/after the record's last byte.
std::optional<std::size_t> FirstAttribute(core::LeView& view) noexcept
{
    const std::int16_t first = view.S16(kFileFirstAttribute);
    if (!view.Ok() || first < 0 || static_cast<std::size_t>(first) >= kFileRecordLimit) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(first);
}

// Steps over an attribute that is not the one sought: a length of 0 or of 1023 or more, or a next
// position of 1023 or more, ends the walk.
bool SkipOther(core::LeView& view, std::size_t& pos) noexcept
{
    const std::uint32_t length = view.U32(pos + kAttrLength);
    if (!view.Ok() || length == 0 || length >= kFileRecordLimit) {
        return false;
    }
    pos += length;
    return pos < kFileRecordLimit;
}

// Steps over an attribute of the sought type that does not qualify (named, or in another
// namespace): a length of 0 or above 1024, or a next position of 1024 or more, ends the walk.
bool SkipSameType(core::LeView& view, std::size_t& pos) noexcept
{
    const std::uint32_t length = view.U32(pos + kAttrLength);
    if (!view.Ok() || length == 0 || length > kFileRecordSize) {
        return false;
    }
    pos += length;
    return pos < kFileRecordSize;
}

// The name length byte is 4 and the low bytes of the four UTF-16 units at attribute offset
// `nameAt` read "$I30" (the high bytes are not looked at).
bool IsI30At(core::LeView& view, std::size_t attribute, std::size_t nameAt) noexcept
{
    static constexpr char kI30[] = "$I30";
    if (view.U8(attribute + kAttrNameLength) != kI30NameUnits) {
        return false;
    }
    for (std::size_t i = 0; i < kI30NameUnits; ++i) {
        if (!core::InRange(view.Size(), attribute + nameAt + 2 * i, 1) ||
            view.Bytes()[attribute + nameAt + 2 * i] != static_cast<std::uint8_t>(kI30[i])) {
            return false;
        }
    }
    return view.Ok();
}

}  // namespace

bool HasFileSignature(RecordBytes record) noexcept
{
    return core::LeView(record).Matches(kFileSignature, "FILE");
}

std::optional<std::uint8_t> RecordFlags(RecordBytes record) noexcept
{
    core::LeView view(record);
    const std::uint8_t flags = view.U8(kFileFlags);
    if (!view.Ok()) {
        return std::nullopt;
    }
    return flags;
}

std::optional<FileNameInfo> FindFileName(RecordBytes record, std::uint8_t nameSpace)
{
    record = OneRecord(record);
    core::LeView view(record);
    auto start = FirstAttribute(view);
    if (!start) {
        return std::nullopt;
    }
    std::size_t pos = *start;
    while (true) {
        const std::uint32_t type = view.U32(pos + kAttrType);
        if (!view.Ok() || IsEndType(type)) {
            return std::nullopt;
        }
        if (type != kAttrTypeFileName) {
            if (!SkipOther(view, pos)) {
                return std::nullopt;
            }
            continue;
        }
        if (view.U8(pos + kAttrNameLength) != 0) {
            if (!SkipSameType(view, pos)) {
                return std::nullopt;
            }
            continue;
        }
        const std::int16_t valueOffset = view.S16(pos + kAttrValueOffset);
        if (!view.Ok() || valueOffset < 0 || pos + static_cast<std::size_t>(valueOffset) > kFileRecordLimit) {
            return std::nullopt;
        }
        const std::size_t value = pos + static_cast<std::size_t>(valueOffset);
        const std::uint8_t foundSpace = view.U8(value + kFnNamespace);
        if (!view.Ok()) {
            return std::nullopt;
        }
        if (foundSpace != nameSpace) {
            if (!SkipSameType(view, pos)) {
                return std::nullopt;
            }
            continue;
        }
        FileNameInfo info;
        info.parent = view.U32(value + kFnParent);
        info.created = view.U64(value + kFnCreated);
        info.changed = view.U64(value + kFnChanged);
        info.fileAttributes = view.U32(value + kFnFileAttributes);
        info.nameSpace = foundSpace;
        const std::size_t units = view.U8(value + kFnNameLength);
        if (!view.Ok()) {
            return std::nullopt;
        }
        const std::size_t nameAt = std::min(value + kFnName, record.size());
        info.name = core::NameFromUtf16(record.subspan(nameAt), units);
        return info;
    }
}

std::optional<std::uint64_t> GetDataSize(RecordBytes record) noexcept
{
    record = OneRecord(record);
    core::LeView view(record);
    auto start = FirstAttribute(view);
    if (!start) {
        return std::nullopt;
    }
    std::size_t pos = *start;
    while (true) {
        const std::uint32_t type = view.U32(pos + kAttrType);
        if (!view.Ok() || IsEndType(type)) {
            return std::nullopt;
        }
        if (type != kAttrTypeData) {
            if (!SkipOther(view, pos)) {
                return std::nullopt;
            }
            continue;
        }
        if (view.U8(pos + kAttrNameLength) != 0) {
            if (!SkipSameType(view, pos)) {
                return std::nullopt;
            }
            continue;
        }
        // Only 0 (resident) and 1 (non-resident) are meaningful; another value is inconsistent.
        const std::uint8_t nonResident = view.U8(pos + kAttrNonResident);
        std::uint64_t size = 0;
        if (nonResident == 0) {
            size = view.U32(pos + kAttrValueLength);
        } else if (nonResident == 1) {
            size = view.U64(pos + kAttrDataSize);
        } else {
            return std::nullopt;
        }
        if (!view.Ok()) {
            return std::nullopt;
        }
        return size;
    }
}

std::size_t CollectExtensionRecords(RecordBytes record, std::vector<std::uint32_t>& list, std::size_t capacity)
{
    record = OneRecord(record);
    core::LeView view(record);
    auto start = FirstAttribute(view);
    if (!start) {
        return 0;
    }
    std::size_t pos = *start;
    while (true) {
        const std::uint32_t type = view.U32(pos + kAttrType);
        if (!view.Ok() || IsEndType(type)) {
            return 0;
        }
        if (type != kAttrTypeAttributeList || view.U8(pos + kAttrNonResident) != 0) {
            if (!SkipOther(view, pos)) {
                return 0;
            }
            continue;
        }
        break;
    }
    const std::int16_t valueOffset = view.S16(pos + kAttrValueOffset);
    const std::size_t valueLength = view.U32(pos + kAttrValueLength);
    if (!view.Ok() || valueOffset <= 0 || static_cast<std::size_t>(valueOffset) >= kFileRecordLimit) {
        return 0;
    }
    const std::size_t valueStart = pos + static_cast<std::size_t>(valueOffset);
    if (valueStart >= kFileRecordLimit) {
        return 0;
    }
    // Entries must lie inside the list's value and inside the record.
    const std::size_t valueEnd = std::min(record.size(), valueStart + std::min(valueLength, kFileRecordSize));
    std::size_t appended = 0;
    std::size_t entry = valueStart;
    while (list.size() < capacity && core::InRange(valueEnd, entry, kAlHeaderSize)) {
        const std::uint32_t entryType = view.U32(entry + kAlType);
        if (IsEndType(entryType)) {
            break;
        }
        list.push_back(view.U32(entry + kAlRecord));
        ++appended;
        const std::int16_t length = view.S16(entry + kAlLength);
        if (length <= 0 || static_cast<std::size_t>(length) > kFileRecordLimit) {
            break;
        }
        entry += static_cast<std::size_t>(length);
    }
    return appended;
}

std::optional<std::size_t> FindIndexAttribute(RecordBytes record, std::uint32_t type, std::size_t limit) noexcept
{
    if (limit < 1) {
        return std::nullopt;
    }
    core::LeView view(record.first(std::min(record.size(), limit)));
    const std::int16_t first = view.S16(kFileFirstAttribute);
    if (!view.Ok() || first < 0) {
        return std::nullopt;
    }
    const std::size_t nameAt = type == kAttrTypeIndexRoot ? kAttrResidentName : kAttrNonResidentName;
    std::size_t off = static_cast<std::size_t>(first);
    while (off + 3 <= limit - 1) {
        const std::uint32_t found = view.U32(off + kAttrType);
        if (!view.Ok()) {
            return std::nullopt;
        }
        if (found == type && IsI30At(view, off, nameAt)) {
            return off;
        }
        if (IsEndType(found) || off + 7 > limit - 1) {
            return std::nullopt;
        }
        const std::uint32_t length = view.U32(off + kAttrLength);
        if (!view.Ok() || length == 0) {
            return std::nullopt;
        }
        if (type == kAttrTypeIndexAllocation && (length >= limit - 1 || off + length >= limit - 1)) {
            return std::nullopt;
        }
        off += length;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> DirectoryNumberFromIndexRoot(RecordBytes record) noexcept
{
    record = OneRecord(record);
    const auto root = FindIndexAttribute(record, kAttrTypeIndexRoot, kFileRecordSize);
    if (!root || *root + kI30RootFirstEntry >= kFileRecordLimit) {
        return std::nullopt;
    }
    core::LeView view(record);
    const std::size_t key = *root + kI30RootFirstEntry + kIeKey;
    const std::uint8_t units = view.U8(key + kFnNameLength);
    const std::uint32_t parent = view.U32(key + kFnParent);
    if (!view.Ok() || units == 0 || parent == 0xFFFFFFFF) {
        return std::nullopt;
    }
    return parent;
}

std::optional<std::int64_t> FirstIndexCluster(RecordBytes record, std::size_t limit) noexcept
{
    const auto alloc = FindIndexAttribute(record, kAttrTypeIndexAllocation, limit);
    if (!alloc || *alloc >= limit - 1) {
        return std::nullopt;
    }
    core::LeView view(record.first(std::min(record.size(), limit)));
    const std::int16_t runsOffset = view.S16(*alloc + kAttrRunsOffset);
    if (!view.Ok() || runsOffset < 0) {
        return std::nullopt;
    }
    const std::size_t at = *alloc + static_cast<std::size_t>(runsOffset);
    if (at >= limit) {
        return std::nullopt;
    }
    const std::uint8_t header = view.U8(at);
    if (!view.Ok() || header == 0) {
        return std::nullopt;
    }
    const std::size_t lengthSize = header & kRunLengthSizeMask;
    const std::size_t offsetSize = static_cast<std::size_t>(header >> kRunOffsetSizeShift);
    if (offsetSize < 1 || offsetSize > kRunSupportedFieldSize) {
        return std::nullopt;
    }
    const std::int64_t cluster = view.SVar(at + 1 + lengthSize, offsetSize);
    if (!view.Ok()) {
        return std::nullopt;
    }
    return cluster;
}

}  // namespace ntfs

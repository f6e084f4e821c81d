// The choice of a file's name among its $FILE_NAME attributes and records.
#include "ntfs/record_names.h"

#include <algorithm>

#include "core/le_view.h"
#include "ntfs/attribute_walk.h"

namespace ntfs {

namespace {

// Offset of the update sequence array from which a header has room for the record number at 44.
constexpr std::uint16_t kUsaOffsetWithRecordNumber = 0x30;

}  // namespace

std::size_t NameRank(std::uint8_t nameSpace) noexcept
{
    const auto* it = std::find(kNameChoiceOrder.begin(), kNameChoiceOrder.end(), nameSpace);
    return static_cast<std::size_t>(it - kNameChoiceOrder.begin());
}

std::optional<FileNameInfo> FindBestFileName(RecordBytes record, std::size_t betterThan)
{
    for (std::size_t rank = 0; rank < std::min(betterThan, kNoNameRank); ++rank) {
        if (auto name = FindFileName(record, kNameChoiceOrder[rank])) {
            return name;
        }
    }
    return std::nullopt;
}

bool IsBetterName(const std::optional<FileNameInfo>& best, const FileNameInfo& candidate) noexcept
{
    return !best || NameRank(candidate.nameSpace) < NameRank(best->nameSpace);
}

std::uint64_t BaseRecordReference(RecordBytes record) noexcept
{
    core::LeView view(record);
    const std::uint64_t reference = view.U64(kFileBaseRecord);
    return view.Ok() ? reference : 0;
}

std::optional<std::uint32_t> RecordNumberField(RecordBytes record) noexcept
{
    core::LeView view(record);
    const std::uint16_t usa = view.U16(kMstUsaOffset);
    const std::uint32_t number = view.U32(kFileRecordNumber);
    if (!view.Ok() || usa < kUsaOffsetWithRecordNumber) {
        return std::nullopt;
    }
    return number;
}

AttributeListInfo FindAttributeList(RecordBytes record) noexcept
{
    AttributeListInfo info;
    AttributeIterator it(record.first(std::min(record.size(), kFileRecordSize)));
    while (auto attribute = it.Next()) {
        if (attribute->type == kAttrTypeAttributeList) {
            info.present = true;
            info.resident = !attribute->nonResident;
            info.value = attribute->value;
            return info;
        }
        if (attribute->type > kAttrTypeAttributeList) {
            break;  // attributes are stored in type order
        }
    }
    return info;
}

void CollectNameHolders(std::span<const std::uint8_t> listValue, std::uint32_t self,
                        std::vector<std::uint32_t>& holders, std::size_t capacity)
{
    AttributeListWalker walker(listValue);
    while (holders.size() < capacity) {
        const auto entry = walker.Next();
        if (!entry) {
            break;
        }
        if (entry->type != kAttrTypeFileName || entry->recordNumber == self ||
            std::find(holders.begin(), holders.end(), entry->recordNumber) != holders.end()) {
            continue;
        }
        holders.push_back(entry->recordNumber);
    }
}

}  // namespace ntfs

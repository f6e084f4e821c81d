// INDX index buffers and index entries.
#include "ntfs/index_buffer.h"

#include <algorithm>

#include "core/le_view.h"
#include "core/ntfs_names.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

std::optional<IndexBufferHeader> DecodeIndexBufferHeader(std::span<const std::uint8_t> buffer) noexcept
{
    core::LeView view(buffer);
    if (!view.Matches(kIndxSignature, "INDX")) {
        return std::nullopt;
    }
    IndexBufferHeader h;
    h.usaOffset = view.U16(kMstUsaOffset);
    h.usaCount = view.U16(kMstUsaCount);
    h.vcn = view.U32(kIndxVcn);
    h.entriesOffset = view.U32(kIndxEntriesOffset);
    h.allocatedSize = view.U32(kIndxAllocatedSize);
    if (!view.Ok()) {
        return std::nullopt;
    }
    const std::uint64_t total = std::uint64_t{h.allocatedSize} + kIndxHeader;
    if (total > kIndxMaxBytes || total < kMstSectorSize) {
        return std::nullopt;
    }
    h.totalBytes = static_cast<std::uint32_t>(total);
    h.sectors = static_cast<std::uint32_t>(total / kMstSectorSize);
    if (h.usaCount == 0 || !core::InRange(h.totalBytes, h.usaOffset, 2 * std::size_t{h.usaCount})) {
        return std::nullopt;
    }
    if (std::uint64_t{h.entriesOffset} + kIndxHeader >= total) {
        return std::nullopt;
    }
    return h;
}

bool IndexEntryView::IsDirectory() const noexcept { return (fileAttributes & kFnAttrDirectory) != 0; }

std::optional<IndexEntryView> IndexEntryWalker::Next()
{
    if (m_done) {
        return std::nullopt;
    }
    m_done = true;
    core::LeView view(m_buffer);
    const std::size_t e = m_pos;
    IndexEntryView entry;
    entry.offset = e;
    entry.length = view.U16(e + kIeLength);
    entry.nameLength = view.U8(e + kIeKey + kFnNameLength);
    if (!view.Ok() || entry.nameLength == 0) {
        return std::nullopt;
    }
    const std::size_t nameAt = e + kIeKey + kFnName;
    if (!core::InRange(m_buffer.size(), nameAt, 2 * std::size_t{entry.nameLength})) {
        return std::nullopt;
    }
    entry.recordNumber = view.U32(e + kIeFileReference);
    entry.flags = view.U16(e + kIeFlags);
    entry.parent = view.U32(e + kIeKey + kFnParent);
    entry.created = view.U64(e + kIeKey + kFnCreated);
    entry.changed = view.U64(e + kIeKey + kFnChanged);
    entry.fileAttributes = view.U32(e + kIeKey + kFnFileAttributes);
    entry.nameSpace = view.U8(e + kIeKey + kFnNamespace);
    entry.name = core::NameFromUtf16(m_buffer.subspan(nameAt), entry.nameLength);
    // An entry length of 0 ends the walk after this entry.
    m_pos = e + entry.length;
    m_done = entry.length == 0 || m_pos >= m_buffer.size();
    return entry;
}

IndexEntryWalker WalkIndexBuffer(std::span<const std::uint8_t> buffer, const IndexBufferHeader& header) noexcept
{
    const auto bytes = buffer.first(std::min<std::size_t>(buffer.size(), header.totalBytes));
    return IndexEntryWalker(bytes, std::size_t{header.entriesOffset} + kIndxHeader);
}

std::optional<IndexEntryWalker> WalkIndexRoot(const AttributeView& root) noexcept
{
    if (root.type != kAttrTypeIndexRoot || root.nonResident) {
        return std::nullopt;
    }
    core::LeView view(root.value);
    const std::size_t entriesOffset = view.U32(kIrIndexHeader + kIhEntriesOffset);
    const std::size_t indexLength = view.U32(kIrIndexHeader + kIhIndexLength);
    if (!view.Ok()) {
        return std::nullopt;
    }
    // The entries in use end at the index length; the value bounds both.
    const std::size_t end = kIrIndexHeader + std::min(indexLength, root.value.size());
    const auto bytes = root.value.first(std::min(end, root.value.size()));
    return IndexEntryWalker(bytes, kIrIndexHeader + std::min(entriesOffset, root.value.size()));
}

}  // namespace ntfs

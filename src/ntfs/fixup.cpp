// Update-sequence fixup of FILE records and INDX buffers.
#include "ntfs/fixup.h"

#include "core/le_view.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

FixupResult ApplyFixupChecked(std::span<std::uint8_t> buffer) noexcept
{
    FixupResult result;
    core::LeView view(buffer);
    const std::size_t usaOffset = view.U16(kMstUsaOffset);
    const std::size_t usaCount = view.U16(kMstUsaCount);
    if (!view.Ok() || usaCount == 0 || !core::InRange(buffer.size(), usaOffset, 2)) {
        return result;
    }
    const std::uint8_t usn[2] = {buffer[usaOffset], buffer[usaOffset + 1]};
    bool matched = true;
    for (std::size_t i = 0; i + 1 < usaCount; ++i) {
        const std::size_t entry = usaOffset + 2 + 2 * i;
        const std::size_t tail = i * kMstSectorSize + kMstSectorTail;
        if (entry >= kMstFixupEntryLimit || !core::InRange(buffer.size(), tail, 2)) {
            break;
        }
        // Only the bytes of the array that lie below the limit are copied.
        const std::size_t bytes = entry + 1 < kMstFixupEntryLimit ? 2 : 1;
        if (!core::InRange(buffer.size(), entry, bytes)) {
            break;
        }
        for (std::size_t b = 0; b < bytes; ++b) {
            matched = matched && buffer[tail + b] == usn[b];
            buffer[tail + b] = buffer[entry + b];
        }
        ++result.sectorsRestored;
    }
    result.sequenceMatched = matched && result.sectorsRestored > 0;
    return result;
}

void ApplyFixup(std::span<std::uint8_t> buffer) noexcept
{
    static_cast<void>(ApplyFixupChecked(buffer));
}

}  // namespace ntfs

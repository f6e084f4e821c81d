// Fuzz target: INDX buffer header, fixup and index-entry walk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/ntfs_names.h"
#include "ntfs/fixup.h"
#include "ntfs/index_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 70000) {
        return 0;
    }
    std::vector<std::uint8_t> buffer(data, data + size);
    const auto header = ntfs::DecodeIndexBufferHeader(buffer);
    if (!header) {
        // The walk must stay bounded from any start.
        ntfs::IndexEntryWalker walker(buffer, size > 0 ? data[0] : 0);
        while (walker.Next()) {
        }
        return 0;
    }
    if (header->totalBytes > 65536 || header->sectors == 0) {
        std::abort();
    }
    // As the caller does: fix up what was read of the buffer, then walk it.
    std::vector<std::uint8_t> image(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                                          size, header->totalBytes)));
    ntfs::ApplyFixup(image);
    auto walker = ntfs::WalkIndexBuffer(image, *header);
    std::size_t count = 0;
    while (const auto entry = walker.Next()) {
        if (entry->nameLength == 0 || core::CodePointCount(entry->name) > entry->nameLength || ++count > image.size()) {
            std::abort();
        }
    }
    return 0;
}

// A format image as a drive: reads serialized on the library's handle.
#include "platform/format_image_source.h"

namespace platform {

bool FormatImageSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset > m_size || out.size() > m_size - offset) {
        return false;
    }
    if (out.empty()) {
        return true;
    }
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_handle->Read(offset, out);
}

}  // namespace platform

// A format image as a drive: reads on a small pool of the library's handles, each read by one
// thread at a time.
#include "platform/format_image_source.h"

#include <algorithm>

namespace platform {

FormatImageSource::FormatImageSource(std::unique_ptr<FormatHandle> handle, std::uint64_t mediaSize, Reopen reopen,
                                     unsigned maxHandles) noexcept
    : m_reopen(std::move(reopen)), m_maxHandles(std::clamp(maxHandles, 1u, kMaxHandles)), m_size(mediaSize)
{
    m_slots[0].handle = std::move(handle);
    if (!m_reopen) {
        m_maxHandles = 1;
    }
}

// Opens one more handle when every open one is busy and the pool may grow. The new handle is in
// place before the count that makes it visible is published.
bool FormatImageSource::TryGrow()
{
    const std::lock_guard<std::mutex> hold(m_growLock);
    const unsigned open = m_open.load(std::memory_order_relaxed);
    if (open >= m_maxHandles) {
        return false;
    }
    std::unique_ptr<FormatHandle> handle = m_reopen();
    if (!handle) {
        m_maxHandles = open;  // the image cannot be opened again: go on with the handles there are
        return false;
    }
    m_slots[open].handle = std::move(handle);
    m_open.store(open + 1, std::memory_order_release);
    return true;
}

bool FormatImageSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset > m_size || out.size() > m_size - offset) {
        return false;
    }
    if (out.empty()) {
        return true;
    }
    // A free handle if there is one, starting from a different one each time.
    for (int round = 0; round < 2; ++round) {
        const unsigned open = m_open.load(std::memory_order_acquire);
        const unsigned first = m_next.fetch_add(1, std::memory_order_relaxed);
        for (unsigned i = 0; i < open; ++i) {
            Slot& slot = m_slots[(first + i) % open];
            std::unique_lock<std::mutex> hold(slot.lock, std::try_to_lock);
            if (hold.owns_lock()) {
                return slot.handle->Read(offset, out);
            }
        }
        if (round == 0 && !TryGrow()) {
            break;
        }
    }
    // All busy and no more to open: wait for one.
    const unsigned open = m_open.load(std::memory_order_acquire);
    Slot& slot = m_slots[m_next.fetch_add(1, std::memory_order_relaxed) % open];
    const std::lock_guard<std::mutex> hold(slot.lock);
    return slot.handle->Read(offset, out);
}

}  // namespace platform

// In-memory sector sources for tests.
#include "support/memory_disk.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "core/le_view.h"

namespace testing_support {

MemoryDisk::MemoryDisk(std::uint64_t sizeBytes) : m_bytes(static_cast<std::size_t>(sizeBytes), 0) {}

MemoryDisk::MemoryDisk(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

bool MemoryDisk::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    ++m_readCount;
    if (offset > m_bytes.size() || !core::InRange(m_bytes.size(), static_cast<std::size_t>(offset), out.size())) {
        return false;
    }
    if (!out.empty()) {
        std::memcpy(out.data(), m_bytes.data() + offset, out.size());
    }
    return true;
}

std::uint64_t MemoryDisk::SizeBytes() const { return m_bytes.size(); }

void MemoryDisk::Write(std::uint64_t offset, std::span<const std::uint8_t> data)
{
    if (offset > m_bytes.size() || !core::InRange(m_bytes.size(), static_cast<std::size_t>(offset), data.size())) {
        throw std::out_of_range("MemoryDisk::Write outside the disk");
    }
    std::copy(data.begin(), data.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void FaultyDisk::MarkBad(core::Sector sector, int failuresBeforeSuccess)
{
    std::lock_guard lock(m_mutex);
    m_bad[sector] = failuresBeforeSuccess;
}

bool FaultyDisk::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t first = offset / core::kSectorSize;
    const std::uint64_t end = out.empty() ? first : (offset + out.size() + core::kSectorSize - 1) / core::kSectorSize;
    bool fail = m_failAll || (m_shortReadLimit != 0 && out.size() > m_shortReadLimit);
    for (std::uint64_t s = first; s < end; ++s) {
        const auto sector = static_cast<core::Sector>(s);
        ++m_touched[sector];
        if (end - first == 1) {
            ++m_single[sector];
        }
        auto it = m_bad.find(sector);
        if (it != m_bad.end() && it->second != 0) {
            fail = true;
            if (it->second > 0) {
                --it->second;
            }
        }
    }
    if (m_sizeOverridden && (offset > m_reportedSize || out.size() > m_reportedSize - offset)) {
        fail = true;
    }
    if (fail) {
        ++m_readCount;
        std::fill(out.begin(), out.end(), std::uint8_t{0xEE});
        return false;
    }
    return MemoryDisk::ReadAt(offset, out);
}

std::uint64_t FaultyDisk::SizeBytes() const { return m_sizeOverridden ? m_reportedSize : MemoryDisk::SizeBytes(); }

std::size_t FaultyDisk::ReadsOfSector(core::Sector sector) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_touched.find(sector);
    return it == m_touched.end() ? 0 : it->second;
}

std::size_t FaultyDisk::SingleSectorReadsOf(core::Sector sector) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_single.find(sector);
    return it == m_single.end() ? 0 : it->second;
}

}  // namespace testing_support

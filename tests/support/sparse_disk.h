// A disk of any size, up to beyond 2^32 sectors, that stores only the sectors written to it and
// answers every other sector in range with zeros. Records each read's first sector and length.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <span>
#include <vector>

#include "core/sector_source.h"
#include "core/types.h"

namespace testing_support {

class SparseDisk : public core::SectorSource
{
public:
    explicit SparseDisk(std::uint64_t sectorCount) : m_sectorCount(sectorCount) {}

    void WriteSector(std::uint64_t sector, std::span<const std::uint8_t> data)
    {
        auto& stored = m_sectors[sector];
        stored.assign(core::kSectorSize, 0);
        std::memcpy(stored.data(), data.data(), std::min<std::size_t>(data.size(), core::kSectorSize));
    }
    // Reads touching `sector` fail (and fill the destination with 0xEE).
    void MarkBad(std::uint64_t sector) { m_bad.insert(sector); }

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        const std::uint64_t first = offset / core::kSectorSize;
        const std::uint64_t count = (out.size() + core::kSectorSize - 1) / core::kSectorSize;
        m_reads.push_back(first);
        m_requests.push_back(Request{first, count});
        if (offset % core::kSectorSize != 0 || first > m_sectorCount || count > m_sectorCount - first) {
            std::memset(out.data(), 0xEE, out.size());
            return false;
        }
        for (std::uint64_t i = 0; i < count; ++i) {
            if (m_bad.count(first + i) != 0) {
                std::memset(out.data(), 0xEE, out.size());
                return false;
            }
        }
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * core::kSectorSize;
            const std::size_t len = std::min<std::size_t>(core::kSectorSize, out.size() - at);
            const auto it = m_sectors.find(first + i);
            if (it == m_sectors.end()) {
                std::memset(out.data() + at, 0, len);
            } else {
                std::memcpy(out.data() + at, it->second.data(), len);
            }
        }
        return true;
    }
    std::uint64_t SizeBytes() const override { return m_sectorCount * core::kSectorSize; }

    struct Request
    {
        std::uint64_t first = 0;
        std::uint64_t count = 0;  // sectors
        bool operator==(const Request&) const = default;
    };

    // First sector of every read, in order.
    const std::vector<std::uint64_t>& Reads() const noexcept { return m_reads; }
    // Every read with its length, in order.
    const std::vector<Request>& Requests() const noexcept { return m_requests; }
    void ClearReads()
    {
        m_reads.clear();
        m_requests.clear();
    }

private:
    std::uint64_t m_sectorCount;
    std::map<std::uint64_t, std::vector<std::uint8_t>> m_sectors;
    std::set<std::uint64_t> m_bad;
    std::vector<std::uint64_t> m_reads;
    std::vector<Request> m_requests;
};

}  // namespace testing_support

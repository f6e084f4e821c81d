// In-memory sector sources for tests: a plain disk and one that fails on cue.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "core/sector_source.h"
#include "core/types.h"

namespace testing_support {

// A disk held in memory. Reads past the end fail. Counts every read.
class MemoryDisk : public core::SectorSource
{
public:
    // A disk of `sizeBytes` zero bytes.
    explicit MemoryDisk(std::uint64_t sizeBytes);
    // A disk holding exactly `bytes`.
    explicit MemoryDisk(std::vector<std::uint8_t> bytes);

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
    std::uint64_t SizeBytes() const override;

    // The disk's bytes, for building content in place.
    std::vector<std::uint8_t>& Bytes() noexcept { return m_bytes; }
    const std::vector<std::uint8_t>& Bytes() const noexcept { return m_bytes; }
    // Copies `data` to byte `offset` of the disk (grows nothing: the range must fit).
    void Write(std::uint64_t offset, std::span<const std::uint8_t> data);
    // Copies `data` to the start of sector `sector`.
    void WriteSector(core::Sector sector, std::span<const std::uint8_t> data)
    {
        Write(core::SectorOffset(sector), data);
    }

    // Number of ReadAt calls so far (successful or not).
    std::size_t ReadCount() const noexcept { return m_readCount; }
    void ResetReadCount() noexcept { m_readCount = 0; }

protected:
    std::vector<std::uint8_t> m_bytes;
    std::atomic<std::size_t> m_readCount{0};  // a batch may read from several workers
};

// A memory disk with unreadable sectors, short reads and a reported size that may differ from
// its contents. A read fails when it touches a bad sector that still has failures left; a failing
// read fills the destination with 0xEE so a caller that keeps stale bytes is caught.
class FaultyDisk : public MemoryDisk
{
public:
    static constexpr int kForever = -1;

    using MemoryDisk::MemoryDisk;

    // Sector `sector` fails the next `failuresBeforeSuccess` reads touching it (kForever: always).
    void MarkBad(core::Sector sector, int failuresBeforeSuccess = kForever);
    // Every read of more than `maxBytes` bytes fails (as a short read would); 0 turns it off.
    void SetShortReadLimit(std::size_t maxBytes) noexcept { m_shortReadLimit = maxBytes; }
    // Reports `sizeBytes` as the size, whatever the contents hold.
    void SetReportedSize(std::uint64_t sizeBytes) noexcept
    {
        m_reportedSize = sizeBytes;
        m_sizeOverridden = true;
    }
    // Every read fails from now on.
    void FailAll(bool fail = true) noexcept { m_failAll = fail; }

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
    std::uint64_t SizeBytes() const override;

    // Reads (whole calls) that touched sector `sector`.
    std::size_t ReadsOfSector(core::Sector sector) const;
    // Reads that covered exactly the one sector `sector`.
    std::size_t SingleSectorReadsOf(core::Sector sector) const;

private:
    mutable std::mutex m_mutex;  // reads may come from several batch workers at once
    std::map<core::Sector, int> m_bad;  // sector -> failures left (kForever: always)
    std::map<core::Sector, std::size_t> m_touched;
    std::map<core::Sector, std::size_t> m_single;
    std::size_t m_shortReadLimit = 0;
    std::uint64_t m_reportedSize = 0;
    bool m_sizeOverridden = false;
    bool m_failAll = false;
};

}  // namespace testing_support

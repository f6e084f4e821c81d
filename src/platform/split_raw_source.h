// A raw disk image kept as several pieces (split, ddrescue's and imaging tools' .001, .002, ...),
// read as one disk.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/sector_source.h"
#include "platform/file_source.h"

namespace platform {

class SplitRawSectorSource : public core::SectorSource
{
public:
    // The pieces in disk order; the disk is their sizes (as they were when opened) end to end.
    explicit SplitRawSectorSource(std::vector<std::unique_ptr<FileSectorSource>> pieces);

    // True only when all of `out` was read; a request may span pieces.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
    std::uint64_t SizeBytes() const override { return m_size; }
    bool ConcurrentReads() const noexcept override { return true; }  // pread only

private:
    std::vector<std::unique_ptr<FileSectorSource>> m_pieces;
    std::vector<std::uint64_t> m_starts;  // byte offset of each piece's first byte on the disk
    std::uint64_t m_size = 0;
};

// Opens every piece read-only (OpenReadOnly), `pieces` in disk order; empty with the reason of
// the first piece that fails to open. `reason` is left empty on success.
std::unique_ptr<SplitRawSectorSource> OpenSplitRaw(const std::vector<std::string>& pieces, std::string& reason);

}  // namespace platform

// A raw disk image kept as several pieces, read as one disk.
#include "platform/split_raw_source.h"

#include <algorithm>

namespace platform {

SplitRawSectorSource::SplitRawSectorSource(std::vector<std::unique_ptr<FileSectorSource>> pieces)
    : m_pieces(std::move(pieces))
{
    for (const auto& piece : m_pieces) {
        m_starts.push_back(m_size);
        m_size += piece->SizeBytes();  // pieces are files: their sizes add up far below 2^64
    }
}

bool SplitRawSectorSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset > m_size || out.size() > m_size - offset) {
        return false;
    }
    // The last piece that starts at or before `offset` (empty pieces are stepped over below).
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    std::size_t index = static_cast<std::size_t>(it - m_starts.begin()) - 1;
    std::size_t done = 0;
    while (done < out.size()) {
        if (index >= m_pieces.size()) {
            return false;
        }
        const std::uint64_t at = offset + done - m_starts[index];
        const std::uint64_t pieceSize = m_pieces[index]->SizeBytes();
        if (at >= pieceSize) {
            ++index;
            continue;
        }
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize - at, out.size() - done));
        if (!m_pieces[index]->ReadAt(at, out.subspan(done, take))) {
            return false;
        }
        done += take;
        ++index;
    }
    return true;
}

std::unique_ptr<SplitRawSectorSource> OpenSplitRaw(const std::vector<std::string>& pieces, std::string& reason)
{
    reason.clear();
    std::vector<std::unique_ptr<FileSectorSource>> opened;
    for (const std::string& path : pieces) {
        OpenResult piece = OpenReadOnly(path);
        if (!piece.source) {
            reason = std::move(piece.reason);
            return nullptr;
        }
        opened.push_back(std::move(piece.source));
    }
    if (opened.empty()) {
        return nullptr;
    }
    return std::make_unique<SplitRawSectorSource>(std::move(opened));
}

}  // namespace platform

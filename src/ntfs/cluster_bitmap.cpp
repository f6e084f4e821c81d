// The cluster bitmap read piece by piece, and the recoverability tally of a deleted file.
#include "ntfs/cluster_bitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include "core/checked_math.h"
#include "catalog/catalog.h"
#include "ntfs/attribute_walk.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/standard_scan.h"

namespace ntfs {

ClusterBitmap ClusterBitmap::Open(disk::DiskState& disk, const catalog::VolumeParams& params, const MftRunTable& table,
                                  std::uint64_t diskSectors)
{
    ClusterBitmap bitmap;
    const std::uint32_t spc = params.sectorsPerCluster;
    if (spc == 0 || table.Count() == 0) {
        return bitmap;
    }
    std::array<std::uint8_t, kFileRecordSize> record{};
    if (!ReadMftRecord(disk, table, kBitmapRecord, record)) {
        return bitmap;
    }
    const auto data = FindDataAttribute(record);
    if (!data || !data->nonResident || data->startVcn != 0) {
        return bitmap;
    }
    const RunList list = DecodeRunList(data->runs, kMaxRuns);
    std::uint64_t vcn = 0;
    for (const DataRun& run : list.runs) {
        const auto end = core::CheckedAdd(vcn, run.lengthClusters);
        if (!end) {
            break;
        }
        bitmap.m_runs.push_back(run);
        bitmap.m_runVcnStart.push_back(vcn);
        vcn = *end;
    }
    // The bitmap holds one bit per cluster: never more bytes than the disk has clusters / 8, nor
    // more than its runs map.
    const std::uint64_t clusterBytes = std::uint64_t{spc} * core::kSectorSize;
    const std::uint64_t mapped = core::CheckedMul(vcn, clusterBytes).value_or(UINT64_MAX);
    const std::uint64_t diskClusters = diskSectors == UINT64_MAX ? UINT64_MAX : diskSectors / spc;
    const std::uint64_t most = diskClusters / 8 + 1;
    bitmap.m_bytes = std::min({data->dataSize, mapped, most});
    bitmap.m_disk = &disk;
    bitmap.m_clusterBase = params.clusterBase;
    bitmap.m_sectorsPerCluster = spc;
    return bitmap;
}

ClusterBitmap ClusterBitmap::FromBytes(std::vector<std::uint8_t> bytes)
{
    ClusterBitmap bitmap;
    static disk::DiskState noDisk;  // never read: every piece is already present
    bitmap.m_bytes = bytes.size();
    if (bitmap.m_bytes == 0) {
        return bitmap;
    }
    bitmap.m_disk = &noDisk;
    for (std::uint64_t first = 0; first < bytes.size(); first += kPieceBytes) {
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(first);
        const std::uint64_t last = std::min<std::uint64_t>(first + kPieceBytes, bytes.size());
        const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(last);
        bitmap.m_pieces[first / kPieceBytes].bytes.assign(begin, end);
    }
    return bitmap;
}

bool ClusterBitmap::ReadPiece(std::uint64_t first, std::vector<std::uint8_t>& bytes)
{
    const std::uint64_t length = std::min<std::uint64_t>(kPieceBytes, m_bytes - first);
    // Pieces start on a sector boundary; the last one is read to its sector's end.
    bytes.assign(static_cast<std::size_t>((length + core::kSectorSize - 1) / core::kSectorSize * core::kSectorSize),
                 0);
    const std::uint64_t clusterBytes = std::uint64_t{m_sectorsPerCluster} * core::kSectorSize;
    const std::uint64_t pieceEnd = first + bytes.size();
    std::uint64_t covered = 0;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        const DataRun& run = m_runs[i];
        const std::uint64_t runStart = m_runVcnStart[i] * clusterBytes;  // within the mapped bytes
        const std::uint64_t runEnd = runStart + run.lengthClusters * clusterBytes;
        const std::uint64_t a = std::max(first, runStart);
        const std::uint64_t b = std::min(pieceEnd, runEnd);
        if (a >= b) {
            continue;
        }
        if (run.sparse) {
            return false;
        }
        const auto lcnSector =
            core::CheckedMul(static_cast<std::uint64_t>(run.lcn), std::uint64_t{m_sectorsPerCluster});
        const auto base = lcnSector ? core::CheckedAdd(*lcnSector, std::uint64_t{m_clusterBase}) : std::nullopt;
        const auto sector = base ? core::CheckedAdd(*base, (a - runStart) / core::kSectorSize) : std::nullopt;
        const std::uint64_t count = (b - a) / core::kSectorSize;
        if (!sector || *sector > core::kLastSector || count > core::kLastSector - *sector) {
            return false;
        }
        std::uint32_t unreadable = 0;
        const auto out = std::span<std::uint8_t>(bytes).subspan(static_cast<std::size_t>(a - first),
                                                                static_cast<std::size_t>(b - a));
        disk::ReadSectorsCounted(*m_disk, *sector, static_cast<std::uint32_t>(count), out, unreadable);
        if (unreadable != 0) {
            return false;
        }
        covered += b - a;
    }
    if (covered != bytes.size()) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(length));
    return true;
}

const ClusterBitmap::Piece& ClusterBitmap::PieceAt(std::uint64_t index)
{
    const auto found = m_pieces.find(index);
    if (found != m_pieces.end()) {
        return found->second;
    }
    Piece piece;
    if (!ReadPiece(index * kPieceBytes, piece.bytes)) {
        piece.bytes.clear();
        piece.bytes.shrink_to_fit();
    }
    return m_pieces.emplace(index, std::move(piece)).first->second;
}

std::optional<std::uint64_t> ClusterBitmap::FreeClusters(std::uint64_t lcn, std::uint64_t count)
{
    if (!Usable()) {
        return std::nullopt;
    }
    const auto end = core::CheckedAdd(lcn, count);
    if (!end || *end > m_bytes * 8) {
        return std::nullopt;
    }
    std::uint64_t free = 0;
    std::uint64_t at = lcn;
    while (at < *end) {
        const std::uint64_t index = at / 8 / kPieceBytes;
        const Piece& piece = PieceAt(index);
        if (piece.bytes.empty()) {
            return std::nullopt;
        }
        const std::uint64_t pieceFirstCluster = index * kPieceBytes * 8;
        const std::uint64_t stop = std::min<std::uint64_t>(*end, pieceFirstCluster + piece.bytes.size() * 8);
        while (at < stop) {
            const std::uint64_t bit = at - pieceFirstCluster;
            if (bit % 8 == 0 && stop - at >= 8) {
                // Whole bytes at a time.
                const std::uint64_t bytes = (stop - at) / 8;
                for (std::uint64_t k = 0; k < bytes; ++k) {
                    const std::uint8_t byte = piece.bytes[static_cast<std::size_t>(bit / 8 + k)];
                    free += 8 - static_cast<std::uint64_t>(std::popcount(byte));
                }
                at += bytes * 8;
                continue;
            }
            const std::uint8_t byte = piece.bytes[static_cast<std::size_t>(bit / 8)];
            free += ((byte >> (bit % 8)) & 1U) == 0 ? 1 : 0;
            ++at;
        }
    }
    return free;
}

std::size_t ClusterBitmap::MemoryBytes() const noexcept
{
    std::size_t bytes = m_runs.capacity() * sizeof(DataRun) + m_runVcnStart.capacity() * sizeof(std::uint64_t);
    for (const auto& [index, piece] : m_pieces) {
        bytes += piece.bytes.capacity() + sizeof(Piece) + sizeof(index);
    }
    return bytes;
}

void RecoverableTally::Add(ClusterBitmap& bitmap, RecordBytes record)
{
    const auto data = FindDataAttribute(record);
    if (!data) {
        return;
    }
    if (!data->nonResident) {
        m_resident = true;
        return;
    }
    const RunList list = DecodeRunList(data->runs, kMaxRuns);
    for (const DataRun& run : list.runs) {
        if (run.sparse || run.lengthClusters == 0) {
            continue;
        }
        const auto clusters = core::CheckedAdd(m_clusters, run.lengthClusters);
        if (!clusters) {
            m_unknown = true;
            return;
        }
        m_clusters = *clusters;
        if (m_unknown) {
            continue;
        }
        const auto free = bitmap.FreeClusters(static_cast<std::uint64_t>(run.lcn), run.lengthClusters);
        if (!free) {
            m_unknown = true;
            continue;
        }
        m_free += *free;
    }
}

std::uint8_t RecoverableTally::Rating() const noexcept
{
    if (m_resident) {
        return 100;
    }
    if (m_clusters == 0) {
        return catalog::kRecoverableNotRated;
    }
    if (m_unknown) {
        return catalog::kRecoverableUnknown;
    }
    // m_free <= m_clusters, and both count clusters of one disk: far below 2^57.
    const std::uint64_t percent =
        m_clusters <= UINT64_MAX / 100 ? m_free * 100 / m_clusters : m_free / (m_clusters / 100);
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(percent, 100));
}

}  // namespace ntfs

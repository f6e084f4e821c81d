// The preview of a file read into memory.
#include "recovery/preview.h"

#include <algorithm>
#include <array>

#include "core/checked_math.h"
#include "ntfs/ntfs_layout.h"

namespace recovery {

PreviewBytes ReadNtfsPreview(disk::DiskState& disk, core::Sector recordSector, std::uint64_t size,
                             const ClusterGeometry& geometry, const ntfs::MftRunTable* mftMap, std::uint64_t cap)
{
    PreviewBytes preview;
    const std::uint64_t want = std::min(size, cap);
    preview.cut = size > cap;
    std::array<std::uint8_t, ntfs::kFileRecordSize> record{};
    preview.unreadableSectors += ReadFileRecord(disk, recordSector, record);
    const DataMap map = MapNtfsData(disk, record, recordSector, geometry, mftMap);
    preview.incomplete = map.incomplete;
    switch (map.kind) {
    case DataKind::None:
        preview.readable = false;
        return preview;
    case DataKind::Resident: {
        const std::uint64_t take = std::min<std::uint64_t>(want, map.resident.size());
        preview.bytes.assign(map.resident.begin(), map.resident.begin() + static_cast<std::ptrdiff_t>(take));
        preview.incomplete = preview.incomplete || take < want;
        preview.bytes.resize(static_cast<std::size_t>(want), 0);
        return preview;
    }
    case DataKind::NonResident:
        break;
    }
    preview.bytes.assign(static_cast<std::size_t>(want), 0);
    if (map.compressionUnitClusters != 0 || geometry.sectorsPerCluster == 0) {
        preview.incomplete = true;  // the bytes stay zeros
        return preview;
    }
    const std::uint64_t clusterBytes = std::uint64_t{geometry.sectorsPerCluster} * core::kSectorSize;
    constexpr std::size_t kChunkSectors = 256;
    std::vector<std::uint8_t> chunk(kChunkSectors * core::kSectorSize);
    std::uint64_t mapped = 0;
    for (const DataPiece& piece : map.pieces) {
        const auto start = core::CheckedMul(piece.vcn, clusterBytes);
        if (!start || *start >= want)
            break;
        if (*start > mapped)
            preview.incomplete = true;  // VCNs no piece maps
        const auto length = core::CheckedMul(piece.clusters, clusterBytes);
        const std::uint64_t end = (!length || *length > want - *start) ? want : *start + *length;
        mapped = end;
        if (piece.sparse)
            continue;
        // In reads of up to kChunkSectors sectors, each of which the reader retries on its own.
        const std::uint64_t limit = std::min(end, map.initializedSize);
        for (std::uint64_t pos = *start; pos < limit;) {
            // Inside the volume: AppendExtentRuns checked every cluster of the piece.
            const std::uint64_t at = geometry.clusterBase + piece.lcn * geometry.sectorsPerCluster +
                                     (pos - *start) / core::kSectorSize;
            const std::uint64_t take = std::min<std::uint64_t>(chunk.size(), limit - pos);
            const auto count = static_cast<std::uint32_t>((take + core::kSectorSize - 1) / core::kSectorSize);
            std::uint32_t unreadable = 0;
            disk::ReadSectorsCounted(disk, at, count,
                                     std::span<std::uint8_t>(chunk).first(std::size_t{count} * core::kSectorSize),
                                     unreadable);
            preview.unreadableSectors += unreadable;
            std::copy_n(chunk.begin(), take, preview.bytes.begin() + static_cast<std::ptrdiff_t>(pos));
            pos += take;
        }
    }
    if (mapped < want)
        preview.incomplete = true;
    return preview;
}

}  // namespace recovery

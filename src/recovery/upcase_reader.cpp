// Reading the $UpCase table of a volume: record 10's unnamed $DATA, all or nothing.
#include "recovery/upcase_reader.h"

#include <algorithm>

#include "core/checked_math.h"
#include "ntfs/ntfs_layout.h"

namespace recovery {

std::vector<std::uint8_t> ReadNtfsDataPrefix(disk::DiskState& disk, core::Sector recordSector,
                                             const ClusterGeometry& geometry, const ntfs::MftRunTable* mftMap,
                                             std::size_t maxBytes)
{
    if (recordSector == 0 || geometry.sectorsPerCluster == 0 || maxBytes == 0) {
        return {};
    }
    std::vector<std::uint8_t> record(ntfs::kFileRecordSize, 0);
    if (ReadFileRecord(disk, recordSector, record) != 0 || !std::equal(record.begin(), record.begin() + 4, "FILE")) {
        return {};
    }
    const DataMap map = MapNtfsData(disk, record, recordSector, geometry, mftMap);
    if (map.kind == DataKind::Resident) {
        if (map.resident.size() < maxBytes) {
            return {};
        }
        return {map.resident.begin(), map.resident.begin() + static_cast<std::ptrdiff_t>(maxBytes)};
    }
    if (map.kind != DataKind::NonResident || map.compressionUnitClusters != 0 || map.initializedSize < maxBytes) {
        return {};
    }
    const std::uint64_t clusterBytes = std::uint64_t{geometry.sectorsPerCluster} * core::kSectorSize;
    std::vector<std::uint8_t> bytes(maxBytes, 0);
    std::vector<std::uint8_t> buffer;
    std::uint64_t pos = 0; // bytes gathered so far; the pieces must follow one another from VCN 0
    for (const DataPiece& piece : map.pieces) {
        if (pos >= maxBytes) {
            break;
        }
        const auto start = core::CheckedMul(piece.vcn, clusterBytes);
        if (!start || *start != pos || piece.sparse) {
            return {};
        }
        const auto pieceBytes = core::CheckedMul(piece.clusters, clusterBytes);
        const std::uint64_t take = (!pieceBytes || *pieceBytes > maxBytes - pos) ? maxBytes - pos : *pieceBytes;
        const auto count = static_cast<std::uint32_t>((take + core::kSectorSize - 1) / core::kSectorSize);
        buffer.assign(std::size_t{count} * core::kSectorSize, 0);
        // Inside the volume: AppendExtentRuns checked every cluster of the piece.
        const std::uint64_t sector = std::uint64_t{geometry.clusterBase} + piece.lcn * geometry.sectorsPerCluster;
        std::uint32_t unreadable = 0;
        disk::ReadSectorsCounted(disk, sector, count, buffer, unreadable);
        if (unreadable != 0) {
            return {};
        }
        std::copy_n(buffer.begin(), static_cast<std::ptrdiff_t>(take),
                    bytes.begin() + static_cast<std::ptrdiff_t>(pos));
        pos += take;
    }
    if (pos < maxBytes) {
        return {};
    }
    return bytes;
}

std::optional<core::UpCaseTable> ReadVolumeUpCase(disk::DiskState& disk, const catalog::VolumeParams& params,
                                                  const ntfs::MftRunTable& mftMap)
{
    if (params.type != core::kFsNtfs || mftMap.Count() == 0) {
        return std::nullopt;
    }
    const ClusterGeometry geometry{params.clusterBase, params.sectorsPerCluster, params.endSector};
    const std::vector<std::uint8_t> bytes =
        ReadNtfsDataPrefix(disk, mftMap.RecordToSector(kUpCaseRecord), geometry, &mftMap, core::UpCaseTable::kBytes);
    return core::UpCaseTable::FromBytes(bytes);
}

} // namespace recovery

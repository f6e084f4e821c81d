// Where the bytes of an NTFS file lie.
#include "recovery/ntfs_data_map.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "ntfs/attribute_walk.h"
#include "ntfs/data_runs.h"
#include "ntfs/fixup.h"
#include "ntfs/ntfs_layout.h"

namespace recovery {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Record numbers of file references are their low 48 bits; the top 16 are the sequence number.
constexpr std::uint64_t kReferenceRecordMask = 0x0000FFFFFFFFFFFFULL;
// Most bytes one read of an attribute list asks for.
constexpr std::uint32_t kListReadSectors = 256;

// Runs of `runs` before the first one whose length or offset field is wider than 4 bytes (the
// decoder reads up to 8). The header chain is the decoder's, so the count lines up with its runs.
std::size_t RunsBeforeWideField(std::span<const std::uint8_t> runs) noexcept
{
    std::size_t pos = 0;
    std::size_t count = 0;
    while (pos < runs.size() && runs[pos] != 0) {
        const std::size_t lengthSize = runs[pos] & ntfs::kRunLengthSizeMask;
        const std::size_t offsetSize = static_cast<std::size_t>(runs[pos] >> ntfs::kRunOffsetSizeShift);
        if (lengthSize > ntfs::kRunSupportedFieldSize || offsetSize > ntfs::kRunSupportedFieldSize) {
            return count;
        }
        pos += 1 + lengthSize + offsetSize;
        ++count;
    }
    return SIZE_MAX;
}

std::uint64_t SectorLimit(const ClusterGeometry& geometry) noexcept
{
    return geometry.lastSector != 0 ? geometry.lastSector : core::kLastSector;
}

// True when clusters [lcn, lcn + count) lie inside the volume.
bool ClustersInVolume(const ClusterGeometry& geometry, std::uint64_t lcn, std::uint64_t count) noexcept
{
    const std::uint64_t spc = geometry.sectorsPerCluster;
    const auto first = core::CheckedMul(lcn, spc);
    const auto span = core::CheckedMul(count, spc);
    if (!first || !span || *span == 0) {
        return false;
    }
    const auto start = core::CheckedAdd(*first, std::uint64_t{geometry.clusterBase});
    if (!start) {
        return false;
    }
    const auto last = core::CheckedAdd(*start, *span - 1);
    return last && *last <= SectorLimit(geometry);
}

bool HasFileSignature(std::span<const std::uint8_t> record) noexcept
{
    return record.size() >= 4 && record[0] == 'F' && record[1] == 'I' && record[2] == 'L' && record[3] == 'E';
}

std::uint64_t BaseReference(std::span<const std::uint8_t> record) noexcept
{
    core::LeView view(record);
    return view.U64(ntfs::kFileBaseRecord) & kReferenceRecordMask;
}

// The unnamed non-resident $DATA extent of `record` that starts at VCN `startVcn`.
std::optional<ntfs::AttributeView> DataExtentAt(std::span<const std::uint8_t> record, std::uint64_t startVcn) noexcept
{
    ntfs::AttributeIterator it(record);
    while (auto attribute = it.Next()) {
        if (attribute->type == ntfs::kAttrTypeData && attribute->nameLength == 0 && attribute->nonResident &&
            attribute->startVcn == startVcn) {
            return attribute;
        }
    }
    return std::nullopt;
}

// The value of the record's $ATTRIBUTE_LIST: resident, or read from its clusters (at most
// kMaxAttributeListRuns runs and kMaxAttributeListBytes bytes; sparse runs read as zeros).
// Empty when the record has none.
Bytes ReadAttributeListValue(disk::DiskState& disk, std::span<const std::uint8_t> record,
                             const ClusterGeometry& geometry)
{
    ntfs::AttributeIterator it(record);
    std::optional<ntfs::AttributeView> list;
    while (auto attribute = it.Next()) {
        if (attribute->type == ntfs::kAttrTypeAttributeList) {
            list = attribute;
            break;
        }
    }
    if (!list) {
        return {};
    }
    if (!list->nonResident) {
        return Bytes(list->value.begin(), list->value.end());
    }
    std::vector<DataPiece> pieces;
    AppendExtentRuns(list->runs, 0, list->lastVcn, geometry, pieces);
    if (pieces.size() > ntfs::kMaxAttributeListRuns) {
        pieces.resize(ntfs::kMaxAttributeListRuns);
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(list->dataSize, ntfs::kMaxAttributeListBytes));
    const std::uint64_t clusterBytes = std::uint64_t{geometry.sectorsPerCluster} * core::kSectorSize;
    Bytes value;
    Bytes chunk(std::size_t{kListReadSectors} * core::kSectorSize);
    for (const DataPiece& piece : pieces) {
        if (value.size() >= want) {
            break;
        }
        const std::uint64_t pieceBytes = piece.clusters * clusterBytes;  // bounded by the volume check
        std::uint64_t done = 0;
        while (done < pieceBytes && value.size() < want) {
            const std::size_t take = static_cast<std::size_t>(
                std::min<std::uint64_t>({pieceBytes - done, want - value.size(), chunk.size()}));
            if (piece.sparse) {
                value.insert(value.end(), take, std::uint8_t{0});
            } else {
                const std::uint64_t sector =
                    geometry.clusterBase + piece.lcn * geometry.sectorsPerCluster + done / core::kSectorSize;
                const auto count = static_cast<std::uint32_t>((take + core::kSectorSize - 1) / core::kSectorSize);
                std::uint32_t unreadable = 0;
                disk::ReadSectorsCounted(disk, sector, count, chunk, unreadable);
                value.insert(value.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(take));
            }
            done += take;
        }
    }
    return value;
}

struct ListedExtent
{
    std::uint64_t startVcn = 0;
    std::uint32_t record = 0;
};

// The pieces of the unnamed $DATA an attribute list names, by first VCN (one per VCN).
std::vector<ListedExtent> ListedDataExtents(std::span<const std::uint8_t> listValue)
{
    std::vector<ListedExtent> extents;
    ntfs::AttributeListWalker walker(listValue);
    while (auto entry = walker.Next()) {
        if (entry->type == ntfs::kAttrTypeData && entry->nameLength == 0) {
            if (extents.size() >= kMaxDataExtents) {
                break;
            }
            extents.push_back({entry->startVcn, entry->recordNumber});
        }
    }
    std::stable_sort(extents.begin(), extents.end(),
                     [](const ListedExtent& a, const ListedExtent& b) { return a.startVcn < b.startVcn; });
    extents.erase(std::unique(extents.begin(), extents.end(),
                              [](const ListedExtent& a, const ListedExtent& b) { return a.startVcn == b.startVcn; }),
                  extents.end());
    return extents;
}

// Takes what only the header of the extent at VCN 0 holds: the initialized size and the
// compression (later extents may leave the compression unit 0). A compression flag with a unit of
// 0 means stored as is; an unknown format or an absurd unit cannot be decoded: the stored clusters
// are copied and the file is incomplete.
void TakeFirstExtent(const ntfs::AttributeView& extent, const ClusterGeometry& geometry, DataMap& map)
{
    map.initializedSize = extent.initializedSize;
    const unsigned format = extent.flags & ntfs::kAttrFlagCompressionMask;
    if (format == 0 || extent.compressionUnit == 0) {
        return;
    }
    constexpr unsigned kMaxUnitShift = 16;
    const std::uint64_t clusterBytes = std::uint64_t{geometry.sectorsPerCluster} * core::kSectorSize;
    if (format != ntfs::kAttrCompressionLznt1 || extent.compressionUnit > kMaxUnitShift ||
        (clusterBytes << extent.compressionUnit) > kMaxCompressionUnitBytes) {
        map.incomplete = true;
        return;
    }
    map.compressionUnitClusters = std::uint64_t{1} << extent.compressionUnit;
}

// Clips pieces that overlap an earlier one (a damaged list or run list); true when any did.
bool DropOverlaps(std::vector<DataPiece>& pieces)
{
    std::stable_sort(pieces.begin(), pieces.end(), [](const DataPiece& a, const DataPiece& b) { return a.vcn < b.vcn; });
    bool clipped = false;
    std::vector<DataPiece> kept;
    kept.reserve(pieces.size());
    std::uint64_t coveredEnd = 0;
    for (DataPiece piece : pieces) {
        const std::uint64_t end = piece.vcn + piece.clusters;  // no overflow: checked when appended
        if (end <= coveredEnd) {
            clipped = true;
            continue;
        }
        if (piece.vcn < coveredEnd) {
            const std::uint64_t cut = coveredEnd - piece.vcn;
            piece.vcn = coveredEnd;
            piece.clusters -= cut;
            if (!piece.sparse) {
                piece.lcn += cut;
            }
            clipped = true;
        }
        coveredEnd = end;
        kept.push_back(piece);
    }
    pieces = std::move(kept);
    return clipped;
}

}  // namespace

bool AppendExtentRuns(std::span<const std::uint8_t> runs, std::uint64_t startVcn, std::uint64_t lastVcn,
                      const ClusterGeometry& geometry, std::vector<DataPiece>& pieces)
{
    if (geometry.sectorsPerCluster == 0 || startVcn > lastVcn) {
        return false;
    }
    const ntfs::RunList list = ntfs::DecodeRunList(runs);
    const std::size_t beforeWide = RunsBeforeWideField(runs);
    const bool wideCut = beforeWide < list.runs.size();
    const std::size_t usable = wideCut ? beforeWide : list.runs.size();
    std::uint64_t vcn = startVcn;
    for (std::size_t i = 0; i < usable; ++i) {
        const ntfs::DataRun& run = list.runs[i];
        if (run.lengthClusters == 0) {
            continue;
        }
        const std::uint64_t remaining = lastVcn - vcn;  // VCNs left after this one
        const bool reachesEnd = run.lengthClusters - 1 >= remaining;
        DataPiece piece;
        piece.vcn = vcn;
        piece.clusters = reachesEnd ? remaining + 1 : run.lengthClusters;
        piece.sparse = run.sparse;
        if (!run.sparse) {
            piece.lcn = static_cast<std::uint64_t>(run.lcn);  // the decoder never yields a negative LCN
            if (!ClustersInVolume(geometry, piece.lcn, piece.clusters)) {
                return false;
            }
        }
        pieces.push_back(piece);
        if (reachesEnd) {
            // Every VCN of the extent is mapped: a longer run, or any further run, is damage.
            if (run.lengthClusters - 1 > remaining) {
                return false;
            }
            for (std::size_t j = i + 1; j < usable; ++j) {
                if (list.runs[j].lengthClusters != 0) {
                    return false;
                }
            }
            return !wideCut;
        }
        vcn += piece.clusters;
    }
    return !wideCut;
}

std::uint32_t ReadFileRecord(disk::DiskState& disk, core::Sector sector, std::span<std::uint8_t> record)
{
    std::uint32_t unreadable = 0;
    disk::ReadSectorsCounted(disk, sector, static_cast<std::uint32_t>(ntfs::kFileRecordSectors), record, unreadable);
    ntfs::ApplyFixup(record.first(std::min(record.size(), ntfs::kFileRecordSize)));
    return unreadable;
}

DataMap MapNtfsData(disk::DiskState& disk, std::span<const std::uint8_t> record, core::Sector recordSector,
                    const ClusterGeometry& geometry, const ntfs::MftRunTable* mftMap)
{
    DataMap map;
    const auto data = ntfs::FindDataAttribute(record);
    if (!data) {
        return map;
    }
    if (!data->nonResident) {
        map.kind = DataKind::Resident;
        map.resident = data->value;
        return map;
    }
    map.kind = DataKind::NonResident;

    // The record holding the attribute list: the record itself, or the base record its header
    // names when it is an extension record.
    const std::uint64_t baseReference = BaseReference(record);
    const bool isExtension = baseReference != 0;
    Bytes baseBuffer;
    std::span<const std::uint8_t> base = record;
    core::Sector baseSector = recordSector;
    bool baseKnown = !isExtension;
    if (isExtension && mftMap != nullptr && baseReference <= std::numeric_limits<std::uint32_t>::max()) {
        const core::Sector sector = mftMap->RecordToSector(static_cast<std::uint32_t>(baseReference));
        if (sector != 0) {
            baseBuffer.resize(ntfs::kFileRecordSize);
            ReadFileRecord(disk, sector, baseBuffer);
            if (HasFileSignature(baseBuffer)) {
                base = baseBuffer;
                baseSector = sector;
                baseKnown = true;
            }
        }
    }

    const std::vector<ListedExtent> listed =
        baseKnown ? ListedDataExtents(ReadAttributeListValue(disk, base, geometry)) : std::vector<ListedExtent>{};
    const auto sectorOf = [mftMap](std::uint32_t number) -> core::Sector {
        return mftMap != nullptr ? mftMap->RecordToSector(number) : 0;
    };

    if (listed.empty() || mftMap == nullptr) {
        // Only the piece in this record can be mapped.
        const auto extent = ntfs::ReadAttributeAt(record, data->offset);
        if (extent) {
            if (!AppendExtentRuns(extent->runs, extent->startVcn, extent->lastVcn, geometry, map.pieces)) {
                map.incomplete = true;
            }
            if (extent->startVcn == 0) {
                TakeFirstExtent(*extent, geometry, map);
            }
        }
        // An extension record, or a list naming pieces elsewhere, leaves pieces unmapped.
        const bool elsewhere = std::any_of(listed.begin(), listed.end(), [&](const ListedExtent& e) {
            return mftMap == nullptr || sectorOf(e.record) != recordSector;
        });
        if (isExtension || elsewhere) {
            map.incomplete = true;
        }
    } else {
        Bytes other(ntfs::kFileRecordSize);
        for (const ListedExtent& entry : listed) {
            const core::Sector sector = sectorOf(entry.record);
            std::span<const std::uint8_t> holder;
            if (sector == 0) {
                map.incomplete = true;
                continue;
            }
            if (sector == recordSector) {
                holder = record;
            } else if (sector == baseSector) {
                holder = base;
            } else {
                ReadFileRecord(disk, sector, other);
                const std::uint64_t owner = BaseReference(other);
                if (!HasFileSignature(other) || owner > std::numeric_limits<std::uint32_t>::max() ||
                    sectorOf(static_cast<std::uint32_t>(owner)) != baseSector) {
                    map.incomplete = true;
                    continue;
                }
                holder = other;
            }
            const auto extent = DataExtentAt(holder, entry.startVcn);
            if (!extent) {
                map.incomplete = true;
                continue;
            }
            if (!AppendExtentRuns(extent->runs, extent->startVcn, extent->lastVcn, geometry, map.pieces)) {
                map.incomplete = true;
            }
            if (extent->startVcn == 0) {
                TakeFirstExtent(*extent, geometry, map);
            }
        }
    }
    if (DropOverlaps(map.pieces)) {
        map.incomplete = true;
    }
    return map;
}

}  // namespace recovery

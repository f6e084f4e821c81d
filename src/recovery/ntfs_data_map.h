// Where the bytes of an NTFS file lie: the unnamed $DATA of its FILE record, resident or as
// clusters, gathered from every record that holds a piece of it (an $ATTRIBUTE_LIST naming
// extension records) into one map in VCN order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/types.h"
#include "disk/disk_state.h"
#include "ntfs/standard_scan.h"

namespace recovery {

// A stretch of the file's clusters: `clusters` clusters from VCN `vcn` at LCN `lcn`, or zeros
// when sparse.
struct DataPiece
{
    std::uint64_t vcn = 0;
    std::uint64_t clusters = 0;
    std::uint64_t lcn = 0;
    bool sparse = false;
};

// The volume the clusters belong to: cluster n starts at sector clusterBase + sectorsPerCluster * n;
// no cluster may reach past lastSector (inclusive; 0 when unknown: only core::kLastSector
// holds).
struct ClusterGeometry
{
    core::Sector clusterBase = 0;
    std::uint32_t sectorsPerCluster = 0;
    core::Sector lastSector = 0;
};

// Appends the runs of one extent (mapping pairs `runs`, first VCN `startVcn`, last VCN `lastVcn`)
// to `pieces`. The list ends early, without the offending run, at a damaged header, a length or
// offset field wider than 4 bytes, a run whose clusters leave the volume or a VCN past lastVcn;
// zero-length runs are passed over. Returns false when the list ended early. Never reads outside
// `runs`.
bool AppendExtentRuns(std::span<const std::uint8_t> runs, std::uint64_t startVcn, std::uint64_t lastVcn,
                      const ClusterGeometry& geometry, std::vector<DataPiece>& pieces);

enum class DataKind
{
    None,          // no usable unnamed $DATA in the record
    Resident,      // `resident` holds the bytes
    NonResident,   // `pieces` maps the clusters
};

// Largest compression unit decoded, in bytes (NTFS writes 16 clusters of at most 4 KiB).
inline constexpr std::uint64_t kMaxCompressionUnitBytes = 65536;

struct DataMap
{
    DataKind kind = DataKind::None;
    std::span<const std::uint8_t> resident;    // inside the record buffer given
    std::vector<DataPiece> pieces;             // VCN order, not overlapping
    std::uint64_t initializedSize = UINT64_MAX;  // bytes past it read as zeros
    // LZNT1-compressed $DATA: clusters per compression unit. 0 when the clusters hold the bytes as
    // they are, also for a compression that cannot be decoded (the file is then incomplete).
    std::uint64_t compressionUnitClusters = 0;
    bool incomplete = false;                   // a piece could not be found or a run list was cut
};

// Most extents of one file's $DATA followed through its attribute list.
inline constexpr std::size_t kMaxDataExtents = 4096;

// Maps the unnamed $DATA of the fixed-up 1024-byte `record` read at `recordSector`. When the
// record (or, for an extension record, its base record found through `mftMap`) carries an
// $ATTRIBUTE_LIST naming pieces of the $DATA in several records, each piece is read through
// `mftMap` and placed at its own VCN. With no map (nullptr) only the pieces in `record` are
// mapped and the file is marked incomplete when the list names others.
DataMap MapNtfsData(disk::DiskState& disk, std::span<const std::uint8_t> record, core::Sector recordSector,
                    const ClusterGeometry& geometry, const ntfs::MftRunTable* mftMap);

// Reads the two sectors of a FILE record at `sector` into `record` (1024 bytes) and applies the
// update-sequence fixup. Returns the sectors that stayed unreadable.
std::uint32_t ReadFileRecord(disk::DiskState& disk, core::Sector sector, std::span<std::uint8_t> record);

}  // namespace recovery

// The compression units of a compressed $DATA: for each unit of the file, how it is stored
// (as is, compressed, sparse, or not mapped at all) and which clusters on disk hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "recovery/ntfs_data_map.h"

namespace recovery {

enum class UnitStorage
{
    Stored,       // every cluster of the unit is on disk: the bytes as they are
    Compressed,   // clusters on disk followed by sparse ones: LZNT1 chunks to decode
    Sparse,       // no cluster on disk: zeros
    Unmapped,     // some VCN of the unit is in no piece (a run list cut short): not recoverable
};

// Clusters on disk holding part of a unit, in VCN order.
struct UnitExtent
{
    std::uint64_t lcn = 0;
    std::uint64_t clusters = 0;
    std::size_t piece = 0;  // index of the piece it lies in
};

struct UnitLayout
{
    UnitStorage storage = UnitStorage::Unmapped;
    std::vector<UnitExtent> extents;  // Stored and Compressed units: their clusters on disk
    std::uint64_t clustersOnDisk = 0;
    // Sparse and Unmapped units: how many units in a row, from this one, are the same (at least 1),
    // so that a long hole is passed in one step.
    std::uint64_t units = 1;
};

// Walks the units of a compressed $DATA in file order over its pieces (VCN order, not
// overlapping, as MapNtfsData gives them).
class CompressionUnitWalker
{
public:
    CompressionUnitWalker(std::span<const DataPiece> pieces, std::uint64_t unitClusters) noexcept
        : m_pieces(pieces), m_unitClusters(unitClusters)
    {
    }

    // The layout of unit `unit` (VCNs unit * unitClusters onward). Units must be asked for in
    // increasing order. `layout` is reused to keep its memory.
    void Describe(std::uint64_t unit, UnitLayout& layout);

private:
    std::span<const DataPiece> m_pieces;
    std::uint64_t m_unitClusters;
    std::size_t m_next = 0;  // first piece that may reach into the unit asked for
};

}  // namespace recovery

// The compression units of a compressed $DATA.
#include "recovery/compression_units.h"

#include <algorithm>
#include <limits>

namespace recovery {

void CompressionUnitWalker::Describe(std::uint64_t unit, UnitLayout& layout)
{
    layout.extents.clear();
    layout.clustersOnDisk = 0;
    layout.units = 1;
    const std::uint64_t maxUnit = std::numeric_limits<std::uint64_t>::max() / m_unitClusters - 1;
    if (unit > maxUnit) {
        layout.storage = UnitStorage::Unmapped;
        return;
    }
    const std::uint64_t first = unit * m_unitClusters;
    const std::uint64_t end = first + m_unitClusters;
    while (m_next < m_pieces.size() && m_pieces[m_next].vcn + m_pieces[m_next].clusters <= first) {
        ++m_next;
    }
    if (m_next == m_pieces.size()) {
        // Past the last piece: every later unit is unmapped too.
        layout.storage = UnitStorage::Unmapped;
        layout.units = maxUnit - unit + 1;
        return;
    }
    std::uint64_t vcn = first;
    std::uint64_t sparse = 0;
    bool gap = false;
    for (std::size_t i = m_next; i < m_pieces.size() && vcn < end; ++i) {
        const DataPiece& piece = m_pieces[i];
        if (piece.vcn >= end) {
            break;
        }
        if (piece.vcn > vcn) {
            gap = true;
        }
        const std::uint64_t from = std::max(vcn, piece.vcn);
        const std::uint64_t to = std::min(end, piece.vcn + piece.clusters);
        if (piece.sparse) {
            sparse += to - from;
        } else {
            layout.extents.push_back({piece.lcn + (from - piece.vcn), to - from, i});
            layout.clustersOnDisk += to - from;
        }
        vcn = to;
    }
    if (gap || vcn < end) {
        layout.storage = UnitStorage::Unmapped;
        const DataPiece& next = m_pieces[m_next];
        if (next.vcn >= end) {
            // A hole in the map before the next piece: the units wholly inside it are alike.
            layout.units = (next.vcn - first) / m_unitClusters;
        }
        return;
    }
    if (layout.clustersOnDisk == m_unitClusters) {
        layout.storage = UnitStorage::Stored;
    } else if (layout.clustersOnDisk != 0) {
        layout.storage = UnitStorage::Compressed;
    } else {
        layout.storage = UnitStorage::Sparse;
        // The sparse piece holding the unit's first VCN may run on over further whole units.
        const DataPiece& hole = m_pieces[m_next];
        if (hole.sparse && hole.vcn <= first && sparse == m_unitClusters) {
            layout.units = std::max<std::uint64_t>(1, (hole.vcn + hole.clusters - first) / m_unitClusters);
        }
    }
}

}  // namespace recovery

// The volume's cluster bitmap ($Bitmap, record 6), read piece by piece as the ratings need it,
// and the recoverability of a deleted file: the share of its data clusters that the bitmap no
// longer marks as used by another file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/types.h"
#include "disk/disk_state.h"
#include "catalog/volume_params.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_record.h"

namespace ntfs {

class MftRunTable;

inline constexpr std::uint32_t kBitmapRecord = 6;

// One bit per cluster of the volume, bit (lcn % 8) of byte (lcn / 8) set when the cluster is in
// use. Only the pieces a rating touches are read, each once; the memory held is at most the
// bitmap's own size (one bit per cluster: 128 MiB for 4 TiB of 4 KiB clusters) and usually the
// pieces under the deleted files only. A piece that cannot be read whole (a sparse or unmapped
// part, an unreadable sector, bytes past the end of the disk) answers nothing.
class ClusterBitmap
{
public:
    // Bitmap bytes read at a time: 512 Ki clusters, 2 GiB of the volume at 4 KiB per cluster.
    static constexpr std::size_t kPieceBytes = 64 * 1024;
    // Most runs of $Bitmap's data that are followed.
    static constexpr std::size_t kMaxRuns = 65536;

    // A bitmap that answers nothing.
    ClusterBitmap() = default;

    // Locates $Bitmap through record 6 of the $MFT that `table` maps: its unnamed non-resident
    // $DATA, clipped to its data size and to the clusters a disk of `diskSectors` sectors can
    // hold. Reads record 6 only. An unusable bitmap when the record or its data is missing.
    static ClusterBitmap Open(disk::DiskState& disk, const catalog::VolumeParams& params, const MftRunTable& table,
                              std::uint64_t diskSectors);

    bool Usable() const noexcept { return m_disk != nullptr && m_bytes != 0; }
    // Bitmap bytes it describes (clusters / 8).
    std::uint64_t Bytes() const noexcept { return m_bytes; }

    // How many of the `count` clusters from `lcn` are marked free; empty when any of them lies
    // beyond the bitmap or in a piece that could not be read.
    std::optional<std::uint64_t> FreeClusters(std::uint64_t lcn, std::uint64_t count);

    // Bitmap bytes held in memory.
    std::size_t MemoryBytes() const noexcept;

    // Builds a bitmap over bytes already in memory (tests and callers that hold the whole map).
    static ClusterBitmap FromBytes(std::vector<std::uint8_t> bytes);

private:
    struct Piece
    {
        std::vector<std::uint8_t> bytes;  // empty: could not be read
    };
    const Piece& PieceAt(std::uint64_t index);
    bool ReadPiece(std::uint64_t first, std::vector<std::uint8_t>& bytes);

    disk::DiskState* m_disk = nullptr;
    core::Sector m_clusterBase = 0;
    std::uint32_t m_sectorsPerCluster = 0;
    std::vector<DataRun> m_runs;
    std::vector<std::uint64_t> m_runVcnStart;
    std::uint64_t m_bytes = 0;
    std::unordered_map<std::uint64_t, Piece> m_pieces;
};

// Adds up the unnamed $DATA of a deleted file record by record (the base record first, then the
// extension records holding further extents) and gives its rating: 100 when the data is resident
// (its bytes are in the record that was read), else the whole percentage (rounded down) of its
// clusters that the bitmap marks free; sparse runs do not count. kRecoverableNotRated when no
// record had a data cluster, kRecoverableUnknown when some cluster could not be looked up.
class RecoverableTally
{
public:
    // Most runs of one extent that are counted.
    static constexpr std::size_t kMaxRuns = 65536;

    void Add(ClusterBitmap& bitmap, RecordBytes record);
    std::uint8_t Rating() const noexcept;

private:
    std::uint64_t m_clusters = 0;
    std::uint64_t m_free = 0;
    bool m_resident = false;
    bool m_unknown = false;
};

}  // namespace ntfs

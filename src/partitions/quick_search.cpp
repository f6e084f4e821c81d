// The lost-partition quick search over cylinder and 1 MiB boundaries, with backup boot sectors.
#include "partitions/quick_search.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "partitions/partition_layout.h"

namespace partitions {

namespace {

constexpr std::uint64_t kLast32BitSector = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kFat32TailOffset = kFat32TextOffset + 3;  // "32" of "FAT32"
constexpr std::size_t kFat16TailOffset = kFat16TextOffset + 3;  // "16" of "FAT16"
constexpr std::uint16_t kBytesPerSector = 512;
constexpr std::uint8_t kLargestClusterCode = 0xF4;   // 2^12 sectors, 2 MiB clusters
constexpr std::uint8_t kSmallestClusterCode = 0xF8;  // 2^8 sectors, the first size beyond 128

bool HasBootSignature(std::span<const std::uint8_t> sector) noexcept
{
    return sector.size() >= core::kSectorSize && sector[kSignatureOffset0] == kSignatureByte0 &&
           sector[kSignatureOffset1] == kSignatureByte1;
}

// Sectors per cluster of an NTFS boot sector: 1..128 (a power of two) as such, larger clusters
// as 2^(256 - v) for v in 0xF4..0xF8.
std::optional<std::uint64_t> NtfsSectorsPerCluster(std::uint8_t code) noexcept
{
    if (code >= 1 && code <= 128 && (code & (code - 1)) == 0) {
        return code;
    }
    if (code >= kLargestClusterCode && code <= kSmallestClusterCode) {
        return std::uint64_t{1} << (256u - code);
    }
    return std::nullopt;
}

// A cluster number from disk that lies inside a volume of `totalSectors` sectors.
bool ClusterInside(std::uint64_t cluster, std::uint64_t sectorsPerCluster, std::uint64_t totalSectors) noexcept
{
    const auto sector = core::CheckedMul(cluster, sectorsPerCluster);
    return sector && *sector < totalSectors;
}

struct FoundVolume
{
    std::uint64_t start = 0;
    core::Sector sectorCount = 0;
    core::FsTypeCode fsType = 0;
};

// One run of the search: its reads, the volumes found so far (at most 25, kept in the order found)
// and the limits of the walk.
class Searcher
{
public:
    Searcher(disk::DiskState& disk, std::uint64_t endSector, std::uint64_t lastSector)
        : m_disk(disk), m_end(endSector), m_last(lastSector)
    {
    }

    bool Full() const noexcept { return m_found.size() >= kMaxPartitions; }
    const std::vector<FoundVolume>& Found() const noexcept { return m_found; }

    // The cylinder at first sector `first`: the classic two probe places, and F - 1 as a backup.
    void ProbeCylinder(std::uint64_t first, std::uint32_t sectorsPerTrack)
    {
        bool secondTrackSigned = false;
        if (first <= m_last - sectorsPerTrack) {  // first <= m_last: WorkingGeometry keeps no other
            Read(first + sectorsPerTrack, 1, m_single);
            secondTrackSigned = HasBootSignature(m_single);
            // A signed second track that is no boot sector (an extended boot record, say) still
            // decides the cylinder: its first sector is not taken.
            if (secondTrackSigned) {
                AddStart(first + sectorsPerTrack, m_single);
                if (Full()) {
                    return;
                }
            }
        }
        // F - 1 and F in one request; cylinder 0 has no sector before it.
        const std::uint32_t count = first == 0 ? 1 : 2;
        Read(first + 1 - count, count, m_pair);
        const auto bytes = std::span<const std::uint8_t>(m_pair);
        const auto firstSector = bytes.subspan((count - 1) * core::kSectorSize, core::kSectorSize);
        if (!secondTrackSigned && HasBootSignature(firstSector)) {
            AddStart(first, firstSector);
        }
        if (first != 0) {
            CheckBackup(first - 1, bytes.first(core::kSectorSize));
        }
    }

    // The sector before `next`, probed as a backup only (the end of the last cylinder).
    void ProbeBackupBefore(std::uint64_t next)
    {
        Read(next - 1, 1, m_single);
        CheckBackup(next - 1, m_single);
    }

    // The 1 MiB boundary `boundary`: b - 1 as a backup and b as a start, in one request when b is
    // still on the disk.
    void ProbeBoundary(std::uint64_t boundary)
    {
        const bool startOnDisk = boundary < m_end && boundary <= m_last;
        Read(boundary - 1, startOnDisk ? 2 : 1, m_pair);
        const auto bytes = std::span<const std::uint8_t>(m_pair);
        if (startOnDisk) {
            const auto start = bytes.subspan(core::kSectorSize, core::kSectorSize);
            if (HasBootSignature(start)) {
                AddStart(boundary, start);
            }
        }
        CheckBackup(boundary - 1, bytes.first(core::kSectorSize));
    }

private:
    using SectorBuffer = std::array<std::uint8_t, core::kSectorSize>;

    // Reads `count` (1 or 2) sectors; sectors that could not be read are zero and so fail the
    // signature test. Returns the number of unreadable sectors.
    std::uint32_t Read(std::uint64_t first, std::uint32_t count, std::span<std::uint8_t> buffer)
    {
        std::uint32_t unreadable = 0;
        disk::ReadSectorsCounted(m_disk, first, count, buffer, unreadable);
        return unreadable;
    }

    bool Listed(std::uint64_t start) const noexcept
    {
        return std::any_of(m_found.begin(), m_found.end(), [start](const auto& v) { return v.start == start; });
    }

    void AddStart(std::uint64_t sector, std::span<const std::uint8_t> bytes)
    {
        if (Full() || Listed(sector)) {
            return;
        }
        if (const auto boot = ClassifyBootSector(bytes)) {
            m_found.push_back(FoundVolume{sector, boot->sectorCount, boot->fsType});
        }
    }

    // A backup is believed when the volume's first sector is gone (unreadable or zeroed) or is the
    // same volume's boot sector; anything else there means the copy is stale or stray bytes.
    void CheckBackup(std::uint64_t at, std::span<const std::uint8_t> bytes)
    {
        if (Full() || !HasBootSignature(bytes)) {
            return;
        }
        const auto backup = DecodeBackupBootSector(bytes, at);
        if (!backup || backup->volumeStart > m_last || Listed(backup->volumeStart)) {
            return;
        }
        SectorBuffer first{};
        const bool unreadable = Read(backup->volumeStart, 1, first) != 0;
        const bool blank = std::all_of(first.begin(), first.end(), [](std::uint8_t b) { return b == 0; });
        bool sameVolume = false;
        if (!unreadable && !blank) {
            core::LeView view(first);
            sameVolume = view.Matches(kNtfsTextOffset, "NTFS") && view.UVar(kNtfsSerialOffset, 8) == backup->serial;
        }
        if (unreadable || blank || sameVolume) {
            m_found.push_back(
                FoundVolume{backup->volumeStart, backup->totalSectors, core::kFsNtfs});
        }
    }

    disk::DiskState& m_disk;
    std::uint64_t m_end;   // one past the disk's last sector
    std::uint64_t m_last;  // the highest sector the search reads
    std::vector<FoundVolume> m_found;
    SectorBuffer m_single{};
    std::array<std::uint8_t, 2 * core::kSectorSize> m_pair{};
};

// 100 * done / total, at most 99, without overflow.
int Percent(std::uint64_t done, std::uint64_t total) noexcept
{
    if (total == 0) {
        return 0;
    }
    const std::uint64_t percent = done <= std::numeric_limits<std::uint64_t>::max() / 100
                                      ? 100 * done / total
                                      : done / std::max<std::uint64_t>(total / 100, 1);
    return static_cast<int>(std::min<std::uint64_t>(percent, 99));
}

}  // namespace

std::uint64_t LastSearchableSector(const disk::DiskState& disk) noexcept
{
    return disk.accessMode == 'F' ? std::min(kLastSectorNumber, kLast32BitSector) : kLastSectorNumber;
}

SearchGeometry WorkingGeometry(const ReportedGeometry& reported, std::uint64_t lastSector) noexcept
{
    SearchGeometry geometry;
    geometry.sectorsPerTrack = kSearchSectorsPerTrack;
    std::uint64_t cylinders = 0;
    if (reported.sectorsPerTrack == kSearchSectorsPerTrack) {
        geometry.heads = reported.heads;
        cylinders = reported.cylinders;
    } else {
        geometry.heads = kSearchHeads;
        const auto product = core::CheckedMul<std::uint64_t>(
            std::uint64_t{reported.sectorsPerTrack} * reported.heads, reported.cylinders);
        cylinders = product.value_or(std::numeric_limits<std::uint64_t>::max()) / kSectorsPerSearchCylinder;
    }
    const std::uint64_t cylinderSectors = std::uint64_t{geometry.heads} * geometry.sectorsPerTrack;
    if (cylinderSectors == 0) {
        geometry.cylinders = 0;
        return geometry;
    }
    // Cylinders 0 .. lastSector / cylinderSectors start at an addressable sector.
    const std::uint64_t addressable = lastSector / cylinderSectors + 1;
    geometry.cylinders = static_cast<std::uint32_t>(
        std::min({cylinders, addressable, std::uint64_t{std::numeric_limits<std::uint32_t>::max()}}));
    return geometry;
}

std::optional<FoundBootSector> ClassifyBootSector(std::span<const std::uint8_t> sector) noexcept
{
    core::LeView view(sector);
    if (view.Matches(kFat32TailOffset, "32")) {
        return FoundBootSector{core::kFsFat32, view.U32(kFatTotalSectorsOffset)};
    }
    if (view.Matches(kFat16TailOffset, "16")) {
        return FoundBootSector{core::kFsFat16, view.U32(kFatTotalSectorsOffset)};
    }
    if (view.Matches(kNtfsTextOffset, "NTFS")) {
        return FoundBootSector{core::kFsNtfs, view.U64(kNtfsTotalSectorsOffset)};
    }
    return std::nullopt;
}

std::optional<BackupBootSector> DecodeBackupBootSector(std::span<const std::uint8_t> sector, std::uint64_t at) noexcept
{
    if (!HasBootSignature(sector)) {
        return std::nullopt;
    }
    const auto classified = ClassifyBootSector(sector);
    core::LeView view(sector);
    if (!classified || classified->fsType != core::kFsNtfs || !view.Matches(kNtfsTextOffset, "NTFS    ") ||
        view.U16(kBytesPerSectorOffset) != kBytesPerSector) {
        return std::nullopt;
    }
    const auto clusterCode = static_cast<std::uint8_t>(view.UVar(kSectorsPerClusterOffset, 1));
    const auto sectorsPerCluster = NtfsSectorsPerCluster(clusterCode);
    const std::uint64_t total = view.UVar(kNtfsTotalSectorsOffset, 8);
    if (!sectorsPerCluster || total == 0 || total > at) {
        return std::nullopt;
    }
    const std::uint64_t start = at - total;
    if (!ClusterInside(view.UVar(kNtfsMftClusterOffset, 8), *sectorsPerCluster, total) ||
        !ClusterInside(view.UVar(kNtfsMftMirrClusterOffset, 8), *sectorsPerCluster, total)) {
        return std::nullopt;
    }
    // Formatting tools write the partition's start here; a boot sector that names another start is
    // some volume's first boot sector lying where a backup could be, or a stale copy.
    const std::uint32_t hidden = view.U32(kNtfsHiddenSectorsOffset);
    if (hidden != 0 && start <= kLast32BitSector && hidden != start) {
        return std::nullopt;
    }
    if (!view.Ok()) {
        return std::nullopt;
    }
    return BackupBootSector{start, total, view.UVar(kNtfsSerialOffset, 8)};
}

QuickSearchOutcome QuickSearchPartitions(disk::DiskState& disk, const ReportedGeometry& geometry,
                                         PartitionList& list, PartitionTree& tree, const core::StopFlag& stop,
                                         core::ProgressSink& sink)
{
    ClearPartitions(list, tree);
    sink.Status(core::msg::kSearchingForPartitions);

    const std::uint64_t last = LastSearchableSector(disk);
    const SearchGeometry work = WorkingGeometry(geometry, last);
    const std::uint64_t cylinderSectors = std::uint64_t{work.heads} * work.sectorsPerTrack;
    constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t end = geometry.sizeSectors;
    if (end == 0) {
        const std::uint64_t perCylinder = std::uint64_t{geometry.heads} * geometry.sectorsPerTrack;
        end = core::CheckedMul(std::uint64_t{geometry.cylinders}, perCylinder).value_or(kNone);
    }

    // Cylinders 0 .. N - 1 are probed whole; "cylinder" N only for the backup in the sector before
    // it, when that sector is on the disk.
    const std::uint64_t cylinders = work.cylinders;
    const std::uint64_t cylindersEnd = core::CheckedMul(cylinders, cylinderSectors).value_or(kNone);
    const bool backupAfterLast = cylinders > 0 && cylindersEnd != kNone && cylindersEnd - 1 < end &&
                                 cylindersEnd - 1 <= last;
    const std::uint64_t cylinderPlaces = cylinders + (backupAfterLast ? 1 : 0);
    // Boundaries b = 2048 m for m = 1 .. while b - 1 is on the disk and addressable.
    const std::uint64_t boundaryEnd = std::min(end, last == kNone ? last : last + 1);
    const std::uint64_t boundaries = boundaryEnd / kSectorsPerMib;
    const std::uint64_t span = std::max(cylindersEnd == kNone ? last : cylindersEnd, boundaries * kSectorsPerMib);

    Searcher searcher(disk, end, last);
    QuickSearchOutcome outcome = QuickSearchOutcome::Completed;
    std::uint64_t k = 0;
    std::uint64_t m = 1;
    int shownPercent = -1;
    for (;;) {
        const bool cylinderLeft = k < cylinderPlaces;
        const bool boundaryLeft = m <= boundaries;
        if (!cylinderLeft && !boundaryLeft) {
            break;
        }
        if (stop.IsSet()) {
            outcome = QuickSearchOutcome::Stopped;
            break;
        }
        const std::uint64_t cylinderAt = cylinderLeft ? k * cylinderSectors : kNone;
        const std::uint64_t boundaryAt = boundaryLeft ? m * kSectorsPerMib : kNone;
        const int percent = Percent(std::min(cylinderAt, boundaryAt), span);
        if (percent != shownPercent) {
            sink.Progress(percent);
            shownPercent = percent;
        }

        if (cylinderAt < boundaryAt || (cylinderAt == boundaryAt && k < cylinders)) {
            if (k < cylinders) {
                searcher.ProbeCylinder(cylinderAt, work.sectorsPerTrack);
            } else {
                searcher.ProbeBackupBefore(cylinderAt);
            }
            if (cylinderAt == boundaryAt) {
                ++m;  // the cylinder's probes cover the boundary
            }
            ++k;
        } else {
            searcher.ProbeBoundary(boundaryAt);
            if (cylinderAt == boundaryAt) {
                ++k;  // the boundary's probe covers the backup before it
            }
            ++m;
        }
        if (searcher.Full()) {
            outcome = QuickSearchOutcome::ListFull;
            break;
        }
    }

    std::vector<FoundVolume> found = searcher.Found();
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    for (const FoundVolume& volume : found) {
        AddPartition(list, tree, static_cast<core::Sector>(volume.start), volume.sectorCount, volume.fsType);
    }
    return outcome;
}

}  // namespace partitions

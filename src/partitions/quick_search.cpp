// The lost-partition quick search over cylinder boundaries.
#include "partitions/quick_search.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/messages.h"
#include "partitions/partition_layout.h"

namespace partitions {

namespace {

constexpr std::uint64_t kLastSector = core::kLastSector;
constexpr std::size_t kFat32TailOffset = kFat32TextOffset + 3;  // "32" of "FAT32"
constexpr std::size_t kFat16TailOffset = kFat16TextOffset + 3;  // "16" of "FAT16"

using SectorBuffer = std::array<std::uint8_t, core::kSectorSize>;

bool HasBootSignature(const SectorBuffer& sector) noexcept
{
    return sector[kSignatureOffset0] == kSignatureByte0 && sector[kSignatureOffset1] == kSignatureByte1;
}

// Reads one sector; an unreadable sector reads as zeros and so fails the signature test.
void ReadOneSector(disk::DiskState& disk, std::uint64_t sector, SectorBuffer& buffer)
{
    buffer.fill(0);
    if (disk::ReadSectors(disk, sector, 1, buffer) == 0) {
        buffer.fill(0);
    }
}

}  // namespace

SearchGeometry WorkingGeometry(const ReportedGeometry& reported) noexcept
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
    // Cylinders 0 .. kLastSector / cylinderSectors start at a 32-bit sector.
    const std::uint64_t addressable = kLastSector / cylinderSectors + 1;
    geometry.cylinders = static_cast<std::uint32_t>(std::min({cylinders, addressable, kLastSector}));
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
        return FoundBootSector{core::kFsNtfs, view.U32(kNtfsTotalSectorsOffset)};
    }
    return std::nullopt;
}

QuickSearchOutcome QuickSearchPartitions(disk::DiskState& disk, const ReportedGeometry& geometry,
                                         PartitionList& list, PartitionTree& tree, const core::StopFlag& stop,
                                         core::ProgressSink& sink)
{
    ClearPartitions(list, tree);
    sink.Status(core::msg::kSearchingForPartitions);

    const SearchGeometry work = WorkingGeometry(geometry);
    const std::uint64_t cylinderSectors = std::uint64_t{work.heads} * work.sectorsPerTrack;
    SectorBuffer buffer{};
    int shownPercent = -1;
    for (std::uint64_t k = 0; k < work.cylinders; ++k) {
        if (stop.IsSet()) {
            return QuickSearchOutcome::Stopped;
        }
        const int percent = static_cast<int>(std::min<std::uint64_t>(100 * k / work.cylinders, 99));
        if (percent != shownPercent) {
            sink.Progress(percent);
            shownPercent = percent;
        }

        // WorkingGeometry keeps only cylinders whose first sector is a 32-bit sector number.
        const std::uint64_t first = k * cylinderSectors;
        const std::uint64_t secondTrack = first + work.sectorsPerTrack;
        std::optional<std::uint64_t> candidate;
        if (secondTrack <= kLastSector) {
            ReadOneSector(disk, secondTrack, buffer);
            if (HasBootSignature(buffer)) {
                candidate = secondTrack;
            }
        }
        // A signed second track that is no boot sector (an extended boot record, say) still
        // decides the cylinder: its first sector is not tried.
        if (!candidate) {
            ReadOneSector(disk, first, buffer);
            if (HasBootSignature(buffer)) {
                candidate = first;
            }
        }
        if (!candidate) {
            continue;
        }
        const auto found = ClassifyBootSector(buffer);
        if (!found) {
            continue;
        }
        AddPartition(list, tree, static_cast<core::Sector>(*candidate), found->sectorCount, found->fsType);
        if (list.partitionCount >= kMaxPartitions) {
            return QuickSearchOutcome::ListFull;
        }
    }
    return QuickSearchOutcome::Completed;
}

}  // namespace partitions

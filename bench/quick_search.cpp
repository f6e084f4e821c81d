// Reads and time of the lost-partition quick search over a disk image: every request the search
// makes is counted (requests, sectors, largest gap) on its way to the image file, and the volumes
// found are printed. The geometry is the one images get (255 x 63 translated from the size), as
// dravik-cli search-partitions uses it.
// Built only on request, against the libraries of a Release build:
//   B=build/release; c++ -std=c++20 -O2 -Isrc bench/quick_search.cpp -o /tmp/quick_search \
//     $B/src/partitions/libdravik_partitions.a $B/src/ntfs/libdravik_ntfs.a $B/src/disk/libdravik_disk.a \
//     $B/src/platform/libdravik_platform.a $B/src/core/libdravik_core.a -ldl && /tmp/quick_search IMAGE
// bench/quick_search.sh builds a sparse 3 TiB image and runs it.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <utility>

#include "disk/disk_state.h"
#include "partitions/quick_search.h"
#include "platform/drive_discovery.h"
#include "platform/file_source.h"

namespace {

class CountingSource : public core::SectorSource
{
public:
    explicit CountingSource(std::unique_ptr<core::SectorSource> inner) : m_inner(std::move(inner)) {}

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        ++requests;
        bytes += out.size();
        if (out.size() == 512) {
            ++oneSector;
        }
        return m_inner->ReadAt(offset, out);
    }
    std::uint64_t SizeBytes() const override { return m_inner->SizeBytes(); }

    std::uint64_t requests = 0;
    std::uint64_t oneSector = 0;
    std::uint64_t bytes = 0;

private:
    std::unique_ptr<core::SectorSource> m_inner;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quick_search IMAGE\n");
        return 1;
    }
    auto opened = platform::OpenReadOnly(argv[1]);
    if (!opened.source) {
        std::fprintf(stderr, "%s\n", opened.reason.c_str());
        return 2;
    }
    const std::uint64_t sizeBytes = opened.source->SizeBytes();
    auto counting = std::make_unique<CountingSource>(std::move(opened.source));
    CountingSource* counter = counting.get();
    disk::DiskState disk;
    disk.driveHandle = std::move(counting);

    const platform::Geometry g = platform::TranslatedGeometry(sizeBytes);
    const partitions::ReportedGeometry reported{static_cast<std::uint32_t>(g.cylinders), g.heads, g.sectorsPerTrack,
                                                sizeBytes / core::kSectorSize};
    partitions::PartitionList list;
    partitions::PartitionTree tree(0);
    core::StopFlag stop;
    const auto begin = std::chrono::steady_clock::now();
    const auto outcome = partitions::QuickSearchPartitions(disk, reported, list, tree, stop, core::NullSink());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    const double tib = static_cast<double>(sizeBytes) / (1ull << 40);
    const double tb = static_cast<double>(sizeBytes) / 1e12;
    std::printf("size %.3f TiB (%" PRIu64 " sectors), cylinders searched %u\n", tib, sizeBytes / 512,
                partitions::WorkingGeometry(reported).cylinders);
    std::printf("outcome %d, %.2f s\n", static_cast<int>(outcome), seconds);
    std::printf("requests %" PRIu64 " (one-sector %" PRIu64 ", two-sector %" PRIu64 "), bytes %" PRIu64 "\n",
                counter->requests, counter->oneSector, counter->requests - counter->oneSector, counter->bytes);
    std::printf("requests per TB %.0f, bytes per TB %.0f\n", static_cast<double>(counter->requests) / tb,
                static_cast<double>(counter->bytes) / tb);
    for (std::uint32_t i = 0; i < list.partitionCount; ++i) {
        std::printf("%s\t%" PRIu64 "\t%" PRIu64 "\n", partitions::PartitionItemText(i, list.records[i].fsType).c_str(),
                    std::uint64_t{list.records[i].startSector}, std::uint64_t{list.records[i].sectorCount});
    }
    return 0;
}

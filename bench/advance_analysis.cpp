// Time of the Advance Scan's analysis (MFT numbering, identification by boot sector and by index
// pairs, orphan pass) over 50,000 found folders and 50,000 index records: three file systems
// (one with a boot sector), folders without allocation, and 2% of folders whose index buffer lies
// where no geometry puts it (they stay in the pool and pair with every later folder).
// Built only on request, against the libraries of a Release build:
//   B=build/h-adv-rel; c++ -std=c++20 -O2 -Isrc bench/advance_analysis.cpp -o /tmp/advance_analysis \
//     $B/src/advscan/libdravik_advscan.a $B/src/ntfs/libdravik_ntfs.a $B/src/disk/libdravik_disk.a \
//     $B/src/platform/libdravik_platform.a $B/src/core/libdravik_core.a -ldl && /tmp/advance_analysis
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "advscan/analysis.h"
#include "core/sector_source.h"

namespace {

constexpr std::uint32_t kFolders = 50000;
constexpr core::Sector kBootAt = 2048;

// Zeros everywhere but an NTFS boot sector at kBootAt (8 sectors per cluster, 8,000,000 sectors).
class BenchDisk : public core::SectorSource
{
public:
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        std::memset(out.data(), 0, out.size());
        const std::uint64_t boot = std::uint64_t{kBootAt} * 512;
        if (offset <= boot && boot + 512 <= offset + out.size()) {
            std::uint8_t* b = out.data() + (boot - offset);
            std::memcpy(b + 3, "NTFS    ", 8);
            b[11] = 0;
            b[12] = 2;
            b[13] = 8;
            const std::uint32_t total = 8000000;
            std::memcpy(b + 0x28, &total, 4);
            b[0x30] = 4;
            b[0x44] = 0xF6;
            b[510] = 0x55;
            b[511] = 0xAA;
        }
        return true;
    }
    std::uint64_t SizeBytes() const override { return std::uint64_t{1} << 40; }
};

}  // namespace

int main()
{
    struct Volume
    {
        core::Sector start;
        std::uint32_t spc;
    };
    const Volume volumes[] = {{kBootAt, 8}, {10000000, 4}, {20000000, 1}};
    std::mt19937 random(7);
    disk::DiskState disk;
    disk.driveHandle = std::make_unique<BenchDisk>();
    catalog::Catalog catalog;
    catalog.scanTarget = {core::kFsNtfs, 0, 30000000, 30000000, 0};
    catalog.AddBootHit(kBootAt);
    ++catalog.bootHitCount;
    std::uint32_t index = 0;
    for (std::uint32_t v = 0; v < 3; ++v) {
        const std::uint32_t count = kFolders / 3;
        for (std::uint32_t i = 0; i < count; ++i) {
            catalog::FoundFolderRecord f;
            f.name = "folder " + std::to_string(i);
            f.sector = volumes[v].start + 64 + 2 * i;  // the MFT's stretch of folder records
            f.record = 64 + i;
            f.parent = i < 100 ? 5 : 64 + i / 100;
            const bool allocated = i % 4 != 0;
            const bool noise = i % 50 == 7;
            f.indexStartCluster = allocated ? 100000 + 3 * i : 0;
            catalog.AddFoundFolder(f);
            if (allocated) {
                catalog::FoundIndexRecord r;
                r.sector = noise ? volumes[v].start + 5000000 + i : volumes[v].start + volumes[v].spc * f.indexStartCluster;
                r.owner = f.record;
                r.sectors = 8;
                catalog.AddFoundIndexRecord(r);
                ++catalog.indexRecordCount;
                ++index;
            }
        }
    }
    // Fill up to 50,000 index records with buffers of later VCNs.
    for (std::uint32_t i = 0; index < kFolders; ++i, ++index) {
        catalog::FoundIndexRecord r;
        r.sector = 25000000 + 8 * i;
        r.owner = 64 + i % 1000;
        r.vcn = 1 + i % 7;
        r.sectors = 8;
        catalog.AddFoundIndexRecord(r);
        ++catalog.indexRecordCount;
    }
    ntfs::FolderTree tree = advscan::NewFoundFileSystemTree();
    const auto t0 = std::chrono::steady_clock::now();
    advscan::AnalyseFoundStructures(disk, catalog, tree, core::NullSink());
    const auto t1 = std::chrono::steady_clock::now();
    std::size_t placed = 0;
    for (const auto& f : catalog.FoundFolders()) {
        placed += f.fsNumber > 0 ? 1 : 0;
    }
    std::printf("folders %zu, index records %zu, file systems %zu, folders placed %zu, analysis %.3f s\n",
                catalog.FoundFolders().size(), catalog.FoundIndexRecords().size(), catalog.FileSystems().size(),
                placed, std::chrono::duration<double>(t1 - t0).count());
    for (const auto& fs : catalog.FileSystems()) {
        std::printf("  NTFS @%u spc %u end %u\n", fs.params.clusterBase, fs.params.sectorsPerCluster,
                    fs.params.endSector);
    }
    return 0;
}

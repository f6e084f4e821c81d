// Fuzz target: a whole Advance Scan (sweep, identification, mount of every file system found and
// the listing of each mounted folder) over a small sparse disk made from the input.
//
// Input: one byte choosing the sweep's chunk size (1..100 sectors), then blocks of a 16-bit
// little-endian sector number followed by up to 512 bytes for that sector. The disk has 65536
// sectors; sectors no block names read as zeros.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "advscan/advance_scan.h"
#include "advscan/mount.h"
#include "core/progress.h"
#include "core/sector_source.h"
#include "disk/disk_state.h"
#include "ntfs/listing.h"

namespace {

constexpr std::uint64_t kDiskSectors = 65536;
constexpr std::size_t kMaxMounts = 4;

class SparseDisk : public core::SectorSource
{
public:
    void Put(std::uint32_t sector, std::span<const std::uint8_t> bytes)
    {
        auto& s = m_sectors[sector];
        s.fill(0);
        std::memcpy(s.data(), bytes.data(), std::min(bytes.size(), s.size()));
    }
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        const std::uint64_t first = offset / core::kSectorSize;
        const std::uint64_t last = (offset + out.size()) / core::kSectorSize;
        for (auto it = m_sectors.lower_bound(static_cast<std::uint32_t>(std::min(first, kDiskSectors)));
             it != m_sectors.end() && it->first <= last; ++it) {
            const std::uint64_t at = std::uint64_t{it->first} * core::kSectorSize;
            const std::uint64_t from = std::max(at, offset);
            const std::uint64_t to = std::min(at + core::kSectorSize, offset + out.size());
            if (from < to) {
                std::memcpy(out.data() + (from - offset), it->second.data() + (from - at), to - from);
            }
        }
        return offset + out.size() <= SizeBytes();
    }
    std::uint64_t SizeBytes() const override { return kDiskSectors * core::kSectorSize; }

private:
    std::map<std::uint32_t, std::array<std::uint8_t, core::kSectorSize>> m_sectors;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    auto source = std::make_unique<SparseDisk>();
    std::uint32_t highest = 0;
    for (std::size_t at = 1; at + 2 <= size;) {
        const auto sector = static_cast<std::uint32_t>(data[at] | (data[at + 1] << 8));
        at += 2;
        const std::size_t n = std::min<std::size_t>(core::kSectorSize, size - at);
        source->Put(sector, std::span<const std::uint8_t>(data + at, n));
        highest = std::max(highest, sector);
        at += n;
    }
    disk::DiskState disk;
    disk.driveHandle = std::move(source);
    disk.readChunkSectors = 1 + data[0] % 100;

    catalog::Catalog catalog;
    ntfs::FolderTree fileSystems = advscan::NewFoundFileSystemTree();
    catalog.scanTarget = advscan::AdvanceScanTarget(0, highest + 1);
    advscan::RunAdvanceScan(disk, catalog, fileSystems, core::NullSink());

    const std::size_t mounts = std::min(kMaxMounts, catalog.FileSystems().size());
    for (std::size_t n = 0; n < mounts; ++n) {
        if (!advscan::SelectFileSystem(catalog, catalog.FileSystems()[n].key, core::NullSink())) {
            __builtin_trap();  // every listed file system can be selected
        }
        ntfs::FolderTree tree;
        advscan::MountFoundFileSystem(catalog, tree, core::NullSink());
        for (const auto& folder : catalog.NtfsFolders()) {
            ntfs::ListFoundFolder(catalog, folder.record, {}, {});
        }
    }
    return 0;
}

// Fuzz target: the partition table walk and the quick search over a disk made of the input bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "core/progress.h"
#include "core/sector_source.h"
#include "disk/disk_state.h"
#include "partitions/partition_select.h"
#include "partitions/partition_table.h"
#include "partitions/quick_search.h"

namespace {

// The input is the start of a disk whose remaining sectors read as zeros; the reported size is
// large so that links far out on the disk are followed.
class InputDisk : public core::SectorSource
{
public:
    explicit InputDisk(std::span<const std::uint8_t> bytes) : m_bytes(bytes.begin(), bytes.end()) {}

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        if (offset < m_bytes.size()) {
            const std::size_t n = std::min<std::size_t>(out.size(), m_bytes.size() - static_cast<std::size_t>(offset));
            std::memcpy(out.data(), m_bytes.data() + offset, n);
        }
        return true;
    }
    std::uint64_t SizeBytes() const override { return std::uint64_t{1} << 41; }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    disk::DiskState disk;
    disk.driveHandle = std::make_unique<InputDisk>(std::span<const std::uint8_t>(data, size));
    partitions::PartitionList list;
    partitions::PartitionTree tree(0);
    partitions::WalkPartitionTables(disk, list, tree);

    catalog::ScanTarget target;
    for (const auto& item : tree.Items()) {
        partitions::SelectPartition(tree, list, item.id, true, 0xFFFFFFFFu, target);
    }

    // One head of 63 sectors per cylinder keeps the probes inside the input.
    const auto cylinders = static_cast<std::uint32_t>(size / 63 / core::kSectorSize + 1);
    core::StopFlag stop;
    partitions::QuickSearchPartitions(disk, {cylinders, 1, 63}, list, tree, stop, core::NullSink());
    return 0;
}

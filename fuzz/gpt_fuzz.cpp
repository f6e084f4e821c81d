// Fuzz target: the GUID partition table decoders and the walk over a disk made of the input bytes,
// the disk's size being the input's (whole sectors), so that the backup table at its last sector
// comes from the input too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "core/sector_source.h"
#include "core/types.h"
#include "disk/disk_state.h"
#include "partitions/gpt.h"
#include "partitions/partition_select.h"
#include "partitions/partition_table.h"

namespace {

class InputDisk : public core::SectorSource
{
public:
    explicit InputDisk(std::span<const std::uint8_t> bytes) : m_bytes(bytes.begin(), bytes.end())
    {
        m_bytes.resize(m_bytes.size() / core::kSectorSize * core::kSectorSize);
    }

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        if (offset >= m_bytes.size() || out.size() > m_bytes.size() - offset) {
            return false;
        }
        std::memcpy(out.data(), m_bytes.data() + offset, out.size());
        return true;
    }
    std::uint64_t SizeBytes() const override { return m_bytes.size(); }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    const std::uint64_t sectors = size / core::kSectorSize;

    // Every sector of the input as a header, at its own LBA and at LBA 1, and the rest as its array.
    for (std::uint64_t lba = 0; lba < std::min<std::uint64_t>(sectors, 8); ++lba) {
        const auto sector = input.subspan(static_cast<std::size_t>(lba * core::kSectorSize), core::kSectorSize);
        for (const std::uint64_t at : {lba, std::uint64_t{1}}) {
            if (const auto header = partitions::DecodeGptHeader(sector, at, sectors)) {
                partitions::DecodeGptEntries(*header, input.subspan(static_cast<std::size_t>(lba * core::kSectorSize)),
                                             sectors);
            }
        }
    }

    disk::DiskState disk;
    disk.driveHandle = std::make_unique<InputDisk>(input);
    partitions::PartitionList list;
    partitions::PartitionTree tree(0);
    partitions::WalkPartitionTables(disk, list, tree);
    catalog::ScanTarget target;
    for (const auto& item : tree.Items()) {
        if (const auto selection = partitions::SelectPartition(tree, list, item.id, true, 0xFFFFFFFFu, target)) {
            partitions::NoScanMessage(selection->content);
        }
        if (const auto* record = partitions::SelectedRecord(list, target); record != nullptr && record->gpt) {
            partitions::GuidText(record->gpt->typeGuid);
        }
    }
    return 0;
}

// The partition table walk and the quick search on real images, compared with The Sleuth Kit's
// mmls listing of the same image: the cylinder-aligned multi-partition disk, and the 1 MiB-aligned
// disks of today's tools with their table wiped and their first boot sector gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "disk/disk_state.h"
#include "partitions/partition_table.h"
#include "partitions/quick_search.h"
#include "platform/drive_discovery.h"
#include "platform/file_source.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

constexpr const char* kImage = "multi_part.img";
constexpr const char* kMmls = "multi_part.mmls.txt";

// One partition row of an mmls listing ("002:  000:001   0000002048   ...   NTFS / exFAT (0x07)").
struct MmlsPartition
{
    unsigned table = 0;  // 0: the master boot record, n: the n-th extended boot record
    unsigned entry = 0;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    unsigned type = 0;
};

std::vector<MmlsPartition> ReadMmls(const std::filesystem::path& path)
{
    std::ifstream in(path);
    const std::regex row(R"(^\d+:\s+(\d+):(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+.*\(0x([0-9a-fA-F]+)\)\s*$)");
    std::vector<MmlsPartition> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_match(line, m, row)) {
            rows.push_back({static_cast<unsigned>(std::stoul(m[1])), static_cast<unsigned>(std::stoul(m[2])),
                            std::stoull(m[3]), std::stoull(m[5]), static_cast<unsigned>(std::stoul(m[6], nullptr, 16))});
        }
    }
    return rows;
}

// The code the walk gives a partition of this type whose boot sector agrees with it; 0: not listed.
core::FsTypeCode CodeOfType(unsigned type, bool logical)
{
    switch (type) {
    case 0x04: case 0x06: case 0x0E: return core::kFsFat16;
    case 0x07: return core::kFsNtfs;
    case 0x0B: case 0x0C: return core::kFsFat32;
    case 0x01: return logical ? core::kFsFat16 : core::FsTypeCode{0};
    default: return 0;
    }
}

class MultiPartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto image = testing_support::FixturePath(kImage);
        const auto mmls = testing_support::DataDir() / "oracle" / kMmls;
        if (!std::filesystem::exists(image) || !std::filesystem::exists(mmls)) {
            GTEST_SKIP() << "fixture " << kImage << " or its mmls listing is not there";
        }
        auto opened = platform::OpenReadOnly(image.string());
        ASSERT_TRUE(opened.source) << opened.reason;
        sizeBytes = opened.source->SizeBytes();
        source = std::move(opened.source);
        oracle = ReadMmls(mmls);
        ASSERT_FALSE(oracle.empty());
    }

    std::unique_ptr<core::SectorSource> source;
    std::uint64_t sizeBytes = 0;
    std::vector<MmlsPartition> oracle;
    partitions::PartitionList list;
    partitions::PartitionTree tree{0};
};

TEST_F(MultiPartTest, WalkListsThePartitionsInTableOrder)
{
    disk::DiskState disk;
    disk.driveHandle = std::move(source);
    ASSERT_TRUE(partitions::WalkPartitionTables(disk, list, tree).listed);

    std::vector<MmlsPartition> expected;
    std::copy_if(oracle.begin(), oracle.end(), std::back_inserter(expected),
                 [](const auto& p) { return CodeOfType(p.type, p.table > 0) != 0; });
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return std::tie(a.table, a.entry) < std::tie(b.table, b.entry);
    });
    ASSERT_EQ(list.partitionCount, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.records[i].startSector, expected[i].start) << "record " << i;
        EXPECT_EQ(list.records[i].sectorCount, expected[i].length) << "record " << i;
        EXPECT_EQ(list.records[i].fsType, CodeOfType(expected[i].type, expected[i].table > 0)) << "record " << i;
        EXPECT_EQ(tree.Items()[i + 1].text, partitions::PartitionItemText(static_cast<std::uint32_t>(i),
                                                                          list.records[i].fsType));
    }
}

TEST_F(MultiPartTest, QuickSearchFindsThePartitionsAfterTheTableIsWiped)
{
    testing_support::DamagedImage damaged(testing_support::FixturePath(kImage));
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::WipePartitionTable(damaged));
    auto opened = platform::OpenReadOnly(damaged.Path().string());
    ASSERT_TRUE(opened.source) << opened.reason;
    disk::DiskState disk;
    disk.driveHandle = std::move(opened.source);
    EXPECT_FALSE(partitions::WalkPartitionTables(disk, list, tree).listed);

    const platform::Geometry g = platform::TranslatedGeometry(sizeBytes);
    const partitions::ReportedGeometry reported{static_cast<std::uint32_t>(g.cylinders), g.heads, g.sectorsPerTrack,
                                                sizeBytes / core::kSectorSize};
    core::StopFlag stop;
    EXPECT_EQ(partitions::QuickSearchPartitions(disk, reported, list, tree, stop, core::NullSink()),
              partitions::QuickSearchOutcome::Completed);

    // Only boot sectors at the two probe places of a cylinder can be found.
    std::vector<MmlsPartition> expected;
    for (const auto& p : oracle) {
        const auto at = p.start % partitions::kSectorsPerSearchCylinder;
        if (CodeOfType(p.type, p.table > 0) != 0 && (at == 0 || at == partitions::kSearchSectorsPerTrack)) {
            expected.push_back(p);
        }
    }
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    ASSERT_FALSE(expected.empty()) << "no partition of the fixture starts at a cylinder boundary";
    ASSERT_EQ(list.partitionCount, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.records[i].startSector, expected[i].start) << "record " << i;
        EXPECT_EQ(list.records[i].fsType, CodeOfType(expected[i].type, expected[i].table > 0)) << "record " << i;
        EXPECT_LE(list.records[i].sectorCount, expected[i].length);
    }
}

TEST_F(MultiPartTest, QuickSearchFindsNtfsPartitionsWhoseBootSectorIsGoneByTheCopyBeforeTheNextCylinder)
{
    testing_support::DamagedImage damaged(testing_support::FixturePath(kImage));
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::WipePartitionTable(damaged));
    std::vector<MmlsPartition> expected;
    for (const auto& p : oracle) {
        if (CodeOfType(p.type, p.table > 0) != 0) {
            expected.push_back(p);
        }
        if (p.type == 0x07) {
            ASSERT_TRUE(testing_support::ZeroBootSector(damaged, static_cast<core::Sector>(p.start)));
        }
    }
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    auto opened = platform::OpenReadOnly(damaged.Path().string());
    ASSERT_TRUE(opened.source) << opened.reason;
    disk::DiskState disk;
    disk.driveHandle = std::move(opened.source);

    const platform::Geometry g = platform::TranslatedGeometry(sizeBytes);
    const partitions::ReportedGeometry reported{static_cast<std::uint32_t>(g.cylinders), g.heads, g.sectorsPerTrack,
                                                sizeBytes / core::kSectorSize};
    core::StopFlag stop;
    partitions::QuickSearchPartitions(disk, reported, list, tree, stop, core::NullSink());
    ASSERT_EQ(list.partitionCount, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.records[i].startSector, expected[i].start) << "record " << i;
        EXPECT_EQ(list.records[i].fsType, CodeOfType(expected[i].type, expected[i].table > 0)) << "record " << i;
    }
}

// Disks partitioned by today's tools: every NTFS partition starts on a 1 MiB boundary.
struct AlignedCase
{
    const char* image;
    bool firstBootSectorsGone;  // found only by the copy in each partition's last sector
};

class AlignedDiskTest : public ::testing::TestWithParam<AlignedCase>
{
};

TEST_P(AlignedDiskTest, QuickSearchFindsEveryNtfsPartitionOfAWipedTable)
{
    const std::string name = GetParam().image;
    const auto image = testing_support::FixturePath(name + ".img");
    const auto mmls = testing_support::DataDir() / "oracle" / (name + ".mmls.txt");
    if (!std::filesystem::exists(image) || !std::filesystem::exists(mmls)) {
        GTEST_SKIP() << "fixture " << name << " or its mmls listing is not there";
    }
    std::vector<MmlsPartition> expected;
    for (const auto& p : ReadMmls(mmls)) {
        if (p.type == 0x07) {
            expected.push_back(p);
        }
    }
    ASSERT_FALSE(expected.empty());

    testing_support::DamagedImage damaged(image);
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::WipePartitionTable(damaged));
    for (const auto& p : expected) {
        ASSERT_EQ(p.start % partitions::kSectorsPerMib, 0u) << name << " is no 1 MiB-aligned disk";
        if (GetParam().firstBootSectorsGone) {
            ASSERT_TRUE(testing_support::ZeroBootSector(damaged, static_cast<core::Sector>(p.start)));
        }
    }
    auto opened = platform::OpenReadOnly(damaged.Path().string());
    ASSERT_TRUE(opened.source) << opened.reason;
    const std::uint64_t sizeBytes = opened.source->SizeBytes();
    disk::DiskState disk;
    disk.driveHandle = std::move(opened.source);
    partitions::PartitionList list;
    partitions::PartitionTree tree{0};
    EXPECT_FALSE(partitions::WalkPartitionTables(disk, list, tree).listed);

    const platform::Geometry g = platform::TranslatedGeometry(sizeBytes);
    const partitions::ReportedGeometry reported{static_cast<std::uint32_t>(g.cylinders), g.heads, g.sectorsPerTrack,
                                                sizeBytes / core::kSectorSize};
    core::StopFlag stop;
    EXPECT_EQ(partitions::QuickSearchPartitions(disk, reported, list, tree, stop, core::NullSink()),
              partitions::QuickSearchOutcome::Completed);
    ASSERT_EQ(list.partitionCount, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.records[i].startSector, expected[i].start) << "record " << i;
        EXPECT_EQ(list.records[i].fsType, core::kFsNtfs) << "record " << i;
        // mkntfs gives the volume all but the partition's last sector, which holds the copy.
        EXPECT_EQ(list.records[i].sectorCount, expected[i].length - 1) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AlignedDiskTest,
                         ::testing::Values(AlignedCase{"ntfs_basic", false}, AlignedCase{"ntfs_basic", true},
                                           AlignedCase{"unicode", false}, AlignedCase{"unicode", true},
                                           AlignedCase{"mft_runs", false}, AlignedCase{"reformatted", true}),
                         [](const auto& info) {
                             return std::string(info.param.image) +
                                    (info.param.firstBootSectorsGone ? "_ByBackup" : "_ByFirstBootSector");
                         });

}  // namespace

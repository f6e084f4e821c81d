// Lost-partition quick search: the working geometry, the two probes per cylinder, classification
// and sizes, the record limit, stopping and progress, and disks beyond 32-bit sector numbers.
#include "partitions/quick_search.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/mbr_builder.h"
#include "support/sparse_disk.h"

namespace partitions {
namespace {

using testing_support::MakeBootRecord;
using testing_support::MakeFat16BootSector;
using testing_support::MakeFat32BootSector;
using testing_support::MakeNtfsBootSector;
using testing_support::SectorBytes;
using testing_support::SparseDisk;

// ---------------------------------------------------------------------------------------------
// Working geometry

struct GeometryCase
{
    const char* name;
    ReportedGeometry reported;
    SearchGeometry expected;
};

class GeometryTest : public ::testing::TestWithParam<GeometryCase>
{
};

TEST_P(GeometryTest, Translates)
{
    const SearchGeometry g = WorkingGeometry(GetParam().reported);
    EXPECT_EQ(g.sectorsPerTrack, GetParam().expected.sectorsPerTrack);
    EXPECT_EQ(g.heads, GetParam().expected.heads);
    EXPECT_EQ(g.cylinders, GetParam().expected.cylinders);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeometryTest,
    ::testing::Values(
        GeometryCase{"SixtyThreeSectorsKept", {1024, 16, 63}, {63, 16, 1024}},
        GeometryCase{"TranslatedAndRoundedDown", {1000, 64, 32}, {63, 255, 127}},
        GeometryCase{"SmallerThanOneCylinder", {10, 16, 32}, {63, 255, 0}},
        GeometryCase{"NoSectorsPerTrack", {1000, 255, 0}, {63, 255, 0}},
        GeometryCase{"NoHeadsHasNoCylinders", {1000, 0, 63}, {63, 0, 0}},
        // 300000 x 255 x 64 sectors is beyond 2^32: wrapped in 32 bits it would give 37412
        // cylinders; it is searched up to the last 32-bit sector instead.
        GeometryCase{"TranslatedBeyond32Bits", {300000, 255, 64}, {63, 255, 267350}},
        GeometryCase{"KeptBeyond32Bits", {1000000, 255, 63}, {63, 255, 267350}},
        GeometryCase{"ProductBeyond64Bits", {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {63, 255, 267350}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Boot sector classification

TEST(ClassifyBootSector, SizesComeFromTheBootSector)
{
    const auto fat32 = ClassifyBootSector(MakeFat32BootSector(123456));
    ASSERT_TRUE(fat32);
    EXPECT_EQ(fat32->fsType, core::kFsFat32);
    EXPECT_EQ(fat32->sectorCount, 123456u);

    // A small FAT16 volume keeps its size in the 16-bit field; the 32-bit one at 32 is 0.
    const auto fat16 = ClassifyBootSector(MakeFat16BootSector(4000));
    ASSERT_TRUE(fat16);
    EXPECT_EQ(fat16->fsType, core::kFsFat16);
    EXPECT_EQ(fat16->sectorCount, 0u);

    // The low half of the 64-bit count.
    const auto ntfs = ClassifyBootSector(MakeNtfsBootSector(0x100000010ull));
    ASSERT_TRUE(ntfs);
    EXPECT_EQ(ntfs->fsType, core::kFsNtfs);
    EXPECT_EQ(ntfs->sectorCount, 0x10u);

    EXPECT_FALSE(ClassifyBootSector(MakeBootRecord({{0x07, 63, 100}})));
    EXPECT_FALSE(ClassifyBootSector(std::vector<std::uint8_t>(50, 0)));
}

TEST(ClassifyBootSector, OnlyTheTailsOfTheFatTextsCount)
{
    SectorBytes s{};
    s[85] = '3';
    s[86] = '2';
    s[3] = 'N';  // an NTFS text loses to the FAT32 tail
    s[4] = 'T';
    s[5] = 'F';
    s[6] = 'S';
    EXPECT_EQ(ClassifyBootSector(s)->fsType, core::kFsFat32);
    s[85] = 0;
    s[57] = '1';
    s[58] = '6';
    EXPECT_EQ(ClassifyBootSector(s)->fsType, core::kFsFat16);
}

// ---------------------------------------------------------------------------------------------
// The search

class RecordingSink : public core::ProgressSink
{
public:
    void Status(std::string_view text) override { statuses.emplace_back(text); }
    void Progress(int percent) override
    {
        progress.push_back(percent);
        if (stopAt >= 0 && percent >= stopAt && stop != nullptr) {
            stop->Request();
        }
    }
    std::vector<std::string> statuses;
    std::vector<int> progress;
    core::StopFlag* stop = nullptr;
    int stopAt = -1;
};

class SearchTest : public ::testing::Test
{
protected:
    void MakeDisk(std::uint64_t sectors)
    {
        auto owned = std::make_unique<SparseDisk>(sectors);
        image = owned.get();
        disk.driveHandle = std::move(owned);
    }

    QuickSearchOutcome Search(ReportedGeometry geometry)
    {
        return QuickSearchPartitions(disk, geometry, list, tree, stop, sink);
    }

    disk::DiskState disk;
    SparseDisk* image = nullptr;
    PartitionList list;
    PartitionTree tree{1};
    core::StopFlag stop;
    RecordingSink sink;
};

TEST_F(SearchTest, ProbesSecondTrackThenFirstSectorOfEveryCylinder)
{
    MakeDisk(1008 * 4);
    EXPECT_EQ(Search({4, 16, 63}), QuickSearchOutcome::Completed);
    EXPECT_EQ(image->Reads(), (std::vector<std::uint64_t>{63, 0, 1071, 1008, 2079, 2016, 3087, 3024}));
    EXPECT_EQ(list.partitionCount, 0u);
}

TEST_F(SearchTest, TranslatedGeometryProbesCylindersOf16065Sectors)
{
    MakeDisk(2048000);
    Search({1000, 64, 32});
    ASSERT_EQ(image->Reads().size(), 2u * 127u);
    EXPECT_EQ(image->Reads()[0], 63u);
    EXPECT_EQ(image->Reads()[1], 0u);
    EXPECT_EQ(image->Reads()[252], 126u * 16065u + 63u);
    EXPECT_EQ(image->Reads()[253], 126u * 16065u);
}

TEST_F(SearchTest, DiskSmallerThanOneTranslatedCylinderReadsNothing)
{
    MakeDisk(10000);
    EXPECT_EQ(Search({10, 16, 32}), QuickSearchOutcome::Completed);
    EXPECT_TRUE(image->Reads().empty());
    EXPECT_EQ(list.partitionCount, 0u);
}

TEST_F(SearchTest, FindsBootSectorsAtBothProbesWithTheirOwnSizes)
{
    MakeDisk(16065 * 10);
    image->WriteSector(63, MakeNtfsBootSector(0x1'0000'2000ull));  // cylinder 0, head 1
    image->WriteSector(16065 * 2, MakeFat32BootSector(50000));    // cylinder 2, head 0
    image->WriteSector(16065 * 5 + 63, MakeFat16BootSector(4000)); // size at 32 is 0
    image->WriteSector(16065 * 7 + 100, MakeNtfsBootSector(100));  // between the probes: never seen
    EXPECT_EQ(Search({10, 255, 63}), QuickSearchOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 3u);
    EXPECT_EQ(list.records[0].startSector, 63u);
    EXPECT_EQ(list.records[0].sectorCount, 0x2000u);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    EXPECT_EQ(list.records[1].startSector, 16065u * 2);
    EXPECT_EQ(list.records[1].sectorCount, 50000u);
    EXPECT_EQ(list.records[1].fsType, core::kFsFat32);
    EXPECT_EQ(list.records[2].startSector, 16065u * 5 + 63);
    EXPECT_EQ(list.records[2].sectorCount, 0u);
    EXPECT_EQ(list.records[2].fsType, core::kFsFat16);
    ASSERT_EQ(tree.Items().size(), 4u);
    EXPECT_EQ(tree.Items()[0].text, "Storage Device 1");
    EXPECT_EQ(tree.Items()[3].text, "Partition 3 - FAT16");
    EXPECT_TRUE(tree.RootExpanded());
}

TEST_F(SearchTest, SignedSecondTrackThatIsNoBootSectorDecidesTheCylinder)
{
    MakeDisk(16065 * 2);
    image->WriteSector(63, MakeBootRecord({{0x07, 63, 100}}));  // an extended boot record
    image->WriteSector(0, MakeNtfsBootSector(1000));
    Search({2, 255, 63});
    EXPECT_EQ(list.partitionCount, 0u);
    EXPECT_EQ(image->Reads().front(), 63u);
    EXPECT_NE(image->Reads().at(1), 0u);  // sector 0 was not tried
}

TEST_F(SearchTest, SignatureNeedsBothBytes)
{
    MakeDisk(16065 * 2);
    SectorBytes half = MakeNtfsBootSector(1000);
    half[511] = 0;
    image->WriteSector(63, half);
    SectorBytes other = MakeFat32BootSector(2000);
    other[510] = 0;
    image->WriteSector(16065, other);
    Search({2, 255, 63});
    EXPECT_EQ(list.partitionCount, 0u);
}

TEST_F(SearchTest, UnreadableSecondTrackFallsBackToTheFirstSector)
{
    MakeDisk(16065 * 2);
    image->WriteSector(63, MakeNtfsBootSector(1000));
    image->MarkBad(63);
    image->WriteSector(0, MakeFat32BootSector(2000));
    Search({2, 255, 63});
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 0u);
    EXPECT_EQ(list.records[0].fsType, core::kFsFat32);
}

TEST_F(SearchTest, ThirtyPartitionsListTheLowestTwentyFive)
{
    MakeDisk(16065ull * 40);
    for (std::uint32_t k = 0; k < 30; ++k) {
        image->WriteSector(16065ull * k + 63, MakeNtfsBootSector(1000 + k));
    }
    EXPECT_EQ(Search({40, 255, 63}), QuickSearchOutcome::ListFull);
    ASSERT_EQ(list.partitionCount, kMaxPartitions);
    EXPECT_EQ(list.records[24].startSector, 16065u * 24 + 63);
    EXPECT_EQ(list.records[24].sectorCount, 1024u);
    EXPECT_EQ(image->Reads().back(), 16065u * 24 + 63);  // nothing read after the 25th
}

TEST_F(SearchTest, EmptiesTheEarlierListAndItsItems)
{
    MakeDisk(16065 * 2);
    AddPartition(list, tree, 63, 100, core::kFsNtfs);
    AddPartition(list, tree, 500, 100, core::kFsFat16);
    image->WriteSector(16065, MakeFat32BootSector(2000));
    Search({2, 255, 63});
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 16065u);
    ASSERT_EQ(tree.Items().size(), 2u);
    EXPECT_EQ(tree.Items()[1].text, "Partition 1 - FAT32");
}

TEST_F(SearchTest, ProgressRunsFromZeroTo99AndStatusIsSet)
{
    MakeDisk(16065ull * 200);
    Search({200, 255, 63});
    ASSERT_EQ(sink.statuses, std::vector<std::string>{"Searching For Partitions"});
    ASSERT_FALSE(sink.progress.empty());
    EXPECT_EQ(sink.progress.front(), 0);
    EXPECT_EQ(sink.progress.back(), 99);
    for (std::size_t i = 1; i < sink.progress.size(); ++i) {
        EXPECT_GT(sink.progress[i], sink.progress[i - 1]);
    }
    EXPECT_EQ(sink.progress.size(), 100u);
}

TEST_F(SearchTest, StopEndsBeforeTheNextCylinderAndKeepsWhatWasFound)
{
    MakeDisk(16065ull * 100);
    image->WriteSector(63, MakeNtfsBootSector(1000));
    image->WriteSector(16065ull * 90 + 63, MakeNtfsBootSector(1000));
    sink.stop = &stop;
    sink.stopAt = 10;  // requested while cylinder 10 is being probed
    EXPECT_EQ(Search({100, 255, 63}), QuickSearchOutcome::Stopped);
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 63u);
    // Eleven cylinders probed; cylinder 0 needed one read, its second track being the find.
    EXPECT_EQ(image->Reads().size(), 2u * 11u - 1);
}

TEST_F(SearchTest, StopAlreadySetReadsNothing)
{
    MakeDisk(16065ull * 10);
    stop.Request();
    EXPECT_EQ(Search({10, 255, 63}), QuickSearchOutcome::Stopped);
    EXPECT_TRUE(image->Reads().empty());
}

TEST_F(SearchTest, DiskBeyond32BitSectorsIsSearchedUpToTheLastSectorWithoutWrapping)
{
    // 300000 cylinders of 16065 sectors: about 4.8e9 sectors.
    MakeDisk(300000ull * 16065);
    constexpr std::uint64_t kLastCylinder = 267349;  // 267349 * 16065 + 63 < 2^32
    image->WriteSector(kLastCylinder * 16065 + 63, MakeNtfsBootSector(5000));
    // What cylinder 267350 would hit if its sector number wrapped to 32 bits.
    const std::uint64_t wrapped = (267350ull * 16065 + 63) & 0xFFFFFFFFull;
    image->WriteSector(wrapped, MakeFat32BootSector(7000));
    image->WriteSector(267350ull * 16065 + 63, MakeFat16BootSector(70000));

    EXPECT_EQ(Search({300000, 255, 64}), QuickSearchOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, kLastCylinder * 16065 + 63);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    std::uint64_t highest = 0;
    for (const auto read : image->Reads()) {
        highest = std::max(highest, read);
    }
    EXPECT_LE(highest, 0xFFFFFFFFull);
    EXPECT_EQ(image->Reads().size(), 2u * (kLastCylinder + 1) - 1);  // the last cylinder's find took one read
}

TEST_F(SearchTest, NoHeadsReadsNothingInsteadOfProbingSectorZeroForEveryCylinder)
{
    MakeDisk(16065ull * 10);
    image->WriteSector(63, MakeNtfsBootSector(1000));
    Search({1000, 0, 63});
    EXPECT_EQ(list.partitionCount, 0u);
    EXPECT_TRUE(image->Reads().empty());
}

}  // namespace
}  // namespace partitions

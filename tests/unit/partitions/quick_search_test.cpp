// Lost-partition quick search: the working geometry, the probes per cylinder and per 1 MiB boundary,
// classification and sizes, backup boot sectors, listing once and by start, the record limit,
// stopping and progress, and disks beyond 32-bit sector numbers.
#include "partitions/quick_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
        // cylinders; sectors are 64-bit, so the whole disk is searched.
        GeometryCase{"TranslatedBeyond32Bits", {300000, 255, 64}, {63, 255, 304761}},
        GeometryCase{"KeptBeyond32Bits", {1000000, 255, 63}, {63, 255, 1000000}},
        GeometryCase{"ProductBeyond64Bits", {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {63, 255, 0xFFFFFFFFu}}),
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

    // The whole 64-bit count.
    const auto ntfs = ClassifyBootSector(MakeNtfsBootSector(0x100000010ull));
    ASSERT_TRUE(ntfs);
    EXPECT_EQ(ntfs->fsType, core::kFsNtfs);
    EXPECT_EQ(ntfs->sectorCount, 0x100000010ull);

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

using Request = SparseDisk::Request;

TEST_F(SearchTest, ProbesCylindersAndBoundariesInSectorOrder)
{
    MakeDisk(1008 * 4);
    EXPECT_EQ(Search({4, 16, 63}), QuickSearchOutcome::Completed);
    // Per cylinder: its second track, then F - 1 and F together (cylinder 0: F alone). The 1 MiB
    // boundary at 2048 comes between cylinders 2 and 3; the sector before cylinder 4 ends the walk.
    EXPECT_EQ(image->Requests(), (std::vector<Request>{{63, 1},
                                                        {0, 1},
                                                        {1071, 1},
                                                        {1007, 2},
                                                        {2079, 1},
                                                        {2015, 2},
                                                        {2047, 2},
                                                        {3087, 1},
                                                        {3023, 2},
                                                        {4031, 1}}));
    EXPECT_EQ(list.partitionCount, 0u);
}

TEST_F(SearchTest, TranslatedGeometryProbesCylindersOf16065Sectors)
{
    MakeDisk(2048000);
    Search({1000, 64, 32});
    std::vector<Request> cylinderProbes;
    std::copy_if(image->Requests().begin(), image->Requests().end(), std::back_inserter(cylinderProbes),
                 [](const Request& r) { return (r.first + 1) % 16065 <= 1 || r.first % 16065 == 63; });
    // 127 cylinders of two probes each, and the sector before cylinder 127.
    ASSERT_EQ(cylinderProbes.size(), 2u * 127u + 1);
    EXPECT_EQ(cylinderProbes[0], (Request{63, 1}));
    EXPECT_EQ(cylinderProbes[1], (Request{0, 1}));
    EXPECT_EQ(cylinderProbes[252], (Request{126u * 16065u + 63u, 1}));
    EXPECT_EQ(cylinderProbes[253], (Request{126u * 16065u - 1, 2}));
    EXPECT_EQ(cylinderProbes[254], (Request{127u * 16065u - 1, 1}));
    // Every 1 MiB boundary of the 1000 MiB disk, none of which is a cylinder start.
    EXPECT_EQ(image->Requests().size(), cylinderProbes.size() + 1000u);
}

TEST_F(SearchTest, DiskSmallerThanOneTranslatedCylinderReadsItsBoundariesOnly)
{
    MakeDisk(10000);
    // 10 x 16 x 32 = 5120 sectors: no whole cylinder of 16065, two 1 MiB boundaries.
    EXPECT_EQ(Search({10, 16, 32}), QuickSearchOutcome::Completed);
    EXPECT_EQ(image->Requests(), (std::vector<Request>{{2047, 2}, {4095, 2}}));
    EXPECT_EQ(list.partitionCount, 0u);
}

TEST_F(SearchTest, TheLastBoundaryBeforeTheEndReadsOnlyTheSectorOnTheDisk)
{
    MakeDisk(4096);
    Search({4096, 1, 1});  // no cylinders of 63 sectors
    EXPECT_EQ(image->Requests(), (std::vector<Request>{{2047, 2}, {4095, 1}}));
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
    EXPECT_EQ(list.records[0].sectorCount, 0x1'0000'2000ull);
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
    EXPECT_EQ(list.partitionCount, 0u);  // sector 0 is read but not taken
    EXPECT_EQ(image->Reads().front(), 63u);
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

TEST_F(SearchTest, ThirtyVolumesOnBoundariesListTheLowestTwentyFive)
{
    MakeDisk(2048ull * 40);
    for (std::uint64_t m = 1; m <= 30; ++m) {
        image->WriteSector(2048 * m, MakeNtfsBootSector(2047, static_cast<std::uint32_t>(2048 * m)));
    }
    EXPECT_EQ(Search({0, 0, 0, 2048ull * 40}), QuickSearchOutcome::ListFull);
    ASSERT_EQ(list.partitionCount, kMaxPartitions);
    for (std::uint32_t i = 0; i < kMaxPartitions; ++i) {
        EXPECT_EQ(list.records[i].startSector, 2048u * (i + 1));
    }
    EXPECT_EQ(image->Requests().back(), (Request{2048 * 25 - 1, 2}));  // nothing read after the 25th
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
    sink.stopAt = 10;  // requested when the walk reaches cylinder 10
    EXPECT_EQ(Search({100, 255, 63}), QuickSearchOutcome::Stopped);
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 63u);
    // Cylinder 10 is probed (its two requests), then nothing more.
    EXPECT_EQ(image->Requests().back(), (Request{16065ull * 10 - 1, 2}));
}

TEST_F(SearchTest, StopAlreadySetReadsNothing)
{
    MakeDisk(16065ull * 10);
    stop.Request();
    EXPECT_EQ(Search({10, 255, 63}), QuickSearchOutcome::Stopped);
    EXPECT_TRUE(image->Reads().empty());
}

TEST_F(SearchTest, DiskBeyond32BitSectorsIsSearchedAsFarAsSectorNumbersReachWithoutWrapping)
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
    const bool wide = kLastSectorNumber > 0xFFFFFFFFull;
    ASSERT_EQ(list.partitionCount, wide ? 2u : 1u);
    EXPECT_EQ(list.records[0].startSector, kLastCylinder * 16065 + 63);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    if (wide) {
        EXPECT_EQ(list.records[1].fsType, core::kFsFat16);
    }
    for (const Request& r : image->Requests()) {
        ASSERT_LE(r.first + r.count - 1, kLastSectorNumber) << r.first;
    }
}

TEST_F(SearchTest, NoHeadsReadsNothingInsteadOfProbingSectorZeroForEveryCylinder)
{
    MakeDisk(16065ull * 10);
    image->WriteSector(63, MakeNtfsBootSector(1000));
    Search({1000, 0, 63});
    EXPECT_EQ(list.partitionCount, 0u);
    EXPECT_TRUE(image->Reads().empty());
}

TEST(LastSearchableSector, ModeFKeepsTheBiosLibrariesThirtyTwoBitLimit)
{
    disk::DiskState disk;
    EXPECT_EQ(LastSearchableSector(disk), kLastSectorNumber);
    disk.accessMode = 'F';
    EXPECT_EQ(LastSearchableSector(disk), 0xFFFFFFFFull);
    // A limit below the disk keeps only the cylinders that start at or below it.
    EXPECT_EQ(WorkingGeometry({1000, 255, 63}, 16065ull * 10).cylinders, 11u);
    EXPECT_EQ(WorkingGeometry({1000, 255, 63}, 16065ull * 10 - 1).cylinders, 10u);
}

// ---------------------------------------------------------------------------------------------
// Backup boot sectors

constexpr std::uint64_t kBackupAt = 18431;  // a volume of 16383 sectors at 2048 keeps its copy here

SectorBytes Backup()
{
    return MakeNtfsBootSector(16383, 2048);
}

template <typename T>
void Put(SectorBytes& s, std::size_t offset, T value)
{
    std::memcpy(s.data() + offset, &value, sizeof value);  // little-endian hosts only
}

struct BackupCase
{
    const char* name;
    void (*damage)(SectorBytes&);
    std::optional<std::uint64_t> start;  // empty: not accepted
    std::uint64_t at = kBackupAt;
};

class BackupDecodeTest : public ::testing::TestWithParam<BackupCase>
{
};

TEST_P(BackupDecodeTest, AcceptsOnlyACopyThatNamesAVolumeEndingHere)
{
    SectorBytes s = Backup();
    GetParam().damage(s);
    const auto backup = DecodeBackupBootSector(s, GetParam().at);
    ASSERT_EQ(backup.has_value(), GetParam().start.has_value());
    if (backup) {
        EXPECT_EQ(backup->volumeStart, *GetParam().start);
        EXPECT_EQ(backup->volumeStart + backup->totalSectors, GetParam().at);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BackupDecodeTest,
    ::testing::Values(
        BackupCase{"Intact", [](SectorBytes&) {}, 2048},
        BackupCase{"HiddenSectorsNotSet", [](SectorBytes& s) { Put<std::uint32_t>(s, 28, 0); }, 2048},
        BackupCase{"VolumeAtSectorZero", [](SectorBytes& s) { Put<std::uint32_t>(s, 28, 0); }, 0, 16383},
        BackupCase{"TwoMibClusters",
                   [](SectorBytes& s) {
                       s[13] = 0xF4;
                       Put<std::uint64_t>(s, 48, 1);
                       Put<std::uint64_t>(s, 56, 2);
                   },
                   2048},
        BackupCase{"TotalBeyondSectorZero", [](SectorBytes&) {}, std::nullopt, 16382},
        BackupCase{"TotalHuge", [](SectorBytes& s) { Put<std::uint64_t>(s, 40, ~0ull); }, std::nullopt},
        BackupCase{"TotalZero", [](SectorBytes& s) { Put<std::uint64_t>(s, 40, 0); }, std::nullopt},
        BackupCase{"NoSignature", [](SectorBytes& s) { s[511] = 0; }, std::nullopt},
        BackupCase{"OemNameNotPadded", [](SectorBytes& s) { s[7] = 'X'; }, std::nullopt},
        BackupCase{"Fat32TextWins", [](SectorBytes& s) { s[85] = '3'; s[86] = '2'; }, std::nullopt},
        BackupCase{"FourKiBSectors", [](SectorBytes& s) { Put<std::uint16_t>(s, 11, 4096); }, std::nullopt},
        BackupCase{"ClusterSizeNotAPowerOfTwo", [](SectorBytes& s) { s[13] = 3; }, std::nullopt},
        BackupCase{"ClusterSizeZero", [](SectorBytes& s) { s[13] = 0; }, std::nullopt},
        BackupCase{"ClusterCodeTooLarge", [](SectorBytes& s) { s[13] = 0xE0; }, std::nullopt},
        BackupCase{"MftBeyondTheVolume", [](SectorBytes& s) { Put<std::uint64_t>(s, 48, 2048); }, std::nullopt},
        BackupCase{"MftClusterOverflows", [](SectorBytes& s) { Put<std::uint64_t>(s, 48, ~0ull / 4); }, std::nullopt},
        BackupCase{"MftMirrBeyondTheVolume", [](SectorBytes& s) { Put<std::uint64_t>(s, 56, 1ull << 40); },
                   std::nullopt},
        // A first boot sector lying where a copy could be: it names its own start.
        BackupCase{"HiddenSectorsNameAnotherStart", [](SectorBytes& s) { Put<std::uint32_t>(s, 28, kBackupAt); },
                   std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackupDecode, ShortBufferIsNoBackup)
{
    const SectorBytes s = Backup();
    EXPECT_FALSE(DecodeBackupBootSector(std::span(s).first(511), kBackupAt));
    EXPECT_FALSE(DecodeBackupBootSector({}, kBackupAt));
}

// ---------------------------------------------------------------------------------------------
// Today's layouts: volumes on 1 MiB boundaries, found by their first or their backup boot sector

class AlignedSearchTest : public SearchTest
{
protected:
    // A disk of `mib` MiB that reports the translated geometry of its size, as images do.
    QuickSearchOutcome SearchMib(std::uint64_t mib)
    {
        const std::uint64_t sectors = mib * 2048;
        return Search({static_cast<std::uint32_t>(sectors / 16065), 255, 63, sectors});
    }
};

TEST_F(AlignedSearchTest, VolumesOnBoundariesAreFound)
{
    MakeDisk(64 * 2048);
    image->WriteSector(2048, MakeNtfsBootSector(16383, 2048));
    image->WriteSector(18432, MakeFat32BootSector(20480, 18432));
    image->WriteSector(40960, MakeNtfsBootSector(0x1'0000'2000ull));  // size: all 64 bits
    EXPECT_EQ(SearchMib(64), QuickSearchOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 3u);
    EXPECT_EQ(list.records[0].startSector, 2048u);
    EXPECT_EQ(list.records[0].sectorCount, 16383u);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    EXPECT_EQ(list.records[1].startSector, 18432u);
    EXPECT_EQ(list.records[1].fsType, core::kFsFat32);
    EXPECT_EQ(list.records[2].startSector, 40960u);
    EXPECT_EQ(list.records[2].sectorCount, 0x1'0000'2000ull);
    ASSERT_EQ(tree.Items().size(), 4u);
    EXPECT_EQ(tree.Items()[1].text, "Partition 1 - NTFS");
    EXPECT_EQ(tree.Items()[2].text, "Partition 2 - FAT32");
}

TEST_F(AlignedSearchTest, VolumeWhoseFirstBootSectorIsGoneIsFoundByItsBackup)
{
    MakeDisk(64 * 2048);
    image->WriteSector(kBackupAt, Backup());
    EXPECT_EQ(SearchMib(64), QuickSearchOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 2048u);
    EXPECT_EQ(list.records[0].sectorCount, 16383u);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    // The boundary pair that held the copy, then the volume's first sector to see it is gone.
    const auto& requests = image->Requests();
    const auto pair = std::find(requests.begin(), requests.end(), Request{kBackupAt, 2});
    ASSERT_NE(pair, requests.end());
    ASSERT_NE(pair + 1, requests.end());
    EXPECT_EQ(pair[1], (Request{2048, 1}));
}

TEST_F(AlignedSearchTest, VolumeFoundByBothBootSectorsIsListedOnce)
{
    MakeDisk(64 * 2048);
    image->WriteSector(2048, Backup());
    image->WriteSector(kBackupAt, Backup());
    SearchMib(64);
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 2048u);
    // Already listed: its first sector is not read again for the copy.
    EXPECT_EQ(std::count(image->Reads().begin(), image->Reads().end(), 2048u), 0);
}

struct FirstSectorCase
{
    const char* name;
    void (*prepare)(SparseDisk&, std::uint64_t start);
    bool listed;
};

class BackupFirstSectorTest : public AlignedSearchTest, public ::testing::WithParamInterface<FirstSectorCase>
{
};

// A volume of 16000 sectors at 2431 (no probe place) keeps its copy at 18431: what lies at 2431
// decides whether the copy is believed.
TEST_P(BackupFirstSectorTest, CopyIsBelievedWhenTheFirstSectorIsGoneOrTheSameVolume)
{
    MakeDisk(64 * 2048);
    SectorBytes copy = MakeNtfsBootSector(16000, 2431);
    Put<std::uint64_t>(copy, 72, 0x1122334455667788ull);
    image->WriteSector(kBackupAt, copy);
    GetParam().prepare(*image, 2431);
    SearchMib(64);
    if (GetParam().listed) {
        ASSERT_EQ(list.partitionCount, 1u);
        EXPECT_EQ(list.records[0].startSector, 2431u);
        EXPECT_EQ(list.records[0].sectorCount, 16000u);
    } else {
        EXPECT_EQ(list.partitionCount, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BackupFirstSectorTest,
    ::testing::Values(
        FirstSectorCase{"Zeroed", [](SparseDisk&, std::uint64_t) {}, true},
        FirstSectorCase{"Unreadable", [](SparseDisk& d, std::uint64_t at) { d.MarkBad(at); }, true},
        FirstSectorCase{"SameVolume",
                        [](SparseDisk& d, std::uint64_t at) {
                            SectorBytes s = MakeNtfsBootSector(16000, 2431);
                            Put<std::uint64_t>(s, 72, 0x1122334455667788ull);
                            d.WriteSector(at, s);
                        },
                        true},
        FirstSectorCase{"AnotherVolume",
                        [](SparseDisk& d, std::uint64_t at) { d.WriteSector(at, MakeNtfsBootSector(16000, 2431)); },
                        false},
        FirstSectorCase{"OtherData",
                        [](SparseDisk& d, std::uint64_t at) { d.WriteSector(at, SectorBytes{0x11}); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlignedSearchTest, BogusCopiesAreNotListed)
{
    MakeDisk(64 * 2048);
    image->WriteSector(kBackupAt, MakeNtfsBootSector(kBackupAt + 1));      // starts before sector 0
    image->WriteSector(2 * kBackupAt + 1, MakeNtfsBootSector(~0ull));     // 36863: a total that fits nothing
    SectorBytes noClusters = MakeNtfsBootSector(16383);
    noClusters[13] = 0;
    image->WriteSector(8 * 2048 - 1, noClusters);
    EXPECT_EQ(SearchMib(64), QuickSearchOutcome::Completed);
    EXPECT_EQ(list.partitionCount, 0u);
}

TEST_F(AlignedSearchTest, CylinderAlignedVolumeIsFoundByTheCopyBeforeTheNextCylinder)
{
    MakeDisk(16065ull * 4);
    // An NTFS partition at 63 of one cylinder less 63 sectors: mkntfs writes 16001 sectors and
    // keeps the copy in the partition's last sector, 16064.
    image->WriteSector(16064, MakeNtfsBootSector(16001, 63));
    // The same at cylinder 2, ending with the disk's last whole cylinder.
    image->WriteSector(16065 * 4 - 1, MakeNtfsBootSector(16001, 16065 * 3 + 63));
    EXPECT_EQ(Search({4, 255, 63}), QuickSearchOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 2u);
    EXPECT_EQ(list.records[0].startSector, 63u);
    EXPECT_EQ(list.records[0].sectorCount, 16001u);
    EXPECT_EQ(list.records[1].startSector, 16065u * 3 + 63);
}

TEST_F(AlignedSearchTest, VolumesAreListedByStartWhateverFoundThemFirst)
{
    MakeDisk(64 * 2048);
    image->WriteSector(kBackupAt, Backup());               // reached at 18432: start 2048
    image->WriteSector(16065, MakeFat32BootSector(2000));  // reached at 16065
    SearchMib(64);
    ASSERT_EQ(list.partitionCount, 2u);
    EXPECT_EQ(list.records[0].startSector, 2048u);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    EXPECT_EQ(list.records[1].startSector, 16065u);
    EXPECT_EQ(list.records[1].fsType, core::kFsFat32);
    EXPECT_EQ(tree.Items()[1].text, "Partition 1 - NTFS");
    EXPECT_EQ(tree.Items()[2].text, "Partition 2 - FAT32");
}

TEST_F(AlignedSearchTest, StopAnswersWithinOneProbePlace)
{
    MakeDisk(1024 * 2048);
    sink.stop = &stop;
    sink.stopAt = 50;
    EXPECT_EQ(SearchMib(1024), QuickSearchOutcome::Stopped);
    // Halfway: the probe place at which 50 was reported is the last one read.
    ASSERT_FALSE(image->Requests().empty());
    EXPECT_EQ(image->Requests().back(), (Request{512 * 2048 - 1, 2}));
    EXPECT_EQ(sink.progress.back(), 50);
}

}  // namespace
}  // namespace partitions

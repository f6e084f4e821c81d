// Catalog: clears, counters, the FAT duplicate rule, the file-system record load, and the
// indexed lookups against a plain walk of the lists.
#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace catalog {
namespace {

std::vector<std::size_t> ToVector(Catalog::Positions positions)
{
    return {positions.begin(), positions.end()};
}

template <typename List, typename Pred>
std::vector<std::size_t> Walk(const List& list, Pred pred)
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (pred(list[i]))
            found.push_back(i);
    }
    return found;
}

template <typename List, typename Pred>
std::optional<std::size_t> WalkFirst(const List& list, Pred pred)
{
    const auto all = Walk(list, pred);
    return all.empty() ? std::nullopt : std::optional<std::size_t>(all.front());
}

// One entry in every list, counters as the scans would leave them.
void FillEverything(Catalog& c)
{
    c.AddNtfsFolder({.name = "dir", .record = 30, .parent = 5});
    c.AddNtfsFile({.name = "f", .record = 31, .parent = 30, .dataRecordSector = 1000});
    ++c.fileCount;
    c.AddFatFolder({.name = "FATDIR", .cluster = 7});
    c.AddFatFile({.name = "FATFILE", .cluster = 9, .parentCluster = 7});
    ++c.fileCount;
    c.AddBootHit(63);
    ++c.bootHitCount;
    c.AddFoundIndexRecord({.sector = 500, .owner = 30, .vcn = 0, .fsNumber = -1, .sectors = 8});
    ++c.indexRecordCount;
    c.AddFoundFolder({.name = "found", .sector = 400, .parent = 5});
    c.AddFoundFile({.name = "ffile", .sector = 402, .parent = 30});
    c.AddFileSystem({.params = {.type = core::kFsNtfs, .clusterBase = 63}, .key = 77});
    ++c.fileSystemCount;
}

struct ListSizes
{
    std::size_t ntfs, fat, sweep;
};

ListSizes Sizes(const Catalog& c)
{
    return {c.NtfsFolders().size() + c.NtfsFiles().size(), c.FatFolders().size() + c.FatFiles().size(),
            c.BootSectorHits().size() + c.FoundIndexRecords().size() + c.FoundFolders().size() +
                c.FoundFiles().size() + c.FileSystems().size()};
}

struct ClearCase
{
    const char* what;
    std::function<void(Catalog&)> clear;
    bool ntfsGone, fatGone, sweepGone;
};

class CatalogClearTest : public ::testing::TestWithParam<ClearCase>
{
};

TEST_P(CatalogClearTest, TouchesOnlyItsOwnListsAndCounters)
{
    const ClearCase& tc = GetParam();
    Catalog c;
    FillEverything(c);
    ASSERT_EQ(c.folderCount, 2u);
    ASSERT_EQ(c.fileCount, 2u);
    tc.clear(c);

    const ListSizes s = Sizes(c);
    EXPECT_EQ(s.ntfs, tc.ntfsGone ? 0u : 2u);
    EXPECT_EQ(s.fat, tc.fatGone ? 0u : 2u);
    EXPECT_EQ(s.sweep, tc.sweepGone ? 0u : 5u);
    // folderCount and fileCount are shared by the NTFS and FAT lists; either clear zeroes them.
    const bool entryCountersGone = tc.ntfsGone || tc.fatGone;
    EXPECT_EQ(c.folderCount, entryCountersGone ? 0u : 2u);
    EXPECT_EQ(c.fileCount, entryCountersGone ? 0u : 2u);
    for (std::uint32_t counter : {c.bootHitCount, c.indexRecordCount, c.foundFolderCount, c.foundFileCount,
                                  std::uint32_t{c.fileSystemCount}})
        EXPECT_EQ(counter, tc.sweepGone ? 0u : 1u);

    // The indexes went with their lists, and only with them.
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(1000).has_value(), !tc.ntfsGone);
    EXPECT_EQ(c.NtfsFolderWithRecord(30).has_value(), !tc.ntfsGone);
    EXPECT_EQ(c.FatFolderWithCluster(7).has_value(), !tc.fatGone);
    EXPECT_EQ(c.FatFileWithSerial(1).has_value(), !tc.fatGone);
    EXPECT_EQ(c.FoundFileWithSector(402).has_value(), !tc.sweepGone);
    EXPECT_EQ(c.FoundIndexRecordsWithOwner(30).empty(), tc.sweepGone);
    EXPECT_EQ(c.FoundFoldersWithFsNumber(0).empty(), tc.sweepGone);
}

INSTANTIATE_TEST_SUITE_P(
    Clears, CatalogClearTest,
    ::testing::Values(ClearCase{"ntfs", [](Catalog& c) { c.ClearNtfsLists(); }, true, false, false},
                      ClearCase{"fat", [](Catalog& c) { c.ClearFatLists(); }, false, true, false},
                      ClearCase{"sweep", [](Catalog& c) { c.ClearSweepLists(); }, false, false, true},
                      ClearCase{"all",
                                [](Catalog& c) {
                                    c.ClearSweepLists();
                                    c.ClearFatLists();
                                    c.ClearNtfsLists();
                                },
                                true, true, true}),
    [](const auto& row) { return std::string(row.param.what); });

TEST(Catalog, ClearingEmptyListsIsHarmless)
{
    Catalog c;
    c.ClearNtfsLists();
    c.ClearFatLists();
    c.ClearSweepLists();
    EXPECT_EQ(Sizes(c).ntfs + Sizes(c).fat + Sizes(c).sweep, 0u);
    EXPECT_EQ(c.folderCount + c.fileCount + c.bootHitCount + c.indexRecordCount + c.foundFolderCount +
                  c.foundFileCount + c.fileSystemCount,
              0u);
    EXPECT_FALSE(c.NtfsFolderWithTreeItem(0).has_value());
    EXPECT_TRUE(c.NtfsFilesWithParent(5).empty());
}

TEST(Catalog, CountersRiseOnlyWhereTheAddOperationRaisesThem)
{
    Catalog c;
    c.AddNtfsFolder({.name = "a", .record = 40, .parent = 5});
    c.AddNtfsFile({.name = "b", .record = 41, .parent = 40});
    c.AddBootHit(1);
    c.AddFoundIndexRecord({.sector = 2, .owner = 9});
    c.AddFileSystem({});
    EXPECT_EQ(c.folderCount, 1u);
    EXPECT_EQ(c.fileCount, 0u);
    EXPECT_EQ(c.bootHitCount, 0u);
    EXPECT_EQ(c.indexRecordCount, 0u);
    EXPECT_EQ(c.fileSystemCount, 0u);
    c.AddFoundFolder({.name = "x", .sector = 3});
    c.AddFoundFile({.name = "y", .sector = 5});
    c.AddFoundFile({.name = "z", .sector = 7});
    EXPECT_EQ(c.foundFolderCount, 1u);
    EXPECT_EQ(c.foundFileCount, 2u);
}

TEST(Catalog, FatFileSerialIsTheFileCountAtAddTime)
{
    Catalog c;
    c.fileCount = 41;
    c.AddFatFile({.name = "A", .serial = 999});
    EXPECT_EQ(c.FatFiles().back().serial, 41u);
    ++c.fileCount;
    c.AddFatFile({.name = "B"});
    EXPECT_EQ(c.FatFiles().back().serial, 42u);
    EXPECT_EQ(c.FatFileWithSerial(42), 1u);
    EXPECT_FALSE(c.FatFileWithSerial(999).has_value());
    // A caller that forgets to raise the count gets a repeated serial; the lookup finds the first.
    c.AddFatFile({.name = "C"});
    EXPECT_EQ(c.FatFileWithSerial(42), 1u);
}

TEST(Catalog, FatFolderWithAKnownClusterIsDropped)
{
    Catalog c;
    EXPECT_TRUE(c.AddFatFolder({.name = "FIRST", .cluster = 12, .parentCluster = 0}));
    EXPECT_FALSE(c.AddFatFolder({.name = "SECOND", .cluster = 12, .parentCluster = 3}));
    EXPECT_TRUE(c.AddFatFolder({.name = "OTHER", .cluster = 13}));
    ASSERT_EQ(c.FatFolders().size(), 2u);
    EXPECT_EQ(c.FatFolders()[0].name, "FIRST");
    EXPECT_EQ(c.folderCount, 2u);
    EXPECT_TRUE(c.FatFoldersWithParent(3).empty());
    // After a clear the cluster is free again.
    c.ClearFatLists();
    EXPECT_TRUE(c.AddFatFolder({.name = "AGAIN", .cluster = 12}));
    EXPECT_EQ(c.folderCount, 1u);
}

TEST(Catalog, EmptyNameStillTakesARecord)
{
    Catalog c;
    c.AddNtfsFolder({.name = "", .record = 50, .parent = 5});
    c.AddFoundFile({.name = "", .sector = 9});
    ASSERT_EQ(c.NtfsFolders().size(), 1u);
    EXPECT_EQ(c.NtfsFolders()[0].name, "");
    EXPECT_EQ(c.folderCount, 1u);
    EXPECT_EQ(c.FoundFileWithSector(9), 0u);
}

VolumeParams Distinct(std::uint32_t base)
{
    return {static_cast<core::FsTypeCode>(0), base + 2,  base + 3,  base + 4,
            base + 5, base + 6,  base + 7,  base + 8,
            base + 9, static_cast<std::int32_t>(base + 10), static_cast<std::int32_t>(base + 11),
            static_cast<std::int32_t>(base + 12), static_cast<std::int32_t>(base + 13), base + 14};
}

TEST(Catalog, LoadingAnNtfsRecordKeepsTheFatFields)
{
    Catalog c;
    c.volumeParams = Distinct(100);
    VolumeParams found = Distinct(200);
    found.type = core::kFsNtfs;
    c.AddFileSystem({.params = {}, .key = 1});
    c.AddFileSystem({.params = found, .key = 2});
    ASSERT_TRUE(c.LoadFileSystemRecord(2));
    const VolumeParams& v = c.volumeParams;
    EXPECT_EQ(c.selectedFileSystem, 2);
    EXPECT_EQ(v.type, core::kFsNtfs);
    EXPECT_EQ(v.fatSectors, 202u);
    EXPECT_EQ(v.sectorsPerCluster, 203u);
    EXPECT_EQ(v.rootDirSectors, 104u);
    EXPECT_EQ(v.rootDirStart, 105u);
    EXPECT_EQ(v.reservedSectors, 106u);
    EXPECT_EQ(v.clusterBase, 207u);
    EXPECT_EQ(v.fat1Start, 108u);
    EXPECT_EQ(v.fat2Start, 109u);
    EXPECT_EQ(v.mftSector, 210);
    EXPECT_EQ(v.mftMirrSector, 211);
    EXPECT_EQ(v.sectorsPerFileRecord, 112);
    EXPECT_EQ(v.indexRecordSectors, 213);
    EXPECT_EQ(v.endSector, 214u);
}

TEST(Catalog, LoadingAFatRecordKeepsTheNtfsFields)
{
    Catalog c;
    c.volumeParams = Distinct(100);
    VolumeParams found = Distinct(200);
    found.type = core::kFsFat32;
    c.AddFileSystem({.params = found, .key = 1});
    ASSERT_TRUE(c.LoadFileSystemRecord(1));
    const VolumeParams& v = c.volumeParams;
    EXPECT_EQ(c.selectedFileSystem, 1);
    EXPECT_EQ(v.type, core::kFsFat32);
    EXPECT_EQ(v.fatSectors, 202u);
    EXPECT_EQ(v.rootDirSectors, 204u);
    EXPECT_EQ(v.fat2Start, 209u);
    EXPECT_EQ(v.mftSector, 110);
    EXPECT_EQ(v.mftMirrSector, 111);
    EXPECT_EQ(v.sectorsPerFileRecord, 112);
    EXPECT_EQ(v.indexRecordSectors, 113);
    EXPECT_EQ(v.endSector, 214u);
}

TEST(Catalog, LoadingANonexistentOrUnknownRecordChangesNothing)
{
    Catalog c;
    c.volumeParams = Distinct(100);
    c.selectedFileSystem = 1;
    VolumeParams odd = Distinct(200);
    odd.type = 400;
    c.AddFileSystem({.params = odd});
    for (std::size_t number : {std::size_t{0}, std::size_t{1}, std::size_t{2}})
        EXPECT_FALSE(c.LoadFileSystemRecord(number)) << number;
    EXPECT_EQ(c.selectedFileSystem, 1);
    EXPECT_EQ(c.volumeParams.clusterBase, 107u);
    EXPECT_EQ(c.volumeParams.type, 0);
}

// A catalog with few distinct keys, so that every lookup meets repeats, compared lookup by
// lookup with the walk of the lists; then the fields written after add change and the lookups
// are compared again.
TEST(CatalogLookups, GiveTheSameAnswersInTheSameOrderAsTheWalk)
{
    std::mt19937 rng(20240611);
    auto pick = [&rng](std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng); };
    auto fs = [&pick]() { return static_cast<std::int16_t>(static_cast<int>(pick(5)) - 1); };

    Catalog c;
    for (int round = 0; round < 2; ++round) {
        c.ClearNtfsLists();
        c.ClearFatLists();
        c.ClearSweepLists();
        for (int i = 0; i < 3000; ++i) {
            c.AddNtfsFolder({.name = "d" + std::to_string(pick(50)), .record = pick(400), .parent = pick(60),
                             .treeItem = pick(3) == 0 ? pick(100) : 0});
            c.AddNtfsFile({.name = "f", .record = pick(1000), .parent = pick(60), .dataRecordSector = pick(2500)});
            ++c.fileCount;
            c.AddFatFolder({.name = "D", .cluster = pick(2000), .parentCluster = pick(40), .treeItem = pick(20)});
            c.AddFatFile({.name = "F", .parentCluster = pick(40)});
            if (pick(4) != 0)
                ++c.fileCount;
            c.AddFoundIndexRecord({.sector = pick(900), .owner = pick(200), .vcn = pick(2), .fsNumber = fs()});
            c.AddFoundFolder({.name = "n" + std::to_string(pick(3)), .sector = pick(5000), .parent = pick(30),
                              .record = pick(3) == 0 ? pick(10) : 0, .fsNumber = fs(), .created = pick(4)});
            c.AddFoundFile({.name = "g", .sector = pick(2500), .parent = pick(60), .fsNumber = fs()});
        }

        for (int phase = 0; phase < 3; ++phase) {
            for (std::uint32_t k = 0; k < 70; ++k) {
                EXPECT_EQ(ToVector(c.NtfsFoldersWithParent(k)), Walk(c.NtfsFolders(), [k](auto& e) { return e.parent == k; }));
                EXPECT_EQ(ToVector(c.NtfsFilesWithParent(k)), Walk(c.NtfsFiles(), [k](auto& e) { return e.parent == k; }));
                EXPECT_EQ(ToVector(c.FatFoldersWithParent(k)),
                          Walk(c.FatFolders(), [k](auto& e) { return e.parentCluster == k; }));
                EXPECT_EQ(ToVector(c.FatFilesWithParent(k)), Walk(c.FatFiles(), [k](auto& e) { return e.parentCluster == k; }));
                EXPECT_EQ(ToVector(c.FoundFilesWithParent(k)), Walk(c.FoundFiles(), [k](auto& e) { return e.parent == k; }));
            }
            for (std::uint32_t k = 0; k < 2600; k += 7) {
                EXPECT_EQ(c.NtfsFolderWithRecord(k), WalkFirst(c.NtfsFolders(), [k](auto& e) { return e.record == k; }));
                EXPECT_EQ(c.NtfsFolderWithTreeItem(k), WalkFirst(c.NtfsFolders(), [k](auto& e) { return e.treeItem == k; }));
                EXPECT_EQ(c.NtfsFileWithDataRecordSector(k),
                          WalkFirst(c.NtfsFiles(), [k](auto& e) { return e.dataRecordSector == k; }));
                EXPECT_EQ(c.FatFolderWithCluster(k), WalkFirst(c.FatFolders(), [k](auto& e) { return e.cluster == k; }));
                EXPECT_EQ(c.FatFolderWithTreeItem(k), WalkFirst(c.FatFolders(), [k](auto& e) { return e.treeItem == k; }));
                EXPECT_EQ(c.FatFileWithSerial(k), WalkFirst(c.FatFiles(), [k](auto& e) { return e.serial == k; }));
                EXPECT_EQ(c.FoundFileWithSector(k), WalkFirst(c.FoundFiles(), [k](auto& e) { return e.sector == k; }));
                EXPECT_EQ(ToVector(c.FoundIndexRecordsAtSector(k)),
                          Walk(c.FoundIndexRecords(), [k](auto& e) { return e.sector == k; }));
                EXPECT_EQ(ToVector(c.FoundIndexRecordsWithOwner(k)),
                          Walk(c.FoundIndexRecords(), [k](auto& e) { return e.owner == k; }));
            }
            for (std::int16_t n = -2; n < 6; ++n) {
                EXPECT_EQ(ToVector(c.FoundFoldersWithFsNumber(n)), Walk(c.FoundFolders(), [n](auto& e) { return e.fsNumber == n; }));
                EXPECT_EQ(ToVector(c.FoundFilesWithFsNumber(n)), Walk(c.FoundFiles(), [n](auto& e) { return e.fsNumber == n; }));
                EXPECT_EQ(ToVector(c.FoundIndexRecordsWithFsNumber(n)),
                          Walk(c.FoundIndexRecords(), [n](auto& e) { return e.fsNumber == n; }));
            }
            for (std::uint32_t parent = 0; parent < 32; ++parent) {
                for (FileTime created = 0; created < 5; ++created) {
                    for (const char* name : {"n0", "n1", "n2", "N0"}) {
                        EXPECT_EQ(c.FirstUnnumberedFoundFolder(parent, created, name),
                                  WalkFirst(c.FoundFolders(), [&](auto& e) {
                                      return e.record == 0 && e.parent == parent && e.created == created && e.name == name;
                                  }));
                    }
                }
            }
            if (::testing::Test::HasFailure())
                return;

            // The tree build and the analysis write their fields; lookups must follow. Between
            // writes, keep looking up to catch an index rebuilt too early or not at all.
            for (std::size_t i = 0; i < c.NtfsFolders().size(); i += 1 + pick(3)) {
                c.SetNtfsFolderTreeItem(i, pick(100));
                if (i % 97 == 0) {
                    const std::uint32_t k = pick(100);
                    EXPECT_EQ(c.NtfsFolderWithTreeItem(k), WalkFirst(c.NtfsFolders(), [k](auto& e) { return e.treeItem == k; }));
                }
            }
            for (std::size_t i = 0; i < c.FatFolders().size(); i += 1 + pick(3))
                c.SetFatFolderTreeItem(i, pick(20));
            for (std::size_t i = 0; i < c.FoundFolders().size(); i += 1 + pick(3)) {
                c.SetFoundFolderFsNumber(i, fs());
                c.SetFoundFolderRecord(i, pick(2) == 0 ? 0 : pick(10));
            }
            for (std::size_t i = 0; i < c.FoundFiles().size(); i += 1 + pick(5))
                c.SetFoundFileFsNumber(i, fs());
            for (std::size_t i = 0; i < c.FoundIndexRecords().size(); i += 1 + pick(3)) {
                c.SetFoundIndexRecordFsNumber(i, fs());
                if (i % 101 == 0) {
                    EXPECT_EQ(ToVector(c.FoundIndexRecordsWithFsNumber(-1)),
                              Walk(c.FoundIndexRecords(), [](auto& e) { return e.fsNumber == -1; }));
                }
            }
            // More appends after the writes go to the rebuilt indexes.
            for (int i = 0; i < 200; ++i) {
                c.AddNtfsFolder({.name = "late", .record = pick(400), .parent = pick(60), .treeItem = pick(100)});
                c.AddFoundFolder({.name = "n1", .sector = pick(5000), .parent = pick(30), .fsNumber = fs(), .created = 1});
                c.AddFoundIndexRecord({.sector = pick(900), .owner = pick(200), .fsNumber = fs()});
            }
        }
    }
}

TEST(CatalogLookups, RangesAreEmptyForUnknownKeysAndStableUnderGrowth)
{
    Catalog c;
    // Many keys force the tables to grow several times; consecutive keys must stay findable.
    for (std::uint32_t i = 0; i < 20000; ++i)
        c.AddNtfsFile({.name = "f", .parent = i % 3, .dataRecordSector = i * 2});
    EXPECT_FALSE(c.NtfsFileWithDataRecordSector(1).has_value());
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(39998), 19999u);
    EXPECT_TRUE(c.NtfsFilesWithParent(3).empty());
    EXPECT_EQ(ToVector(c.NtfsFilesWithParent(2)).size(), 6666u);
    EXPECT_GT(c.MemoryBytes(), 20000 * sizeof(NtfsFileEntry));
}

// Files are looked up by sector through an index built at the first such lookup: files added
// before it, after it and after a clear must all be found, first position first.
TEST(CatalogLookups, FilesBySectorAcrossTheFirstLookupAndAClear)
{
    Catalog c;
    auto add = [&c](std::uint32_t record, core::Sector sector) {
        c.AddNtfsFile({.name = "f", .record = record, .parent = 5, .dataRecordSector = sector});
        ++c.fileCount;
    };
    EXPECT_FALSE(c.NtfsFileWithDataRecordSector(0).has_value());
    add(40, 100);
    add(41, 102);
    add(42, 100);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(100), 0u);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(102), 1u);
    add(43, 104);
    add(44, 102);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(104), 3u);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(102), 1u);
    EXPECT_FALSE(c.NtfsFileWithDataRecordSector(106).has_value());

    c.ClearNtfsLists();
    EXPECT_FALSE(c.NtfsFileWithDataRecordSector(100).has_value());
    add(50, 104);
    add(51, 100);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(100), 1u);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(104), 0u);
}

// Sectors beyond 2^32 are keys of their own: one that equals another in its low 32 bits is not
// taken for it, in every lookup by sector.
TEST(CatalogLookups, SectorsThatShareTheirLow32BitsAreDifferentKeys)
{
    constexpr core::Sector kHigh = (core::Sector{1} << 32) + 100;
    Catalog c;
    c.AddNtfsFile({.name = "low", .record = 40, .parent = 5, .dataRecordSector = 100});
    c.AddNtfsFile({.name = "high", .record = 41, .parent = 5, .dataRecordSector = kHigh});
    c.AddFoundFile({.name = "high", .sector = kHigh, .parent = 5});
    c.AddFoundFile({.name = "low", .sector = 100, .parent = 5});
    c.AddFoundIndexRecord({.sector = kHigh, .owner = 7});
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(kHigh), 1u);
    EXPECT_EQ(c.NtfsFileWithDataRecordSector(100), 0u);
    EXPECT_EQ(c.FoundFileWithSector(kHigh), 0u);
    EXPECT_EQ(c.FoundFileWithSector(100), 1u);
    EXPECT_FALSE(c.FoundFileWithSector(kHigh + 1).has_value());
    EXPECT_FALSE(c.FoundIndexRecordsAtSector(kHigh).empty());
    EXPECT_TRUE(c.FoundIndexRecordsAtSector(100).empty());
    // Many keys apart by 2^32 only: the slots grow and still tell them apart.
    for (core::Sector k = 1; k <= 3000; ++k) {
        c.AddFoundFile({.name = "n", .sector = (k << 32) | 7, .parent = 5});
    }
    EXPECT_EQ(c.FoundFileWithSector((core::Sector{1234} << 32) | 7), 2u + 1233u);
    EXPECT_FALSE(c.FoundFileWithSector(7).has_value());
}

// Room made ahead of the adds changes no answer, whether the hint is too small, too large or
// given to lists that already hold entries.
TEST(CatalogLookups, ReservedRoomChangesNoAnswer)
{
    std::mt19937 rng(7);
    auto pick = [&rng](std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng); };
    Catalog plain;
    Catalog reserved;
    reserved.ReserveNtfsLists(10, 50);
    for (int i = 0; i < 4000; ++i) {
        if (i == 1000)
            reserved.ReserveNtfsLists(3000, 100000);
        const NtfsFolderEntry folder{.name = "d", .record = pick(500), .parent = pick(40)};
        const NtfsFileEntry file{.name = "f", .record = 600 + pick(9000), .parent = pick(40),
                                 .dataRecordSector = pick(5000)};
        for (Catalog* c : {&plain, &reserved}) {
            c->AddNtfsFolder(folder);
            c->AddNtfsFile(file);
        }
    }
    ASSERT_EQ(reserved.NtfsFiles().size(), 4000u);
    ASSERT_EQ(reserved.folderCount, 4000u);
    for (std::uint32_t k = 0; k < 5000; ++k) {
        EXPECT_EQ(ToVector(reserved.NtfsFilesWithParent(k)), ToVector(plain.NtfsFilesWithParent(k)));
        EXPECT_EQ(ToVector(reserved.NtfsFoldersWithParent(k)), ToVector(plain.NtfsFoldersWithParent(k)));
        EXPECT_EQ(reserved.NtfsFolderWithRecord(k), plain.NtfsFolderWithRecord(k));
        EXPECT_EQ(reserved.NtfsFileWithDataRecordSector(k), plain.NtfsFileWithDataRecordSector(k));
    }
    for (std::size_t i = 0; i < 4000; ++i)
        EXPECT_EQ(reserved.NtfsFiles()[i].record, plain.NtfsFiles()[i].record);
}

// The budget of a large scan: about 100 bytes per entry, indexes included, beside a name that
// fits the string's inline buffer (bench/catalog_memory.cpp measures the heap itself).
TEST(CatalogMemory, StaysNearAHundredBytesPerEntry)
{
    constexpr std::uint32_t kEntries = 150000;
    Catalog files;
    for (std::uint32_t i = 0; i < kEntries; ++i)
        files.AddNtfsFile({.name = "file.txt", .record = i + 64, .parent = 64 + i % 15000, .dataRecordSector = 2 * i});
    EXPECT_LE((files.MemoryBytes() - sizeof(Catalog)) / kEntries, 105u);

    Catalog folders;
    for (std::uint32_t i = 0; i < kEntries; ++i) {
        folders.AddNtfsFolder({.name = "folder", .record = i + 64, .parent = 64 + i / 10});
        folders.SetNtfsFolderTreeItem(i, i + 1);
    }
    ASSERT_EQ(folders.NtfsFolderWithTreeItem(kEntries), kEntries - 1);
    EXPECT_LE((folders.MemoryBytes() - sizeof(Catalog)) / kEntries, 120u);
}

}  // namespace
}  // namespace catalog

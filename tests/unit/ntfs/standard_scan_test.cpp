// Standard Scan on volumes built in memory: parameters, the $MFT run table, the walk, stopping,
// and the repairs of damaged or unusual structures.
#include "ntfs/standard_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/messages.h"
#include "support/mft_volume.h"
#include "support/ntfs_builder.h"

namespace {

using namespace testing_support;
using ntfs::MftRunTable;
using ntfs::RunTableOutcome;
using ntfs::StandardScanOutcome;

struct Recorder : core::ProgressSink
{
    std::vector<std::string> statuses;
    std::vector<std::pair<int, std::string>> panel;
    std::vector<int> progress;
    void Status(std::string_view text) override { statuses.emplace_back(text); }
    void Progress(int percent) override { progress.push_back(percent); }
    void PanelValue(int row, std::string_view text) override { panel.emplace_back(row, std::string(text)); }
};

// Requests a stop once `after` entries have been shown in the Last File/Folder row.
struct StopAfter : core::ProgressSink
{
    core::StopFlag* flag = nullptr;
    int after = 0;
    int seen = 0;
    void PanelValue(int row, std::string_view) override
    {
        if (row == ntfs::kPanelRowLastName && ++seen == after) {
            flag->Request();
        }
    }
};

struct Scan
{
    catalog::Catalog catalog;
    MftRunTable table;
    ntfs::FolderTree tree;
    ntfs::StandardScanResult result;

    Scan(MftVolume& volume, core::ProgressSink& sink = core::NullSink(), std::uint32_t readSectors = 2048)
    {
        catalog.scanTarget = volume.Target();
        Run(volume, sink, readSectors);
    }
    void Run(MftVolume& volume, core::ProgressSink& sink, std::uint32_t readSectors)
    {
        ntfs::StandardScanOptions options;
        options.readSectors = readSectors;
        result = ntfs::StandardScan(volume.Disk(), catalog, table, tree, sink, options);
    }
    const catalog::NtfsFileEntry* File(const std::string& name) const
    {
        for (const auto& f : catalog.NtfsFiles()) {
            if (f.name == name) {
                return &f;
            }
        }
        return nullptr;
    }
    const catalog::NtfsFolderEntry* Folder(const std::string& name) const
    {
        for (const auto& f : catalog.NtfsFolders()) {
            if (f.name == name) {
                return &f;
            }
        }
        return nullptr;
    }
};

// ---- Parameters -------------------------------------------------------------------------------

TEST(ComputeNtfsParameters, ReadsTheBootSectorAndConfirmsBothTables)
{
    MftVolume volume;
    catalog::VolumeParams params;
    ASSERT_TRUE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params));
    EXPECT_EQ(params.type, core::kFsNtfs);
    EXPECT_EQ(params.sectorsPerCluster, 8u);
    EXPECT_EQ(params.clusterBase, 63u);
    EXPECT_EQ(ntfs::MftSectorOf(params.mftSector), volume.ClusterSector(16));
    EXPECT_EQ(ntfs::MftSectorOf(params.mftMirrSector), volume.ClusterSector(2));
    EXPECT_EQ(params.sectorsPerFileRecord, 2);
    EXPECT_EQ(params.indexRecordSectors, 8);
}

TEST(ComputeNtfsParameters, DestroyedFirstBootSectorUsesTheCopyWithTheSameClusterBase)
{
    MftVolume volume;
    volume.Raw().WriteSector(63, ByteBuffer(512, 0));
    catalog::VolumeParams params;
    ASSERT_TRUE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params));
    EXPECT_EQ(params.clusterBase, 63u);
    EXPECT_EQ(ntfs::MftSectorOf(params.mftSector), volume.ClusterSector(16));

    volume.Raw().WriteSector(volume.Target().scanEndSector, ByteBuffer(512, 0));
    catalog::VolumeParams none;
    EXPECT_FALSE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), none));
    EXPECT_EQ(none.type, 0);
}

TEST(ComputeNtfsParameters, ThreeSectorsPerClusterIsRejectedAndTheCopyDecides)
{
    MftVolume volume;
    ByteBuffer bad = BuildBootSector({.sectorsPerCluster = 3, .mftCluster = 16});
    volume.Raw().WriteSector(63, bad);
    catalog::VolumeParams params;
    ASSERT_TRUE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params));
    EXPECT_EQ(params.sectorsPerCluster, 8u);

    volume.Raw().WriteSector(volume.Target().scanEndSector, bad);
    EXPECT_FALSE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params));
}

TEST(ComputeNtfsParameters, MftPointerOfTheCopyIsTriedWhenTheFirstMisses)
{
    MftVolume volume;
    volume.Raw().WriteSector(63, BuildBootSector({.mftCluster = 700, .mftMirrCluster = 2}));
    catalog::VolumeParams params;
    ASSERT_TRUE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params));
    EXPECT_EQ(ntfs::MftSectorOf(params.mftSector), volume.ClusterSector(16));
}

TEST(StandardScan, OnlyTheMirrorConfirmedScansFromSectorZeroAndFindsNothing)
{
    MftVolume volume;
    const ByteBuffer boot = BuildBootSector({.mftCluster = 700, .mftMirrCluster = 2});
    volume.Raw().WriteSector(63, boot);
    volume.Raw().WriteSector(volume.Target().scanEndSector, boot);
    volume.PutFile(40, "lost.txt");
    Scan scan(volume);
    EXPECT_EQ(scan.result.outcome, StandardScanOutcome::Completed);
    EXPECT_EQ(scan.catalog.volumeParams.mftSector, 0);
    EXPECT_EQ(scan.result.runTable, RunTableOutcome::NoRecord5);
    EXPECT_TRUE(scan.catalog.NtfsFiles().empty());
    EXPECT_TRUE(scan.result.rootRows.empty());
}

TEST(StandardScan, FailedParametersShowTheirStatusAndLeaveTheCatalog)
{
    MftVolume volume;
    volume.Raw().WriteSector(63, ByteBuffer(512, 0));
    volume.Raw().WriteSector(volume.Target().scanEndSector, ByteBuffer(512, 0));
    catalog::Catalog catalog;
    catalog.scanTarget = volume.Target();
    catalog.AddNtfsFolder({.name = "kept"});
    MftRunTable table;
    ntfs::FolderTree tree;
    Recorder sink;
    auto result = ntfs::StandardScan(volume.Disk(), catalog, table, tree, sink);
    EXPECT_EQ(result.outcome, StandardScanOutcome::ParametersFailed);
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{std::string(core::msg::kCalculatingPartitionParameters), ""}));
    EXPECT_EQ(catalog.NtfsFolders().size(), 1u);

    catalog.scanStopFlag.Request();
    result = ntfs::StandardScan(volume.Disk(), catalog, table, tree, sink);
    EXPECT_EQ(result.outcome, StandardScanOutcome::ParametersFailedStopped);
    EXPECT_FALSE(catalog.scanStopFlag.IsSet());
}

// ---- Run table ---------------------------------------------------------------------------------

// RecordToSector as a walk over the runs, the reference the table's binary search must match.
core::Sector WalkToSector(const MftRunTable& table, std::uint64_t offset)
{
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < table.Count(); ++i) {
        if (offset < before + table.RunLength(i)) {
            return table.RunStart(i) == 0 ? 0 : static_cast<core::Sector>(table.RunStart(i) + (offset - before));
        }
        before += table.RunLength(i);
    }
    return 0;
}

TEST(MftRunTable, RecordToSectorAgreesWithTheWalkOverRuns)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        MftRunTable table;
        const int runs = 1 + static_cast<int>(random() % 300);
        for (int i = 0; i < runs; ++i) {
            const bool sparse = random() % 10 == 0;
            const auto length = static_cast<std::uint32_t>(random() % 4 == 0 ? 0 : random() % 40);
            ASSERT_TRUE(table.Append(sparse ? 0 : 1000 + static_cast<core::Sector>(random() % 100000), length));
        }
        for (std::uint32_t record = 0; record < table.TotalSectors() / 2 + 3; ++record) {
            ASSERT_EQ(table.RecordToSector(record), WalkToSector(table, 2 * std::uint64_t{record})) << record;
        }
    }
}

TEST(MftRunTable, HoldsAtMost32767RunsAndGrowsInSteps)
{
    MftRunTable table;
    for (std::size_t i = 0; i < MftRunTable::kMaxRuns; ++i) {
        ASSERT_TRUE(table.Append(100, 2));
    }
    EXPECT_FALSE(table.Append(100, 2));
    EXPECT_EQ(table.Count(), MftRunTable::kMaxRuns);
    EXPECT_EQ(table.TotalSectors(), 2u * MftRunTable::kMaxRuns);
}

TEST(BuildMftRunTable, RunsOfSeveralExtentsAreNumberedContinuously)
{
    MftVolume volume({.mftRuns = {{4, 16}, {4, 100}, {4, 40}}});
    volume.PutFile(15, "end-of-first-run.txt");
    volume.PutFile(16, "start-of-second.txt");
    volume.PutFile(32, "start-of-third.txt");
    Scan scan(volume);
    ASSERT_EQ(scan.table.Count(), 3u);
    EXPECT_EQ(scan.table.RunStart(1), volume.ClusterSector(100));
    EXPECT_EQ(scan.table.RunStart(2), volume.ClusterSector(40));
    EXPECT_EQ(scan.File("end-of-first-run.txt")->record, 15u);
    EXPECT_EQ(scan.File("start-of-second.txt")->record, 16u);
    EXPECT_EQ(scan.File("start-of-second.txt")->dataRecordSector, volume.ClusterSector(100));
    EXPECT_EQ(scan.File("start-of-third.txt")->record, 32u);
}

TEST(BuildMftRunTable, OddRunLeavesItsLastSectorUnread)
{
    // 512-byte clusters: a run of 15 clusters holds seven records and one spare sector.
    MftVolume volume({.sectorsPerCluster = 1, .mftRuns = {{15, 200}, {8, 300}}, .mftMirrCluster = 20});
    volume.PutFile(6, "last-of-odd-run.txt");
    volume.PutFile(7, "first-of-next-run.txt");
    // A record planted at the spare sector must not be read.
    volume.Raw().Write(core::SectorOffset(volume.ClusterSector(214)),
                       FileRecordBuilder().FileName({.name = "spare.txt"}).Build());
    Scan scan(volume);
    EXPECT_EQ(scan.File("spare.txt"), nullptr);
    ASSERT_NE(scan.File("first-of-next-run.txt"), nullptr);
    EXPECT_EQ(scan.File("first-of-next-run.txt")->record, 7u);
    // The walk's own sector, not the mapping by 2 * record (which lands one sector into the run).
    EXPECT_EQ(scan.File("first-of-next-run.txt")->dataRecordSector, volume.ClusterSector(300));
    EXPECT_EQ(scan.File("last-of-odd-run.txt")->dataRecordSector, volume.ClusterSector(212));
    EXPECT_EQ(scan.result.recordsRead, 11u);
}

TEST(BuildMftRunTable, FixupOfRecordZeroCoversRunsInItsSecondSector)
{
    MftVolumeLayout fields{.mftRuns = {{4, 16}, {4, 100}, {4, 40}}};
    MftVolume volume(fields);
    // Pad record 0 so the $DATA run list crosses byte 510, where the update sequence number sits.
    FileRecordBuilder record;
    record.Flags(1).FileName({.name = "$MFT", .parent = 5, .nameSpace = 3});
    ByteBuffer padding(256, 0);
    record.Attribute(BuildResidentAttribute(0x40, padding));
    record.NonResident({.runs = EncodeRunList(fields.mftRuns), .lastVcn = 11, .allocatedSize = 49152,
                        .dataSize = 49152, .initializedSize = 49152});
    const ByteBuffer built = record.Build();
    const std::size_t runsAt = record.AttributeOffset(2) + 64;
    ASSERT_LT(runsAt, 510u);
    ASSERT_GT(runsAt + EncodeRunList(fields.mftRuns).size(), 511u);
    volume.PutRecord(0, built);

    MftRunTable table;
    EXPECT_EQ(ntfs::BuildMftRunTable(volume.Disk(), 63, volume.ClusterSector(16), 8, table), RunTableOutcome::Complete);
    ASSERT_EQ(table.Count(), 3u);
    EXPECT_EQ(table.RunStart(2), volume.ClusterSector(40));
    EXPECT_EQ(table.RunLength(2), 32u);
}

TEST(BuildMftRunTable, SparseRunsCountButHoldNothing)
{
    MftVolume volume({.mftRuns = {{4, 16}, {2, std::nullopt}, {4, 100}}});
    volume.PutFile(24, "after-the-hole.txt");
    Scan scan(volume);
    ASSERT_EQ(scan.table.Count(), 3u);
    EXPECT_EQ(scan.table.RunStart(1), 0u);
    EXPECT_EQ(scan.table.RecordToSector(17), 0u);  // in the hole
    // The hole's 8 slots count: the next run starts at record 16 + 8.
    EXPECT_EQ(scan.table.RecordToSector(24), volume.ClusterSector(100));
    // With clusterBase 0 a read of "sparse" sectors would have landed on the volume's own start.
    EXPECT_EQ(scan.result.recordsRead, 32u);
    ASSERT_NE(scan.File("after-the-hole.txt"), nullptr);
    EXPECT_EQ(scan.File("after-the-hole.txt")->record, 24u);
}

struct ConfineCase
{
    const char* name;
    std::vector<std::pair<core::Sector, std::uint32_t>> runs;  // start (0: sparse), length
    std::vector<std::pair<core::Sector, std::uint32_t>> kept;
    bool changed;
};

class ConfineMftRunsTable : public ::testing::TestWithParam<ConfineCase>
{
};

// The volume is sectors 1000 .. 1999.
TEST_P(ConfineMftRunsTable, RunsOutsideTheVolumeOrOverEarlierOnesBecomeSparse)
{
    MftRunTable table;
    for (const auto& [start, length] : GetParam().runs)
        ASSERT_TRUE(table.Append(start, length));
    EXPECT_EQ(ntfs::ConfineMftRuns(table, 1000, 1999), GetParam().changed);
    std::vector<std::pair<core::Sector, std::uint32_t>> kept;
    for (std::size_t i = 0; i < table.Count(); ++i)
        kept.emplace_back(table.RunStart(i), table.RunLength(i));
    EXPECT_EQ(kept, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfineMftRunsTable,
    ::testing::Values(
        ConfineCase{"inside", {{1000, 64}, {0, 16}, {1500, 32}}, {{1000, 64}, {0, 16}, {1500, 32}}, false},
        ConfineCase{"overlap_in_the_middle", {{1000, 64}, {1032, 64}}, {{1000, 64}, {0, 32}, {1064, 32}}, true},
        ConfineCase{"same_run_again_and_again",
                    {{1100, 100}, {1100, 100}, {1100, 100}, {1100, 100}},
                    {{1100, 100}, {0, 300}},
                    true},
        ConfineCase{"around_an_earlier_run", {{1100, 20}, {1090, 40}}, {{1100, 20}, {1090, 10}, {0, 20}, {1120, 10}},
                    true},
        ConfineCase{"before_and_past_the_volume", {{990, 20}, {1990, 20}}, {{0, 10}, {1000, 10}, {1990, 10}, {0, 10}},
                    true},
        ConfineCase{"far_outside", {{5000000, 64}}, {{0, 64}}, true},
        ConfineCase{"more_than_the_volume_holds", {{1000, 600}, {0, 0xFFFFFFF0u}, {1600, 64}}, {{1000, 600}, {0, 400}},
                    true}),
    [](const ::testing::TestParamInfo<ConfineCase>& info) { return std::string(info.param.name); });

TEST(StandardScan, OverlappingMftRunsListEachRecordOnce)
{
    // 62 runs over the same clusters (alternately at 16 and 17: an offset of 0 would mean a sparse
    // run): each of their records would be listed 31 times or more.
    MftVolumeLayout fields;
    fields.mftRuns.clear();
    for (int i = 0; i < 62; ++i)
        fields.mftRuns.push_back({4, 16 + i % 2});
    fields.mftRuns.push_back({4, 5000});  // past the volume's 2048 clusters
    MftVolume volume(fields);
    volume.PutFile(7, "once.txt");
    volume.PutFolder(8, "folder");
    Scan scan(volume);
    EXPECT_EQ(scan.result.outcome, StandardScanOutcome::Completed);
    EXPECT_EQ(scan.result.recordsRead, 20u);  // clusters 16 to 20, each read once
    ASSERT_EQ(scan.catalog.NtfsFiles().size(), 2u);  // $MFT and the file
    EXPECT_EQ(scan.catalog.NtfsFiles()[1].name, "once.txt");
    EXPECT_EQ(scan.catalog.NtfsFolders().size(), 1u);
    EXPECT_EQ(scan.table.RunStart(scan.table.Count() - 1), 0u);
}

TEST(BuildMftRunTable, FieldWiderThanFourBytesEndsTheTable)
{
    MftVolumeLayout fields;
    MftVolume volume(fields);
    // Run 1: 4 clusters at 16; run 2: a 5-byte length field.
    ByteBuffer runs = {0x11, 0x04, 0x10, 0x15, 0x04, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00};
    FileRecordBuilder record;
    record.Flags(1).FileName({.name = "$MFT", .parent = 5, .nameSpace = 3});
    record.NonResident({.runs = runs, .lastVcn = 7, .allocatedSize = 32768, .dataSize = 32768,
                        .initializedSize = 32768});
    volume.PutRecord(0, record.Build());
    MftRunTable table;
    EXPECT_EQ(ntfs::BuildMftRunTable(volume.Disk(), 63, volume.ClusterSector(16), 8, table), RunTableOutcome::RunsCut);
    ASSERT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.RunLength(0), 32u);
}

TEST(BuildMftRunTable, MissingRecordFiveOrDataLeavesTheTableEmpty)
{
    MftVolume volume;
    volume.PutFile(7, "x.txt");
    volume.PutRecord(5, ByteBuffer(1024, 0));
    Scan scan(volume);
    EXPECT_EQ(scan.result.outcome, StandardScanOutcome::Completed);
    EXPECT_EQ(scan.result.runTable, RunTableOutcome::NoRecord5);
    EXPECT_EQ(scan.table.Count(), 0u);
    EXPECT_TRUE(scan.catalog.NtfsFiles().empty());

    MftVolume noData;
    noData.PutRecord(0, FileRecordBuilder().FileName({.name = "$MFT", .nameSpace = 3}).Build());
    MftRunTable table;
    EXPECT_EQ(ntfs::BuildMftRunTable(noData.Disk(), 63, noData.ClusterSector(16), 8, table),
              RunTableOutcome::NoDataAttribute);
}

// Record 0 whose $ATTRIBUTE_LIST names $DATA extents in records 0 and 12; record 12 (inside the
// first extent, as NTFS keeps it) carries the $MFT's later runs.
void PutFragmentedMft(MftVolume& volume, bool nonResidentList)
{
    const std::vector<AttributeListEntrySpec> entries = {
        {.type = 0x10, .record = 0}, {.type = 0x30, .record = 0}, {.type = 0x80, .record = 0},
        {.type = 0x80, .startVcn = 4, .record = 12}};
    FileRecordBuilder record0;
    record0.Flags(1).FileName({.name = "$MFT", .parent = 5, .nameSpace = 3});
    if (nonResidentList) {
        const ByteBuffer value = BuildAttributeListValue(entries);
        volume.Raw().Write(core::SectorOffset(volume.ClusterSector(90)), value);
        record0.NonResident({.type = 0x20, .runs = EncodeRunList({{1, 90}}), .allocatedSize = 4096,
                             .dataSize = value.size(), .initializedSize = value.size()});
    } else {
        record0.AttributeList(entries);
    }
    record0.NonResident({.runs = EncodeRunList({{4, 16}}), .lastVcn = 3, .allocatedSize = 16384,
                         .dataSize = 16384, .initializedSize = 16384});
    volume.PutRecord(0, record0.Build());
    volume.PutRecord(12, FileRecordBuilder()
                             .Flags(1)
                             .RecordNumber(12)
                             .NonResident({.runs = EncodeRunList({{4, 120}, {4, 140}}), .startVcn = 4,
                                           .lastVcn = 11, .allocatedSize = 0, .dataSize = 0,
                                           .initializedSize = 0})
                             .Build());
}

TEST(BuildMftRunTable, ExtensionRecordsOfTheAttributeListAddRuns)
{
    for (const bool nonResident : {false, true}) {
        MftVolume volume({.mftRuns = {{4, 16}, {4, 120}, {4, 140}}});
        PutFragmentedMft(volume, nonResident);
        volume.PutFile(40, "in-third-run.txt");
        Scan scan(volume);
        EXPECT_EQ(scan.result.runTable, RunTableOutcome::Complete) << nonResident;
        ASSERT_EQ(scan.table.Count(), 3u) << nonResident;
        EXPECT_EQ(scan.table.RunStart(2), volume.ClusterSector(140));
        ASSERT_NE(scan.File("in-third-run.txt"), nullptr) << nonResident;
        EXPECT_EQ(scan.File("in-third-run.txt")->record, 40u);
    }
}

// ---- The walk ----------------------------------------------------------------------------------

TEST(StandardScan, FlagsByteDecidesFolderOrFileAndDeletion)
{
    MftVolume volume;
    volume.PutFolder(30, "present-dir", 5, 3);
    volume.PutFolder(31, "deleted-dir", 5, 2);
    volume.PutFile(32, "present.txt", 5, 1);
    volume.PutFile(33, "deleted.txt", 5, 0);
    volume.PutFile(34, "odd-flags.txt", 5, 0x09);
    Scan scan(volume);
    ASSERT_EQ(scan.result.outcome, StandardScanOutcome::Completed);
    EXPECT_EQ(scan.Folder("present-dir")->deleted, 0u);
    EXPECT_EQ(scan.Folder("deleted-dir")->deleted, 1u);
    EXPECT_EQ(scan.File("present.txt")->deleted, 0u);
    EXPECT_EQ(scan.File("deleted.txt")->deleted, 1u);
    EXPECT_EQ(scan.File("odd-flags.txt")->deleted, 0u);
    EXPECT_EQ(scan.File("present.txt")->size, 10u);
    EXPECT_EQ(scan.File("present.txt")->dataRecordSector, volume.RecordSector(32));
    EXPECT_EQ(scan.Folder("."), nullptr);
    EXPECT_EQ(scan.catalog.folderCount, 2u);
    EXPECT_EQ(scan.catalog.fileCount, 4u);  // $MFT and the three above
}

TEST(StandardScan, NamesPreferWin32ThenDosAndFallBackToPosix)
{
    MftVolume volume;
    volume.PutRecord(30, FileRecordBuilder()
                             .FileName({.name = "LONGNA~1.TXT", .nameSpace = 2})
                             .FileName({.name = "posix-name.txt", .nameSpace = 0})
                             .FileName({.name = "Long Name.txt", .nameSpace = 1})
                             .Build());
    volume.PutRecord(31, FileRecordBuilder().FileName({.name = "only-posix", .nameSpace = 0}).Build());
    volume.PutRecord(32, FileRecordBuilder()
                             .FileName({.name = "posix-first", .nameSpace = 0})
                             .FileName({.name = "DOS.TXT", .nameSpace = 2})
                             .Build());
    Scan scan(volume);
    EXPECT_NE(scan.File("Long Name.txt"), nullptr);
    EXPECT_NE(scan.File("only-posix"), nullptr);
    EXPECT_NE(scan.File("DOS.TXT"), nullptr);
    EXPECT_EQ(scan.File("posix-first"), nullptr);
}

TEST(StandardScan, DataInAnExtensionRecordGivesItsSizeAndSector)
{
    for (const bool nonResidentList : {false, true}) {
        MftVolume volume;
        // The name lives in the extension record too when the list is non-resident.
        const std::vector<AttributeListEntrySpec> entries = {
            {.type = 0x30, .record = nonResidentList ? 41u : 40u}, {.type = 0x80, .record = 41}};
        FileRecordBuilder base;
        base.Flags(1).RecordNumber(40);
        if (nonResidentList) {
            const ByteBuffer value = BuildAttributeListValue(entries);
            volume.Raw().Write(core::SectorOffset(volume.ClusterSector(300)), value);
            base.NonResident({.type = 0x20, .runs = EncodeRunList({{1, 300}}), .allocatedSize = 4096,
                              .dataSize = value.size(), .initializedSize = value.size()});
        } else {
            base.AttributeList(entries);
        }
        if (!nonResidentList) {
            base.FileName({.name = "big.bin"});
        }
        volume.PutRecord(40, base.Build());
        FileRecordBuilder extension;
        extension.Flags(1).RecordNumber(41).BaseRecord(40).NonResident(
            {.runs = EncodeRunList({{100, 400}}), .lastVcn = 99, .allocatedSize = 409600, .dataSize = 400000,
             .initializedSize = 400000});
        if (nonResidentList) {
            extension.FileName({.name = "big.bin"});
        }
        volume.PutRecord(41, extension.Build());
        Scan scan(volume);
        const auto* file = scan.File("big.bin");
        ASSERT_NE(file, nullptr) << nonResidentList;
        for (const auto& f : scan.catalog.NtfsFiles()) {
            EXPECT_NE(f.record, 41u);
        }
        EXPECT_EQ(file->record, 40u);
        EXPECT_EQ(file->size, 400000u);
        EXPECT_EQ(file->dataRecordSector, volume.RecordSector(41));
    }
}

TEST(StandardScan, ExtentPastVcnZeroDoesNotGiveTheSize)
{
    MftVolume volume;
    // A list naming the later extent (record 51) before the first one (record 52).
    FileRecordBuilder base;
    base.Flags(1).FileName({.name = "split.bin"}).AttributeList(
        {{.type = 0x30, .record = 50}, {.type = 0x80, .startVcn = 10, .record = 51},
         {.type = 0x80, .startVcn = 0, .record = 52}});
    volume.PutRecord(50, base.Build());
    volume.PutRecord(51, FileRecordBuilder().NonResident({.runs = EncodeRunList({{10, 600}}), .startVcn = 10,
                                                          .lastVcn = 19, .allocatedSize = 0, .dataSize = 0,
                                                          .initializedSize = 0}).Build());
    volume.PutRecord(52, FileRecordBuilder().NonResident({.runs = EncodeRunList({{10, 500}}), .lastVcn = 9,
                                                          .allocatedSize = 81920, .dataSize = 80000,
                                                          .initializedSize = 80000}).Build());
    Scan scan(volume);
    ASSERT_NE(scan.File("split.bin"), nullptr);
    EXPECT_EQ(scan.File("split.bin")->size, 80000u);
    EXPECT_EQ(scan.File("split.bin")->dataRecordSector, volume.RecordSector(52));
}

// One file in base record 60 and extension records 61 and 62, the list naming both for names.
struct SplitNames
{
    std::vector<FileNameSpec> base;
    std::vector<FileNameSpec> first;   // in record 61
    std::vector<FileNameSpec> second;  // in record 62
    const char* expected;              // the name the file is listed under; nullptr: not listed
};

class StandardScanSplitNames : public ::testing::TestWithParam<SplitNames>
{
};

TEST_P(StandardScanSplitNames, NameIsChosenOverAllRecordsByNamespaceAndExtensionsAreNeverListed)
{
    const SplitNames& c = GetParam();
    MftVolume volume;
    FileRecordBuilder base;
    base.Flags(1).RecordNumber(60).AttributeList(
        {{.type = 0x30, .record = 60}, {.type = 0x30, .record = 61}, {.type = 0x30, .record = 62}});
    for (const FileNameSpec& name : c.base) {
        base.FileName(name);
    }
    base.ResidentData(std::vector<std::uint8_t>(33, 'x'));
    volume.PutRecord(60, base.Build());
    const std::vector<FileNameSpec>* parts[] = {&c.first, &c.second};
    for (std::uint32_t i = 0; i < 2; ++i) {
        FileRecordBuilder extension;
        extension.Flags(1).RecordNumber(61 + i).BaseRecord(60 | (std::uint64_t{3} << 48));
        for (const FileNameSpec& name : *parts[i]) {
            extension.FileName(name);
        }
        volume.PutRecord(61 + i, extension.Build());
    }
    volume.PutFile(63, "after.txt");
    Scan scan(volume);
    std::vector<std::string> names;
    for (const auto& f : scan.catalog.NtfsFiles()) {
        if (f.record >= 60) {
            names.push_back(f.name + "@" + std::to_string(f.record));
        }
    }
    std::vector<std::string> expected;
    if (c.expected != nullptr) {
        expected.push_back(std::string(c.expected) + "@60");
    }
    expected.push_back("after.txt@63");  // numbering goes on past the extension records
    EXPECT_EQ(names, expected);
    if (c.expected != nullptr) {
        EXPECT_EQ(scan.File(c.expected)->size, 33u);
        EXPECT_EQ(scan.File(c.expected)->parent, 7u);  // from the $FILE_NAME that gave the name
    }
}

INSTANTIATE_TEST_SUITE_P(
    Namespaces, StandardScanSplitNames,
    ::testing::Values(
        // A long name in an extension record beats the 8.3 name of the base record.
        SplitNames{{{.name = "THANKY~1.TXT", .parent = 9, .nameSpace = 2}},
                   {{.name = "Thank you.txt", .parent = 7, .nameSpace = 1}}, {}, "Thank you.txt"},
        // ...and the Win32+DOS name of the base record, in whichever extension it lies.
        SplitNames{{{.name = "BOTH.TXT", .parent = 9, .nameSpace = 3}},
                   {{.name = "p", .parent = 9, .nameSpace = 0}},
                   {{.name = "Win32 name.txt", .parent = 7, .nameSpace = 1}}, "Win32 name.txt"},
        // The 8.3 name in an extension record loses to the long name in the base record.
        SplitNames{{{.name = "Thank you.txt", .parent = 7, .nameSpace = 1}},
                   {{.name = "THANKY~1.TXT", .parent = 9, .nameSpace = 2}}, {}, "Thank you.txt"},
        // Win32+DOS before DOS, DOS before POSIX, across records.
        SplitNames{{{.name = "posix", .parent = 9, .nameSpace = 0}},
                   {{.name = "DOS.TXT", .parent = 9, .nameSpace = 2}},
                   {{.name = "BOTH.TXT", .parent = 7, .nameSpace = 3}}, "BOTH.TXT"},
        SplitNames{{{.name = "posix", .parent = 9, .nameSpace = 0}},
                   {{.name = "other posix", .parent = 9, .nameSpace = 0}},
                   {{.name = "DOS.TXT", .parent = 7, .nameSpace = 2}}, "DOS.TXT"},
        // Names only in extension records: the first POSIX name of the list order.
        SplitNames{{}, {{.name = "link one", .parent = 7, .nameSpace = 0}},
                   {{.name = "link two", .parent = 9, .nameSpace = 0}}, "link one"},
        // No name anywhere: nothing is listed, and the extension records are not listed either.
        SplitNames{{}, {}, {}, nullptr}));

TEST(StandardScan, ExtensionRecordOfAnotherFileLendsNoName)
{
    // The list of record 70 names record 71, which has since become an extension of record 90.
    MftVolume volume;
    volume.PutRecord(70, FileRecordBuilder()
                             .AttributeList({{.type = 0x30, .record = 70}, {.type = 0x30, .record = 71}})
                             .FileName({.name = "SHORT.TXT", .nameSpace = 2})
                             .Build());
    volume.PutRecord(71, FileRecordBuilder().BaseRecord(90).FileName({.name = "Stranger.txt"}).Build());
    Scan scan(volume);
    ASSERT_NE(scan.File("SHORT.TXT"), nullptr);
    EXPECT_EQ(scan.File("SHORT.TXT")->record, 70u);
    EXPECT_EQ(scan.File("Stranger.txt"), nullptr);
}

TEST(StandardScan, ExtensionOfTheMftItselfIsNoFile)
{
    // An extension of record 0 names record 0 with a sequence number: its record half is 0.
    MftVolume volume;
    volume.PutRecord(20, FileRecordBuilder().BaseRecord(std::uint64_t{1} << 48).FileName({.name = "mft part"}).Build());
    Scan scan(volume);
    EXPECT_EQ(scan.File("mft part"), nullptr);
}

TEST(StandardScan, UnreadableRecordYieldsNothingAfterAGoodOne)
{
    for (const std::uint32_t readSectors : {2u, 2048u}) {
        MftVolume volume;
        volume.PutFile(30, "good.txt");
        volume.PutFile(31, "unreadable.txt");
        volume.Raw().MarkBad(volume.RecordSector(31));
        volume.Raw().MarkBad(volume.RecordSector(31) + 1);
        Scan scan(volume, core::NullSink(), readSectors);
        EXPECT_NE(scan.File("good.txt"), nullptr);
        EXPECT_EQ(scan.File("unreadable.txt"), nullptr);
        for (const auto& f : scan.catalog.NtfsFiles()) {
            EXPECT_NE(f.record, 31u) << readSectors;
        }
    }
}

TEST(StandardScan, BulkReadsGiveTheSameCatalogAsTheTwoSectorWalk)
{
    MftVolume volume({.volumeSectors = 40000, .mftRuns = {{100, 16}, {3, std::nullopt}, {150, 2000}, {50, 1000}}});
    std::mt19937 random(11);
    for (std::uint32_t k = 16; k < 600; ++k) {
        if (random() % 5 == 0 || (k >= 400 && k < 412)) {  // 400..411: the sparse run
            continue;
        }
        const std::uint32_t parent = random() % 3 == 0 ? 5 : 16 + random() % 600;
        if (random() % 4 == 0) {
            volume.PutFolder(k, "d" + std::to_string(k), parent, static_cast<std::uint16_t>(2 + random() % 2));
        } else {
            volume.PutFile(k, "f" + std::to_string(k), parent, static_cast<std::uint16_t>(random() % 2), random() % 500);
        }
    }
    volume.Raw().MarkBad(volume.RecordSector(100) + 1);
    Scan pairs(volume, core::NullSink(), 2);
    Scan bulk(volume, core::NullSink(), 2048);
    ASSERT_GT(pairs.catalog.NtfsFiles().size(), 300u);
    ASSERT_EQ(pairs.catalog.NtfsFiles().size(), bulk.catalog.NtfsFiles().size());
    ASSERT_EQ(pairs.catalog.NtfsFolders().size(), bulk.catalog.NtfsFolders().size());
    for (std::size_t i = 0; i < pairs.catalog.NtfsFiles().size(); ++i) {
        const auto& a = pairs.catalog.NtfsFiles()[i];
        const auto& b = bulk.catalog.NtfsFiles()[i];
        EXPECT_EQ(std::tie(a.name, a.record, a.parent, a.size, a.deleted, a.dataRecordSector, a.created),
                  std::tie(b.name, b.record, b.parent, b.size, b.deleted, b.dataRecordSector, b.created));
    }
    for (std::size_t i = 0; i < pairs.catalog.NtfsFolders().size(); ++i) {
        const auto& a = pairs.catalog.NtfsFolders()[i];
        const auto& b = bulk.catalog.NtfsFolders()[i];
        EXPECT_EQ(std::tie(a.name, a.record, a.parent, a.deleted, a.treeItem),
                  std::tie(b.name, b.record, b.parent, b.deleted, b.treeItem));
    }
}

TEST(StandardScan, ReadsTheMftInLargeRequestsAlongItsRuns)
{
    MftVolume volume({.volumeSectors = 40000, .mftRuns = {{300, 16}, {300, 2000}}});
    volume.Raw().ResetReadCount();
    Scan scan(volume);
    EXPECT_EQ(scan.result.recordsRead, 2400u);
    EXPECT_LT(volume.Raw().ReadCount(), 20u);
}

TEST(StandardScan, ReportsCountersSectorNameAndReadingStatus)
{
    MftVolume volume;
    volume.PutFolder(30, "docs");
    volume.PutFile(31, "a.txt", 30);
    Recorder sink;
    Scan scan(volume, sink);
    const std::string total = std::to_string(64 * 8);
    // After a.txt (record 31, slots 0..31 done): 64 sectors of 512.
    const std::string reading = std::string(core::msg::kReadingSectorPrefix) + "64" +
                                std::string(core::msg::kReadingSectorOf) + total;
    EXPECT_NE(std::find(sink.statuses.begin(), sink.statuses.end(), reading), sink.statuses.end());
    EXPECT_NE(std::find(sink.statuses.begin(), sink.statuses.end(), std::string(core::msg::kCreatingDirectoryTree)),
              sink.statuses.end());
    EXPECT_NE(std::find(sink.panel.begin(), sink.panel.end(), std::make_pair(ntfs::kPanelRowFolders, std::string("1"))),
              sink.panel.end());
    EXPECT_NE(std::find(sink.panel.begin(), sink.panel.end(), std::make_pair(ntfs::kPanelRowLastName, std::string("a.txt"))),
              sink.panel.end());
    EXPECT_NE(std::find(sink.panel.begin(), sink.panel.end(),
                        std::make_pair(ntfs::kPanelRowCurrentSector, std::to_string(volume.RecordSector(31)))),
              sink.panel.end());
    EXPECT_TRUE(std::all_of(sink.progress.begin(), sink.progress.end(), [](int p) { return p >= 0 && p <= 99; }));
    EXPECT_EQ(sink.progress.back(), 0);
}

TEST(StandardScan, StopKeepsWhatWasFoundAndBuildsTheTree)
{
    MftVolume volume;
    volume.PutFolder(30, "docs");
    volume.PutFile(31, "a.txt", 30);
    volume.PutFile(32, "orphan.txt", 77);
    volume.PutFile(40, "never.txt");
    catalog::Catalog catalog;
    catalog.scanTarget = volume.Target();
    MftRunTable table;
    ntfs::FolderTree tree;
    StopAfter sink;
    sink.flag = &catalog.scanStopFlag;
    sink.after = 4;  // entries: $MFT, docs, a.txt, orphan.txt, then the stop
    const auto result = ntfs::StandardScan(volume.Disk(), catalog, table, tree, sink);
    EXPECT_EQ(result.outcome, StandardScanOutcome::Stopped);
    EXPECT_FALSE(catalog.scanStopFlag.IsSet());
    std::vector<std::string> files;
    for (const auto& f : catalog.NtfsFiles()) {
        files.push_back(f.name);
    }
    EXPECT_EQ(files, (std::vector<std::string>{"$MFT", "a.txt", "orphan.txt"}));
    ASSERT_GE(catalog.NtfsFolders().size(), 2u);
    EXPECT_EQ(catalog.NtfsFolders()[0].name, "docs");
    EXPECT_NE(catalog.NtfsFolders()[0].treeItem, 0u);
    EXPECT_EQ(catalog.NtfsFolders()[1].name, "Dir0");
    EXPECT_EQ(catalog.NtfsFolders()[1].record, 77u);
    ASSERT_EQ(result.rootRows.size(), 3u);  // docs, Dir0, $MFT
    EXPECT_EQ(result.rootRows[0].name, "docs");
}

TEST(StandardScan, RecordNumbersStayPositionalWhateverTheRecordSays)
{
    MftVolume volume;
    volume.PutRecord(30, FileRecordBuilder().RecordNumber(999).FileName({.name = "liar.txt"}).Build());
    Scan scan(volume);
    EXPECT_EQ(scan.File("liar.txt")->record, 30u);
}

}  // namespace

namespace {

// Records that carry the "FILE" signature and random bytes everywhere else, record 0 and 5
// included in some rounds: the scan must end, with whatever it makes of them.
TEST(StandardScan, HostileRecordsEndTheScanCleanly)
{
    std::mt19937 random(3);
    for (int round = 0; round < 30; ++round) {
        MftVolume volume({.mftRuns = {{16, 16}, {16, 200}}});
        for (std::uint32_t k = (round % 3 == 0 ? 0 : 6); k < 64; ++k) {
            ByteBuffer record(1024);
            for (auto& b : record) {
                b = static_cast<std::uint8_t>(random());
            }
            std::copy_n("FILE", 4, record.begin());
            if (random() % 2 == 0) {
                record[20] = static_cast<std::uint8_t>(56 + random() % 16);  // a plausible first attribute
                record[21] = 0;
            }
            if (k == 5) {
                continue;
            }
            volume.PutRecord(k, record);
        }
        Scan scan(volume, core::NullSink(), round % 2 == 0 ? 2 : 2048);
        EXPECT_NE(scan.result.outcome, StandardScanOutcome::ParametersFailed);
        EXPECT_LE(scan.catalog.NtfsFiles().size() + scan.catalog.NtfsFolders().size(), 200u);
    }
}

}  // namespace

// The raw sector sweep on disks built in memory: the order of the signature tests, the records a
// FILE or INDX hit leaves, whole-chunk reads, reads of hits, and stopping.
#include "advscan/sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "advscan/advance_scan.h"
#include "support/memory_disk.h"
#include "support/ntfs_builder.h"

namespace {

using namespace testing_support;

struct SweptDisk
{
    MemoryDisk* memory = nullptr;
    disk::DiskState disk;
    catalog::Catalog catalog;

    explicit SweptDisk(std::uint32_t sectors)
    {
        auto owned = std::make_unique<MemoryDisk>(std::uint64_t{sectors} * 512);
        memory = owned.get();
        disk.driveHandle = std::move(owned);
    }
    void Put(core::Sector sector, const ByteBuffer& bytes) { memory->WriteSector(sector, bytes); }
    advscan::SweepOutcome Sweep(core::Sector start, core::Sector end, std::uint32_t chunk = 60,
                                core::ProgressSink& sink = core::NullSink())
    {
        disk.readChunkSectors = chunk;
        catalog.scanTarget = advscan::AdvanceScanTarget(start, end);
        return advscan::SweepSectors(disk, catalog, sink);
    }
};

ByteBuffer Folder(const std::string& name, std::uint64_t parent = 5, std::uint16_t flags = 3)
{
    return FileRecordBuilder().Flags(flags).FileName({.name = name, .parent = parent}).Build();
}

TEST(Sweep, TestsEachSectorForBootSectorThenFileThenIndx)
{
    SweptDisk d(400);
    d.Put(10, BuildBootSector());
    ByteBuffer fakeFile = Folder("marked");
    fakeFile[510] = 0x55;  // a 0x55 0xAA sector is never a FILE record
    fakeFile[511] = 0xAA;
    d.Put(20, fakeFile);
    ByteBuffer fat = BuildBootSector();
    fat[3] = 'M';  // 0x55 0xAA without "NTFS": no boot sector, tested no further
    d.Put(30, fat);
    ByteBuffer wrongSize = Folder("big");
    PutLe(wrongSize, 0x1C, 4096, 4);
    d.Put(40, wrongSize);
    d.Put(50, Folder("kept"));
    d.Put(60, BuildIndexBuffer(0, {{.record = 70, .key = {.name = "a", .parent = 70}}}));

    EXPECT_EQ(d.Sweep(0, 400), advscan::SweepOutcome::Completed);
    EXPECT_EQ(d.catalog.BootSectorHits(), (std::vector<core::Sector>{10}));
    EXPECT_EQ(d.catalog.bootHitCount, 1u);
    ASSERT_EQ(d.catalog.FoundFolders().size(), 1u);
    EXPECT_EQ(d.catalog.FoundFolders()[0].name, "kept");
    EXPECT_EQ(d.catalog.FoundFolders()[0].sector, 50u);
    ASSERT_EQ(d.catalog.FoundIndexRecords().size(), 1u);
    const catalog::FoundIndexRecord& indx = d.catalog.FoundIndexRecords()[0];
    EXPECT_EQ(indx.sector, 60u);
    EXPECT_EQ(indx.owner, 70u);
    EXPECT_EQ(indx.vcn, 0u);
    EXPECT_EQ(indx.fsNumber, -1);
    EXPECT_EQ(indx.sectors, 8u);
    EXPECT_EQ(d.catalog.indexRecordCount, 1u);
}

TEST(Sweep, FileRecordsBecomeFoundFoldersAndFiles)
{
    SweptDisk d(200);
    d.Put(2, Folder("."));
    d.Put(4, Folder("$EXTEND", 5, 2));
    d.Put(6, FileRecordBuilder().Flags(3).FileName({.name = "own", .parent = 5}).IndexRoot(
                 {{.record = 77, .key = {.name = "child", .parent = 0x0001000000000042ULL}}})
                 .IndexAllocation({{.length = 1, .lcn = 300}})
                 .Build());
    d.Put(8, FileRecordBuilder().Flags(3).FileName({.name = "empty root"}).IndexRoot({}).Build());
    d.Put(10, FileRecordBuilder().Flags(1).FileName({.name = "posix only", .nameSpace = 0}).Build());
    d.Put(12, FileRecordBuilder()
                  .Flags(0)
                  .FileName({.name = "LONGNA~1.TXT", .nameSpace = 2})
                  .FileName({.name = "long name.txt", .parent = 0x0002000000000009ULL, .nameSpace = 1,
                             .created = 111, .changed = 222})
                  .ResidentData(std::vector<std::uint8_t>(123, 'x'))
                  .Build());
    d.Put(14, FileRecordBuilder().Flags(1).FileName({.name = "caf\xE9", .nameSpace = 3}).Build());
    d.Put(16, FileRecordBuilder().Flags(5).FileName({.name = "odd flags"}).Build());

    d.Sweep(0, 200);
    const auto& folders = d.catalog.FoundFolders();
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0].record, 5u);
    EXPECT_EQ(folders[1].record, 11u);
    EXPECT_EQ(folders[1].deleted, 1u);
    EXPECT_EQ(folders[2].record, 0x42u);  // the parent reference of its index root's first key
    EXPECT_EQ(folders[2].indexStartCluster, 300u);
    EXPECT_EQ(folders[3].record, 0u);  // only the end entry: numbered by the analysis
    EXPECT_EQ(folders[3].indexStartCluster, 0u);
    const auto& all = d.catalog.FoundFiles();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].name, "posix only");  // as ntfs-3g and the Linux driver write names
    EXPECT_EQ(all[0].sector, 10u);
    const std::vector<catalog::FoundFileRecord> files(all.begin() + 1, all.end());
    EXPECT_EQ(files[0].name, "long name.txt");
    EXPECT_EQ(files[0].parent, 9u);
    EXPECT_EQ(files[0].created, 111u);
    EXPECT_EQ(files[0].changed, 222u);
    EXPECT_EQ(files[0].size, 123u);
    EXPECT_EQ(files[0].deleted, 1u);
    EXPECT_EQ(files[0].sector, 12u);
    EXPECT_EQ(files[1].name, "caf\xC3\xA9");
    EXPECT_EQ(d.catalog.foundFolderCount, 4u);
    EXPECT_EQ(d.catalog.foundFileCount, 3u);
}

// A file in base record 100 at sector 40 whose names are split over it and its extension records
// 101 and 102 (sectors 42 and 44), as the sweep meets them.
struct SweptSplit
{
    const char* what;
    bool residentList = true;
    std::vector<FileNameSpec> base;
    std::vector<FileNameSpec> extension;  // in record 101
    std::uint64_t extensionBase = 100;    // base reference record 101 carries
    std::uint32_t extensionNumber = 101;  // number at offset 44 of record 101
    const char* expected;                 // found file at sector 40; nullptr: none
};

class SweepSplitNames : public ::testing::TestWithParam<SweptSplit>
{
};

TEST_P(SweepSplitNames, ExtensionRecordsAreNeverFoundFilesAndLendTheirBetterName)
{
    const SweptSplit& c = GetParam();
    SweptDisk d(200);
    FileRecordBuilder base;
    base.Flags(1).RecordNumber(100);
    const std::vector<AttributeListEntrySpec> entries = {
        {.type = 0x30, .record = 100}, {.type = 0x30, .record = 101}, {.type = 0x80, .record = 102}};
    if (c.residentList) {
        base.AttributeList(entries);
    } else {
        const ByteBuffer value = BuildAttributeListValue(entries);
        base.NonResident({.type = 0x20, .runs = EncodeRunList({{1, 3000}}), .allocatedSize = 4096,
                          .dataSize = value.size(), .initializedSize = value.size()});
    }
    for (const FileNameSpec& name : c.base) {
        base.FileName(name);
    }
    d.Put(40, base.Build());
    FileRecordBuilder first;
    first.Flags(1).RecordNumber(c.extensionNumber).BaseRecord(c.extensionBase);
    for (const FileNameSpec& name : c.extension) {
        first.FileName(name);
    }
    d.Put(42, first.Build());
    d.Put(44, FileRecordBuilder()
                  .Flags(1)
                  .RecordNumber(102)
                  .BaseRecord(100)
                  .FileName({.name = "data part", .nameSpace = 1})
                  .NonResident({.runs = EncodeRunList({{4, 500}})})
                  .Build());
    d.Sweep(0, 200, 16);  // the extension records lie in the next chunk: read from the disk
    std::vector<std::string> found;
    for (const auto& f : d.catalog.FoundFiles()) {
        found.push_back(f.name + "@" + std::to_string(f.sector));
    }
    const std::vector<std::string> expected =
        c.expected == nullptr ? std::vector<std::string>{} : std::vector<std::string>{std::string(c.expected) + "@40"};
    EXPECT_EQ(found, expected) << c.what;
    if (c.expected != nullptr) {
        EXPECT_EQ(d.catalog.FoundFiles()[0].parent, 7u) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, SweepSplitNames,
    ::testing::Values(
        SweptSplit{"long name in the extension beats the 8.3 name", true,
                   {{.name = "THANKY~1.TXT", .parent = 9, .nameSpace = 2}},
                   {{.name = "Thank you.txt", .parent = 7, .nameSpace = 1}}, 100, 101, "Thank you.txt"},
        SweptSplit{"the long name of the base stays", true, {{.name = "Thank you.txt", .parent = 7, .nameSpace = 1}},
                   {{.name = "THANKY~1.TXT", .parent = 9, .nameSpace = 2}}, 100, 101, "Thank you.txt"},
        SweptSplit{"names only in the extension", true, {}, {{.name = "link", .parent = 7, .nameSpace = 0}}, 100, 101,
                   "link"},
        SweptSplit{"non-resident list: the following records are tried", false,
                   {{.name = "p", .parent = 9, .nameSpace = 0}}, {{.name = "Long.txt", .parent = 7, .nameSpace = 1}},
                   100, 101, "Long.txt"},
        SweptSplit{"an extension of another file lends nothing", true,
                   {{.name = "SHORT.TXT", .parent = 7, .nameSpace = 2}},
                   {{.name = "Stranger.txt", .parent = 9, .nameSpace = 1}}, 300, 101, "SHORT.TXT"},
        SweptSplit{"a record telling another number lends nothing", true,
                   {{.name = "SHORT.TXT", .parent = 7, .nameSpace = 2}},
                   {{.name = "Stranger.txt", .parent = 9, .nameSpace = 1}}, 100, 555, "SHORT.TXT"},
        SweptSplit{"no name anywhere", true, {}, {}, 100, 101, nullptr}));

TEST(Sweep, ExtensionOfTheMftItselfIsNoFoundFile)
{
    SweptDisk d(100);
    // Record half 0, sequence 1: still a part of $MFT.
    d.Put(20, FileRecordBuilder().Flags(1).BaseRecord(std::uint64_t{1} << 48).FileName({.name = "mft part"}).Build());
    d.Put(30, FileRecordBuilder().Flags(3).BaseRecord(40).FileName({.name = "folder part"}).Build());
    d.Sweep(0, 100);
    EXPECT_TRUE(d.catalog.FoundFiles().empty());
    EXPECT_TRUE(d.catalog.FoundFolders().empty());
}

TEST(Sweep, IndexRecordsOfSystemOwnersOrUnsoundSizesAreIgnored)
{
    SweptDisk d(200);
    d.Put(10, BuildIndexBuffer(0, {{.record = 9, .key = {.name = "a", .parent = 4}}}));
    ByteBuffer tiny = BuildIndexBuffer(0, {{.record = 9, .key = {.name = "a", .parent = 40}}}, 512);
    PutLe(tiny, 0x20, 100, 4);  // 124 bytes: no whole sector to read
    d.Put(20, tiny);
    ByteBuffer huge = BuildIndexBuffer(0, {{.record = 9, .key = {.name = "a", .parent = 40}}}, 512);
    PutLe(huge, 0x20, 65536, 4);
    d.Put(30, huge);
    d.Put(40, BuildIndexBuffer(3, {{.record = 9, .key = {.name = "b", .parent = 41}}}, 1024));
    d.Sweep(0, 200);
    ASSERT_EQ(d.catalog.FoundIndexRecords().size(), 1u);
    EXPECT_EQ(d.catalog.FoundIndexRecords()[0].sector, 40u);
    EXPECT_EQ(d.catalog.FoundIndexRecords()[0].vcn, 3u);
    EXPECT_EQ(d.catalog.FoundIndexRecords()[0].sectors, 2u);
}

TEST(Sweep, WholeChunksAreExaminedAndHitsAcrossTheirEndAreReadWhole)
{
    SweptDisk d(200);
    // A FILE record whose second sector lies in the next chunk, and one past the range's end but
    // inside the last chunk.
    ByteBuffer straddling = FileRecordBuilder().Flags(1).FileName({.name = "straddles"}).ResidentData(
                                std::vector<std::uint8_t>(600, 'y')).Build();
    d.Put(59, straddling);
    d.Put(70, Folder("beyond the end"));
    d.Sweep(0, 65);  // two chunks of 60: sectors 0-119 are examined
    ASSERT_EQ(d.catalog.FoundFiles().size(), 1u);
    EXPECT_EQ(d.catalog.FoundFiles()[0].size, 600u);  // fixed up from both sectors
    ASSERT_EQ(d.catalog.FoundFolders().size(), 1u);
    EXPECT_EQ(d.catalog.FoundFolders()[0].sector, 70u);

    // A range smaller than one chunk: one read of the whole chunk, nothing read again for hits
    // that lie inside it.
    SweptDisk small(200);
    small.Put(100, Folder("inside"));
    small.Put(104, BuildIndexBuffer(0, {{.record = 9, .key = {.name = "a", .parent = 40}}}));
    small.memory->ResetReadCount();
    small.Sweep(95, 96, 20);
    EXPECT_EQ(small.catalog.FoundFolders().size(), 1u);
    EXPECT_EQ(small.catalog.FoundIndexRecords().size(), 1u);
    EXPECT_EQ(small.memory->ReadCount(), 1u);
}

struct Recorder : core::ProgressSink
{
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<std::pair<int, std::string>> panel;
    core::StopFlag* stopAtFirstFolder = nullptr;
    void Status(std::string_view text) override { statuses.emplace_back(text); }
    void Progress(int percent) override { progress.push_back(percent); }
    void PanelValue(int row, std::string_view text) override
    {
        panel.emplace_back(row, std::string(text));
        if (stopAtFirstFolder != nullptr && row == advscan::kPanelRowFolders && text == "1") {
            stopAtFirstFolder->Request();
        }
    }
};

TEST(Sweep, StatusEvery88thReadAndStopAfterTheChunk)
{
    SweptDisk d(400);
    Recorder sink;
    d.Sweep(0, 200, 1, sink);
    ASSERT_EQ(sink.statuses.size(), 2u);  // reads 88 and 176
    EXPECT_EQ(sink.statuses[0], "Reading Sector 87 Of 200");
    EXPECT_EQ(sink.statuses[1], "Reading Sector 175 Of 200");
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 43, 87}));
    EXPECT_EQ(sink.panel.back(), std::make_pair(advscan::kPanelRowCurrentSector, std::string("199")));

    SweptDisk s(400);
    s.Put(5, Folder("first"));
    s.Put(15, Folder("same chunk"));
    s.Put(25, Folder("next chunk"));
    Recorder stopper;
    stopper.stopAtFirstFolder = &s.catalog.scanStopFlag;
    ntfs::FolderTree tree = advscan::NewFoundFileSystemTree();
    s.disk.readChunkSectors = 20;
    s.catalog.scanTarget = advscan::AdvanceScanTarget(0, 400);
    const advscan::AdvanceScanResult result = advscan::RunAdvanceScan(s.disk, s.catalog, tree, stopper);
    EXPECT_EQ(result.sweep, advscan::SweepOutcome::Stopped);
    EXPECT_EQ(s.catalog.FoundFolders().size(), 2u);  // the chunk being examined is finished
    EXPECT_FALSE(s.catalog.scanStopFlag.IsSet());
    // The analysis still ran on what was found.
    EXPECT_NE(std::find(stopper.statuses.begin(), stopper.statuses.end(), "Identify the file system(s)"),
              stopper.statuses.end());
    EXPECT_NE(s.catalog.FoundFolders()[0].record, 0u);
}

TEST(ScanRange, ARangePastTheDriveIsClippedToIt)
{
    advscan::ScanRange range = advscan::CheckScanRange("100", "4294967296");
    EXPECT_TRUE(advscan::ClipScanRange(range, 20480));
    EXPECT_EQ(range.check, advscan::RangeCheck::Valid);
    EXPECT_EQ(range.end, 20480u);
    EXPECT_EQ(advscan::RangeClippedMessage(20480),
              "The end sector lies beyond the end of the drive: the scan ends at sector 20480");

    range = advscan::CheckScanRange("100", "20480");
    EXPECT_FALSE(advscan::ClipScanRange(range, 20480));
    EXPECT_FALSE(advscan::ClipScanRange(range, 0));  // size unknown
    EXPECT_EQ(range.end, 20480u);

    range = advscan::CheckScanRange("20480", "30000");
    EXPECT_FALSE(advscan::ClipScanRange(range, 20480));
    EXPECT_EQ(range.check, advscan::RangeCheck::StartBeyondDrive);
    EXPECT_EQ(advscan::RangeProblemMessage(range.check, 20480),
              "Start sector lies beyond the end of the drive (20480 sectors)");

    range = advscan::CheckScanRange("x", "30000");
    EXPECT_FALSE(advscan::ClipScanRange(range, 20480));
    EXPECT_EQ(range.check, advscan::RangeCheck::StartNotValid);
}

TEST(ScanRange, TheWizardsChecksInOrder)
{
    EXPECT_EQ(advscan::CheckScanRange("-5", "x").check, advscan::RangeCheck::StartNotValid);
    EXPECT_EQ(advscan::CheckScanRange("", "10").check, advscan::RangeCheck::StartNotValid);
    EXPECT_EQ(advscan::CheckScanRange("18014398509481984", "10").check, advscan::RangeCheck::StartNotValid);
    EXPECT_EQ(advscan::CheckScanRange("1", "18446744073709551616").check, advscan::RangeCheck::EndNotValid);
    EXPECT_EQ(advscan::CheckScanRange("1", "+10").check, advscan::RangeCheck::EndNotValid);
    EXPECT_EQ(advscan::CheckScanRange("100", "100").check, advscan::RangeCheck::EndNotAfterStart);
    const advscan::ScanRange ok = advscan::CheckScanRange("0", "4294967295");
    EXPECT_EQ(ok.check, advscan::RangeCheck::Valid);
    EXPECT_EQ(ok.end, 4294967295u);
    const advscan::ScanRange wide = advscan::CheckScanRange("4294967296", "6442450944");
    EXPECT_EQ(wide.check, advscan::RangeCheck::Valid);
    EXPECT_EQ(wide.start, 4294967296u);
    const catalog::ScanTarget target = advscan::AdvanceScanTarget(100, 250);
    EXPECT_EQ(target.scanType, core::kFsNtfs);
    EXPECT_EQ(target.scanSectorCount, 150u);
    EXPECT_EQ(target.scanEndSector, 250u);
}

}  // namespace

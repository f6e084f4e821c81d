// The quick route to a live file through the directory indexes, on volumes built in memory: the
// Standard Scan's catalog is the oracle, and every case where the two could part (names shared by
// several records, stale index entries, free and damaged index blocks, an allocation split over
// extension records, $MFT runs the walk numbers otherwise) is either answered as the scan would
// or left to it.
#include "ntfs/live_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "support/mft_volume.h"
#include "support/ntfs_builder.h"

namespace {

using namespace testing_support;

FileNameSpec Name(const std::string& name, std::uint64_t parent = 5, std::uint32_t attributes = 0x20)
{
    return {.name = name, .parent = parent, .nameSpace = 1, .fileAttributes = attributes};
}

IndexEntrySpec Entry(std::uint64_t record, const std::string& name, std::uint64_t parent = 5, bool folder = false)
{
    return {.record = record, .key = Name(name, parent, folder ? 0x10000000 : 0x20)};
}

FileRecordBuilder Root()
{
    FileRecordBuilder root;
    root.Flags(3).RecordNumber(5).FileName({.name = ".", .parent = 5, .nameSpace = 3, .fileAttributes = 0x10000006});
    return root;
}

class LivePath : public ::testing::Test
{
protected:
    std::optional<catalog::NtfsFileEntry> Resolve(const std::string& path)
    {
        catalog::VolumeParams params;
        ntfs::MftRunTable table;
        if (!ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params)) {
            return std::nullopt;
        }
        ntfs::BuildMftRunTable(volume.Disk(), params.clusterBase, ntfs::MftSectorOf(params.mftSector),
                               params.sectorsPerCluster, table);
        return ntfs::ResolveLiveFile(volume.Disk(), params, table, path);
    }
    // The scan's entry of record `number` (the first when it lists several).
    std::optional<catalog::NtfsFileEntry> Scanned(std::uint32_t number)
    {
        catalog::Catalog catalog;
        ntfs::MftRunTable table;
        ntfs::FolderTree tree;
        catalog.scanTarget = volume.Target();
        ntfs::StandardScan(volume.Disk(), catalog, table, tree, core::NullSink());
        for (const catalog::NtfsFileEntry& f : catalog.NtfsFiles()) {
            if (f.record == number) {
                return f;
            }
        }
        return std::nullopt;
    }
    void ExpectScansEntry(const std::string& path, std::uint32_t number)
    {
        SCOPED_TRACE(path);
        const auto found = Resolve(path);
        const auto scanned = Scanned(number);
        ASSERT_TRUE(found && scanned);
        EXPECT_EQ(std::tie(found->name, found->record, found->parent, found->created, found->changed, found->size,
                           found->deleted, found->dataRecordSector),
                  std::tie(scanned->name, scanned->record, scanned->parent, scanned->created, scanned->changed,
                           scanned->size, scanned->deleted, scanned->dataRecordSector));
    }

    MftVolume volume;
};

TEST_F(LivePath, LiveFileWinsOverStaleAndDeletedNamesakes)
{
    volume.PutFile(20, "a.txt", 5, 1, 300);
    volume.PutFile(21, "a.txt", 5, 0, 40);   // deleted, same name and folder
    volume.PutFile(22, "b.txt", 7, 1, 10);   // the index says b.txt of the root; the record says otherwise
    volume.PutRecord(5, Root().IndexRoot({Entry(21, "a.txt"), Entry(20, "a.txt"), Entry(22, "b.txt")}).Build());
    ExpectScansEntry("a.txt", 20);
    EXPECT_FALSE(Resolve("b.txt"));
    EXPECT_FALSE(Resolve("A.txt"));
}

TEST_F(LivePath, TwoLiveRecordsOfOneNameAreLeftToTheScan)
{
    volume.PutFile(20, "same.txt");
    volume.PutFile(21, "same.txt");
    volume.PutFolder(22, "dir");
    volume.PutFile(23, "dir", 5);  // a file named like a folder beside it: the folder is meant
    volume.PutRecord(5, Root().IndexRoot({Entry(20, "same.txt"), Entry(21, "same.txt"), Entry(22, "dir", 5, true),
                                          Entry(23, "dir")})
                            .Build());
    EXPECT_FALSE(Resolve("same.txt"));
    EXPECT_FALSE(Resolve("dir"));
}

TEST_F(LivePath, IndexBlocksAreReadWhenInUseAndPassedOverWhenFree)
{
    // Two 4 KiB blocks at clusters 200 and 201; the file is listed in the second.
    const auto putBlocks = [&](bool firstDamaged, std::uint8_t bitmap) {
        ByteBuffer first = BuildIndexBuffer(0, {Entry(30, "other.txt")});
        if (firstDamaged) {
            first[510] ^= 0xFF;  // a torn sector
        }
        volume.Raw().Write(core::SectorOffset(volume.ClusterSector(200)), first);
        volume.Raw().Write(core::SectorOffset(volume.ClusterSector(201)), BuildIndexBuffer(1, {Entry(31, "deep.txt")}));
        const ByteBuffer bits = {bitmap, 0, 0, 0, 0, 0, 0, 0};
        volume.PutRecord(5, Root()
                                .IndexRoot({Entry(20, "top.txt")}, true)
                                .NonResident({.type = 0xA0, .name = "$I30", .runs = EncodeRunList({{2, 200}}),
                                              .startVcn = 0, .lastVcn = 1, .allocatedSize = 8192, .dataSize = 8192,
                                              .initializedSize = 8192})
                                .Attribute(BuildResidentAttribute(0xB0, bits, "$I30"))
                                .Build());
    };
    volume.PutFile(20, "top.txt");
    volume.PutFile(30, "other.txt");
    volume.PutFile(31, "deep.txt", 5, 1, 500);
    putBlocks(false, 0x03);
    ExpectScansEntry("deep.txt", 31);
    ExpectScansEntry("other.txt", 30);
    putBlocks(true, 0x02);  // the torn block is free: its entries cannot matter
    ExpectScansEntry("deep.txt", 31);
    putBlocks(true, 0x03);  // in use: what it lists is unknown
    EXPECT_FALSE(Resolve("deep.txt"));
    EXPECT_FALSE(Resolve("top.txt"));
}

TEST_F(LivePath, AllocationSplitInExtentsIsReadInVcnOrder)
{
    // The root keeps its allocation in two extents, as large folders do: VCN 1 in extension
    // record 24 (listed first), VCN 0 in the root itself.
    const auto putRoot = [&](std::uint64_t secondVcn) {
        volume.Raw().Write(core::SectorOffset(volume.ClusterSector(200)), BuildIndexBuffer(0, {Entry(30, "one.txt")}));
        volume.Raw().Write(core::SectorOffset(volume.ClusterSector(300)), BuildIndexBuffer(1, {Entry(31, "two.txt")}));
        ByteBuffer extension = FileRecordBuilder()
                                   .Flags(1)
                                   .RecordNumber(24)
                                   .NonResident({.type = 0xA0, .name = "$I30", .runs = EncodeRunList({{1, 300}}),
                                                 .startVcn = secondVcn, .lastVcn = secondVcn, .allocatedSize = 0,
                                                 .dataSize = 0, .initializedSize = 0})
                                   .Build();
        extension[32] = 5;
        volume.PutRecord(24, extension);
        volume.PutRecord(5, Root()
                                .AttributeList({{.type = 0x30, .record = 5},
                                                {.type = 0x90, .record = 5, .name = "$I30"},
                                                {.type = 0xA0, .startVcn = secondVcn, .record = 24, .name = "$I30"},
                                                {.type = 0xA0, .record = 5, .name = "$I30"}})
                                .IndexRoot({}, true)
                                .NonResident({.type = 0xA0, .name = "$I30", .runs = EncodeRunList({{1, 200}}),
                                              .startVcn = 0, .lastVcn = 0, .allocatedSize = 8192, .dataSize = 8192,
                                              .initializedSize = 8192})
                                .Build());
    };
    volume.PutFile(30, "one.txt");
    volume.PutFile(31, "two.txt", 5, 1, 77);
    putRoot(1);
    ExpectScansEntry("one.txt", 30);
    ExpectScansEntry("two.txt", 31);
    putRoot(2);  // a hole between the extents: the blocks cannot be placed
    EXPECT_FALSE(Resolve("two.txt"));
}

TEST(LivePathRuns, AnOddMftRunIsLeftToTheScan)
{
    // 512-byte clusters: a first run of 33 sectors leaves a sector the walk does not number.
    MftVolume volume(MftVolumeLayout{.volumeStart = 63, .volumeSectors = 16384, .sectorsPerCluster = 1,
                                     .mftRuns = {{33, 64}, {64, 300}}, .mftMirrCluster = 2});
    volume.PutFile(2, "early.txt");
    volume.PutRecord(5, Root().IndexRoot({Entry(2, "early.txt")}).Build());
    catalog::VolumeParams params;
    ntfs::MftRunTable table;
    ASSERT_TRUE(ntfs::ComputeNtfsParameters(volume.Disk(), volume.Target(), params));
    ntfs::BuildMftRunTable(volume.Disk(), params.clusterBase, ntfs::MftSectorOf(params.mftSector),
                           params.sectorsPerCluster, table);
    ASSERT_EQ(table.Count(), 2u);
    EXPECT_FALSE(ntfs::ResolveLiveFile(volume.Disk(), params, table, "early.txt"));
}

}  // namespace

// Finishing a snapshot load: the NTFS run table comes back from the disk and the tree and root
// listing equal those of the scan the snapshot was saved after.
#include "snapshot/snapshot_finish.h"

#include <gtest/gtest.h>

#include <vector>

#include "snapshot/snapshot_codec.h"
#include "snapshot/snapshot_file.h"
#include "support/mft_volume.h"

namespace snapshot {
namespace {

using testing_support::MftVolume;

std::vector<std::string> RowTexts(const std::vector<ntfs::ListRow>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows) {
        out.push_back(r.name + "|" + r.type + "|" + r.size + "|" + r.id);
    }
    return out;
}

void Transfer(const catalog::Catalog& from, catalog::Catalog& to)
{
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(SerializeSnapshot(from, bytes), SerializeOutcome::Serialized);
    ASSERT_EQ(LoadSnapshotBytes(bytes, to).outcome, LoadOutcome::Loaded);
}

TEST(FinishSnapshotLoad, NtfsLoadRebuildsWhatTheScanShowed)
{
    MftVolume volume;
    volume.PutFolder(40, "DOCS");
    volume.PutFolder(41, "2005", 40);
    volume.PutFolder(42, "OLD", 40, 2);   // deleted folder
    volume.PutFile(50, "a.txt");
    volume.PutFile(51, "b.txt", 41);
    volume.PutFile(52, "lost.txt", 300);  // orphan: hangs under placeholder Dir0

    catalog::Catalog scanned;
    scanned.scanTarget = volume.Target();
    ntfs::MftRunTable scanTable;
    ntfs::FolderTree scanTree;
    const auto scan = ntfs::StandardScan(volume.Disk(), scanned, scanTable, scanTree, core::NullSink());
    ASSERT_EQ(scan.outcome, ntfs::StandardScanOutcome::Completed);

    catalog::Catalog loaded;
    Transfer(scanned, loaded);
    loaded.scanStopFlag.Request();
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    tree.Insert(tree.Root(), "stale", 2, 1);
    const FinishResult r = FinishSnapshotLoad(volume.Disk(), loaded, table, tree, core::NullSink());

    EXPECT_FALSE(loaded.scanStopFlag.IsSet());
    ASSERT_EQ(r.runTable, ntfs::RunTableOutcome::Complete);
    ASSERT_EQ(table.Count(), scanTable.Count());
    for (std::uint32_t record : {0u, 5u, 41u, 52u}) {
        EXPECT_EQ(table.RecordToSector(record), scanTable.RecordToSector(record)) << record;
    }
    EXPECT_EQ(tree.Size(), scanTree.Size());
    EXPECT_EQ(RowTexts(r.rootRows), RowTexts(scan.rootRows));
    ASSERT_EQ(loaded.NtfsFolders().size(), scanned.NtfsFolders().size());
    for (std::size_t i = 0; i < loaded.NtfsFolders().size(); ++i) {
        EXPECT_EQ(loaded.NtfsFolders()[i].treeItem, scanned.NtfsFolders()[i].treeItem) << i;
    }
    EXPECT_EQ(loaded.fileCount, scanned.fileCount);
    EXPECT_EQ(loaded.folderCount, scanned.folderCount);
}

TEST(FinishSnapshotLoad, TreeIsBuiltEvenWhenTheSelectedDiskHoldsNoMft)
{
    MftVolume volume;
    volume.PutFolder(40, "DOCS");
    catalog::Catalog scanned;
    scanned.scanTarget = volume.Target();
    ntfs::MftRunTable scanTable;
    ntfs::FolderTree scanTree;
    ntfs::StandardScan(volume.Disk(), scanned, scanTable, scanTree, core::NullSink());

    catalog::Catalog loaded;
    Transfer(scanned, loaded);
    disk::DiskState noDrive;  // another disk selected: nothing reads
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    const FinishResult r = FinishSnapshotLoad(noDrive, loaded, table, tree, core::NullSink());
    EXPECT_EQ(r.runTable, ntfs::RunTableOutcome::NoRecord5);
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(r.foldersPlaced, 1u);
    EXPECT_EQ(tree.Size(), 2u);
}

TEST(FinishSnapshotLoad, ParentLoopsAndMissingParentsOfAFileFromElsewhereAreHungUnderPlaceholders)
{
    // A snapshot written by another tool or damaged: no placeholders, a loop, a missing parent.
    catalog::Catalog written;
    written.scanTarget = {core::kFsNtfs, 63, 1000, 1062, 1};
    written.volumeParams.type = core::kFsNtfs;
    written.AddNtfsFolder({.name = "Dir4", .record = 90, .parent = 5});  // a placeholder of its scan
    written.AddNtfsFolder({.name = "A", .record = 40, .parent = 41});
    written.AddNtfsFolder({.name = "B", .record = 41, .parent = 40});
    written.AddNtfsFile({.name = "in-a.txt", .record = 50, .parent = 40, .size = 1, .dataRecordSector = 100});
    written.AddNtfsFile({.name = "stray.txt", .record = 51, .parent = 77, .size = 1, .dataRecordSector = 102});
    written.fileCount = 2;

    catalog::Catalog loaded;
    Transfer(written, loaded);
    disk::DiskState noDrive;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    const FinishResult r = FinishSnapshotLoad(noDrive, loaded, table, tree, core::NullSink());
    EXPECT_EQ(r.foldersPlaced, 5u);  // Dir4, A, B, and Dir5 (record 77), Dir6 (the loop)
    std::vector<std::string> names;
    for (const auto& f : loaded.NtfsFolders()) {
        names.push_back(f.name);
        EXPECT_NE(f.treeItem, 0u) << f.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Dir4", "A", "B", "Dir5", "Dir6"}));
}

TEST(FinishSnapshotLoad, FatBuildsNoRunTableAndListsClusterZero)
{
    catalog::Catalog fat;
    fat.volumeParams.type = core::kFsFat32;
    fat.AddFatFolder({"DOCS", 3, 0, 0x3261, 0x3262, 0, 0, 0});
    fat.AddFatFolder({"SUB", 4, 3, 0, 0, 0, 0, 0});
    fat.AddFatFile({"ROOT.TXT", 9, 0, 0, 0, 12, 0, 0});
    ++fat.fileCount;
    catalog::Catalog loaded;
    Transfer(fat, loaded);

    disk::DiskState noDrive;
    ntfs::MftRunTable table;
    ASSERT_TRUE(table.Append(100, 16));
    ntfs::FolderTree tree;
    const FinishResult r = FinishSnapshotLoad(noDrive, loaded, table, tree, core::NullSink());
    EXPECT_FALSE(r.runTable.has_value());
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(r.foldersPlaced, 2u);
    EXPECT_EQ(tree.Size(), 3u);
    ASSERT_EQ(r.rootRows.size(), 2u);
    EXPECT_EQ(r.rootRows[0].name, "DOCS");
    EXPECT_EQ(r.rootRows[1].name, "ROOT.TXT");
    EXPECT_EQ(r.rootRows[1].id, "0");  // files numbered anew on load
}

TEST(FinishSnapshotLoad, OtherTypeGivesAnEmptyTree)
{
    catalog::Catalog none;
    disk::DiskState noDrive;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    tree.Insert(tree.Root(), "stale", 2, 1);
    const FinishResult r = FinishSnapshotLoad(noDrive, none, table, tree, core::NullSink());
    EXPECT_FALSE(r.runTable.has_value());
    EXPECT_EQ(tree.Size(), 1u);
    EXPECT_TRUE(r.rootRows.empty());
}

}  // namespace
}  // namespace snapshot

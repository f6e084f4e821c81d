// Batch recovery over catalogs a damaged or crafted disk gives: folders whose parent links loop,
// files no folder walk reaches, and records that no longer hold the file the catalog names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ntfs/folder_tree.h"
#include "ntfs/standard_scan.h"
#include "recovery/batch_recovery.h"
#include "recovery/file_extraction.h"
#include "support/fixtures.h"
#include "support/mft_volume.h"

namespace {

namespace fs = std::filesystem;
using recovery::ExtractOutcome;
using testing_support::ByteBuffer;
using testing_support::FileRecordBuilder;
using testing_support::MftVolume;

const std::uint64_t kCreated = testing_support::FileNameSpec{}.created;  // what MftVolume::PutFile writes

class HostileBatchTest : public ::testing::Test
{
protected:
    HostileBatchTest()
    {
        m_dir = testing_support::FreshTestFolder("dravik-hostile");
    }
    ~HostileBatchTest() override { fs::remove_all(m_dir); }

    void Scan()
    {
        catalog.scanTarget = vol.Target();
        result = ntfs::StandardScan(vol.Disk(), catalog, table, tree, core::NullSink(), {});
    }

    // Recover All (or the given folders) of the catalog's NTFS lists, every event kept.
    recovery::BatchSummary Recover(const recovery::BatchSelection& selection = {
                                       .all = true, .folders = {}, .files = {}})
    {
        recovery::ExtractionContext context;
        context.volume = catalog.volumeParams;
        context.lastSector = vol.Layout().volumeStart + vol.Layout().volumeSectors - 1;
        context.mftMap = &table;
        recovery::Extractor extractor(vol.Disk(), state, context);
        events.clear();
        return recovery::RecoverBatch(extractor, state, catalog, recovery::BatchSource::NtfsFiles, selection, m_dir,
                                      [this](const recovery::BatchEvent& e) { events.push_back(e); });
    }

    std::vector<std::string> PathsWith(ExtractOutcome outcome) const
    {
        std::vector<std::string> paths;
        for (const auto& e : events) {
            if (!e.folder && e.result.outcome == outcome)
                paths.push_back(e.relativePath);
        }
        return paths;
    }

    MftVolume vol;
    catalog::Catalog catalog;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    ntfs::StandardScanResult result;
    recovery::RecoveryState state;
    std::vector<recovery::BatchEvent> events;
    fs::path m_dir;
};

TEST_F(HostileBatchTest, FilesInFoldersWhoseParentsLoopAreRecovered)
{
    vol.PutFolder(20, "A", 21);
    vol.PutFolder(21, "B", 20);
    vol.PutFolder(22, "Self", 22);
    vol.PutFile(30, "in-a.txt", 20);
    vol.PutFile(31, "in-b.txt", 21);
    vol.PutFile(32, "in-self.txt", 22);
    vol.PutFile(33, "top.txt", 5);
    Scan();
    ASSERT_EQ(catalog.NtfsFiles().size(), 5u);  // with $MFT itself
    for (const auto& f : catalog.NtfsFolders())
        EXPECT_NE(f.treeItem, 0u) << f.name;

    const recovery::BatchSummary summary = Recover();
    EXPECT_EQ(summary.written, 5u);
    EXPECT_EQ(summary.errors, 0u);
    EXPECT_TRUE(summary.AllWritten());
    // Each loop hangs under a placeholder of its own; the walk from A closes at B.
    EXPECT_TRUE(fs::exists(m_dir / "Dir0" / "B" / "A" / "in-a.txt"));
    EXPECT_TRUE(fs::exists(m_dir / "Dir0" / "B" / "in-b.txt"));
    EXPECT_TRUE(fs::exists(m_dir / "Dir1" / "Self" / "in-self.txt"));
}

TEST_F(HostileBatchTest, AFileNoFolderWalkReachesIsAFailureNotASilentGap)
{
    // A catalog as a stopped orphan pass leaves it: the file's folder is missing.
    catalog.volumeParams = {};
    catalog.volumeParams.type = core::kFsNtfs;
    catalog.volumeParams.sectorsPerCluster = 8;
    catalog.volumeParams.clusterBase = vol.Layout().volumeStart;
    vol.PutFile(30, "lost.txt", 77);
    vol.PutFile(31, "kept.txt", 5);
    vol.PutFolder(40, "Docs", 5);
    vol.PutFile(41, "doc.txt", 40);
    catalog.AddNtfsFolder({.name = "Docs", .record = 40, .parent = 5});
    catalog.AddNtfsFile({.name = "lost.txt", .record = 30, .parent = 77, .created = kCreated, .size = 10,
                         .dataRecordSector = vol.RecordSector(30)});
    catalog.AddNtfsFile({.name = "kept.txt", .record = 31, .parent = 5, .created = kCreated, .size = 10,
                         .dataRecordSector = vol.RecordSector(31)});
    catalog.AddNtfsFile({.name = "doc.txt", .record = 41, .parent = 40, .created = kCreated, .size = 10,
                         .dataRecordSector = vol.RecordSector(41)});
    catalog.fileCount = 3;

    recovery::BatchSummary summary = Recover();
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.errors, 1u);
    EXPECT_FALSE(summary.AllWritten());
    EXPECT_EQ(PathsWith(ExtractOutcome::NotReached), (std::vector<std::string>{"lost.txt"}));

    // A folder's recovery owes only what lies below it.
    fs::remove_all(m_dir);
    summary = Recover({.all = false, .folders = {0}, .files = {}});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.errors, 0u);
}

TEST_F(HostileBatchTest, RecordsThatNoLongerHoldTheCatalogsFileFailWithTheReason)
{
    for (std::uint32_t n = 30; n < 36; ++n)
        vol.PutFile(n, "f" + std::to_string(n) + ".txt");
    Scan();
    ASSERT_EQ(catalog.NtfsFiles().size(), 7u);  // with $MFT itself

    // The disk changes after the catalog was made (as it may after a snapshot was saved).
    vol.PutRecord(31, FileRecordBuilder()
                          .Flags(1)
                          .RecordNumber(31)
                          .FileName({.name = "someone-else.txt", .parent = 5, .created = 0x01D9000000000000ULL})
                          .ResidentData(ByteBuffer(10, 'y'))
                          .Build());
    vol.PutRecord(32, ByteBuffer(1024, 0));
    ByteBuffer torn = FileRecordBuilder().RecordNumber(33).FileName({.name = "f33.txt", .parent = 5}).Build();
    torn[510] ^= 0xFF;  // the update sequence number at the end of the first sector
    vol.PutRecord(33, torn);
    vol.PutRecord(34, FileRecordBuilder().RecordNumber(99).FileName({.name = "f34.txt", .parent = 5}).Build());
    vol.PutFile(35, "renamed since, same file.txt");  // the same file (parent, creation time) renamed

    const recovery::BatchSummary summary = Recover();
    EXPECT_EQ(summary.written, 3u);  // $MFT, f30 and f35 as they were
    EXPECT_EQ(summary.errors, 4u);
    EXPECT_EQ(PathsWith(ExtractOutcome::RecordOfOtherFile), (std::vector<std::string>{"f31.txt", "f34.txt"}));
    EXPECT_EQ(PathsWith(ExtractOutcome::RecordNotFile), (std::vector<std::string>{"f32.txt"}));
    EXPECT_EQ(PathsWith(ExtractOutcome::RecordTorn), (std::vector<std::string>{"f33.txt"}));
    EXPECT_FALSE(fs::exists(m_dir / "f31.txt"));
}

TEST(CheckRecordOfFile, ExtensionRecordsAnswerByTheirBaseAndListedRecordsByTheirNumber)
{
    // $DATA in an extension record: its base reference names the file.
    ByteBuffer extension = FileRecordBuilder().RecordNumber(70).BaseRecord((std::uint64_t{3} << 48) | 30).Build();
    EXPECT_EQ(recovery::CheckRecordOfFile(extension, {.record = 30}), std::nullopt);
    extension = FileRecordBuilder().RecordNumber(70).BaseRecord(31).Build();
    EXPECT_EQ(recovery::CheckRecordOfFile(extension, {.record = 30}), ExtractOutcome::RecordOfOtherFile);

    // A record with an attribute list may keep the chosen name elsewhere: the number decides.
    ByteBuffer listed = FileRecordBuilder()
                            .RecordNumber(30)
                            .AttributeList({{.type = 0x30, .record = 71}})
                            .FileName({.name = "SHORT~1.TXT", .parent = 5, .nameSpace = 2})
                            .Build();
    EXPECT_EQ(recovery::CheckRecordOfFile(listed, {.record = 30, .parent = 7}), std::nullopt);

    ByteBuffer shortRecord(100, 0);
    EXPECT_EQ(recovery::CheckRecordOfFile(shortRecord, {.record = 30}), ExtractOutcome::RecordNotFile);
}

}  // namespace

// File-system identification: MFT numbering, confirmation by boot sector and by index pairs, the
// orphan pass, the agreement of the indexed identification with the plain walks on random
// inputs, and mounting a found file system.
#include "advscan/analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "advscan/mount.h"
#include "ntfs/listing.h"
#include "ntfs/tree_builder.h"
#include "snapshot/snapshot_codec.h"
#include "snapshot/snapshot_file.h"
#include "snapshot/snapshot_finish.h"
#include "support/memory_disk.h"
#include "support/ntfs_builder.h"

namespace {

using namespace testing_support;

catalog::FoundFolderRecord Folder(core::Sector sector, std::uint32_t record, std::uint32_t lcn = 0,
                               std::uint32_t parent = 5, std::string name = "f")
{
    catalog::FoundFolderRecord f;
    f.name = std::move(name);
    f.sector = sector;
    f.record = record;
    f.indexStartCluster = lcn;
    f.parent = parent;
    f.created = FileNameSpec{}.created;
    return f;
}

catalog::FoundIndexRecord Indx(core::Sector sector, std::uint32_t owner, std::uint32_t vcn = 0)
{
    return {sector, owner, vcn, -1, 8};
}

struct Analysis
{
    MemoryDisk* memory = nullptr;
    disk::DiskState disk;
    catalog::Catalog catalog;
    ntfs::FolderTree tree = advscan::NewFoundFileSystemTree();

    explicit Analysis(std::uint32_t sectors = 4096, core::Sector scanEnd = 4000)
    {
        auto owned = std::make_unique<MemoryDisk>(std::uint64_t{sectors} * 512);
        memory = owned.get();
        disk.driveHandle = std::move(owned);
        catalog.scanTarget = {core::kFsNtfs, 0, scanEnd, scanEnd, 0};
    }
    void Boot(core::Sector at, std::uint8_t spc, std::uint64_t total)
    {
        memory->WriteSector(at, BuildBootSector({.sectorsPerCluster = spc, .totalSectors = total}));
        catalog.AddBootHit(at);
        ++catalog.bootHitCount;
    }
    void Index(const catalog::FoundIndexRecord& r)
    {
        catalog.AddFoundIndexRecord(r);
        ++catalog.indexRecordCount;
    }
    std::vector<std::int16_t> FolderNumbers() const
    {
        std::vector<std::int16_t> n;
        for (const auto& f : catalog.FoundFolders()) {
            n.push_back(f.fsNumber);
        }
        return n;
    }
};

TEST(AssignRecordNumbers, IndexEntriesFirstThenInterpolation)
{
    Analysis a;
    // Two unnumbered folders alike in name, parent and time: the entry numbers the first.
    a.catalog.AddFoundFolder(Folder(100, 0, 0, 40, "twin"));
    a.catalog.AddFoundFolder(Folder(102, 0, 0, 40, "twin"));
    a.catalog.AddFoundFolder(Folder(200, 30));  // numbered by its own index root: kept
    a.catalog.AddFoundFolder(Folder(202, 0));
    a.catalog.AddFoundFolder(Folder(209, 0));  // 7 sectors on: odd, n + 1
    a.catalog.AddFoundFolder(Folder(219, 0));  // 10 sectors on: n + 5
    const std::uint64_t created = FileNameSpec{}.created;
    a.memory->WriteSector(1000, BuildIndexBuffer(0, {
        {.record = 61, .key = {.name = "twin", .parent = 40, .fileAttributes = 0x10000000}},
        {.record = 62, .key = {.name = "f", .parent = 5, .fileAttributes = 0x10000000}},  // no such unnumbered folder
        {.record = 63, .key = {.name = "TWIN", .parent = 40, .fileAttributes = 0x10000000}},  // case counts
    }));
    a.memory->WriteSector(1100, BuildIndexBuffer(0, {
        {.record = 64, .key = {.name = "twin", .parent = 40, .created = created + 1, .fileAttributes = 0x10000000}},
    }));
    a.Index(Indx(1000, 40));
    a.Index(Indx(1100, 40));
    a.Index(Indx(1200, 40));  // no "INDX" there any more: passed over
    advscan::AssignRecordNumbers(a.disk, a.catalog, core::NullSink());
    std::vector<std::uint32_t> records;
    for (const auto& f : a.catalog.FoundFolders()) {
        records.push_back(f.record);
    }
    // Entry 62 passes over the numbered "f" at 200 to the one at 202. The second twin, 2 sectors
    // after 61, becomes 62; 7 sectors after 62 (odd) comes 63, and 10 sectors further 68.
    EXPECT_EQ(records, (std::vector<std::uint32_t>{61, 62, 30, 62, 63, 68}));
}

TEST(AssignRecordNumbers, InterpolationFromTheStart)
{
    Analysis a;
    a.catalog.AddFoundFolder(Folder(500, 0));  // nothing before: 1 + 1
    a.catalog.AddFoundFolder(Folder(502, 0));
    a.catalog.AddFoundFolder(Folder(512, 0));
    advscan::AssignRecordNumbers(a.disk, a.catalog, core::NullSink());
    EXPECT_EQ(a.catalog.FoundFolders()[0].record, 2u);
    EXPECT_EQ(a.catalog.FoundFolders()[1].record, 3u);
    EXPECT_EQ(a.catalog.FoundFolders()[2].record, 8u);
}

TEST(Identify, BootSectorConfirmedOnlyByFoldersAfterItAndUpToItsEnd)
{
    Analysis a;
    a.Boot(100, 8, 1000);   // ends at 1100
    a.Boot(1099, 8, 1000);  // its copy at the volume's end: nothing after it to confirm it
    a.Boot(2000, 4, 100);   // valid, but no folder lies where its geometry puts the index
    a.catalog.AddFoundFolder(Folder(50, 5, 10));     // before the boot sector
    a.catalog.AddFoundFolder(Folder(150, 5, 10));    // index at 100 + 8 * 10
    a.catalog.AddFoundFolder(Folder(160, 70, 20));   // index at 260
    a.catalog.AddFoundFolder(Folder(1200, 71, 2));   // beyond the end sector
    a.Index(Indx(180, 5));
    a.Index(Indx(260, 70));
    a.Index(Indx(1300, 71, 1));  // not vcn 0
    advscan::FileSystemIdentifier id(a.catalog, a.tree);
    id.IdentifyByBootSectors(a.disk);
    ASSERT_EQ(a.catalog.FileSystems().size(), 1u);
    const catalog::VolumeParams& v = a.catalog.FileSystems()[0].params;
    EXPECT_EQ(v.clusterBase, 100u);
    EXPECT_EQ(v.sectorsPerCluster, 8u);
    EXPECT_EQ(v.endSector, 1100u);
    EXPECT_EQ(v.mftSector, 100 + 8 * 4);
    EXPECT_EQ(v.mftMirrSector, 100 + 8 * 2);
    EXPECT_EQ(v.indexRecordSectors, 8);
    EXPECT_EQ(a.FolderNumbers(), (std::vector<std::int16_t>{0, 1, 1, 0}));
    EXPECT_EQ(a.catalog.FoundIndexRecords()[0].fsNumber, 1);
    const ntfs::TreeItem* item = a.tree.Find(a.catalog.FileSystems()[0].key);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text, "NTFS @100");
    EXPECT_TRUE(a.tree.Find(a.tree.Root())->expanded);
    EXPECT_EQ(a.tree.Find(a.tree.Root())->text, "File Systems");
}

TEST(Identify, IndexPairsFindAFileSystemWithoutBootSector)
{
    Analysis a(4096, 3000);
    // Volume at 600, 4 sectors per cluster.
    a.catalog.AddFoundFolder(Folder(700, 0));           // no allocation: -1
    a.catalog.AddFoundFolder(Folder(702, 40, 50));      // index at 800
    a.catalog.AddFoundFolder(Folder(704, 41, 60));      // index at 840
    a.catalog.AddFoundFolder(Folder(706, 42, 70));      // no index record: -1
    a.catalog.AddFoundFolder(Folder(708, 43, 55));      // index found elsewhere: stays 0
    a.Index(Indx(800, 40));
    a.Index(Indx(840, 41));
    a.Index(Indx(2222, 43));
    advscan::FileSystemIdentifier id(a.catalog, a.tree);
    id.IdentifyByIndexPairs();
    ASSERT_EQ(a.catalog.FileSystems().size(), 1u);
    const catalog::VolumeParams& v = a.catalog.FileSystems()[0].params;
    EXPECT_EQ(v.clusterBase, 600u);
    EXPECT_EQ(v.sectorsPerCluster, 4u);
    EXPECT_EQ(v.endSector, 3000u);
    EXPECT_EQ(v.mftSector, 0);
    EXPECT_EQ(v.mftMirrSector, 0);
    EXPECT_EQ(v.indexRecordSectors, 8);
    EXPECT_EQ(a.FolderNumbers(), (std::vector<std::int16_t>{-1, 1, 1, -1, 0}));
}

TEST(Identify, PairsRunningAgainstTheirClustersOrBeforeSectorZeroAreSkipped)
{
    Analysis a(4096, 3000);
    a.catalog.AddFoundFolder(Folder(10, 40, 100));  // index at 50
    a.catalog.AddFoundFolder(Folder(12, 41, 150));  // index at 20: sectors fall as clusters rise
    a.catalog.AddFoundFolder(Folder(14, 42, 200));  // index at 150: spc 1, but start 50 - 100 < 0
    a.Index(Indx(50, 40));
    a.Index(Indx(20, 41));
    a.Index(Indx(150, 42));
    advscan::FileSystemIdentifier id(a.catalog, a.tree);
    id.IdentifyByIndexPairs();
    EXPECT_TRUE(a.catalog.FileSystems().empty());
    EXPECT_EQ(id.CandidatesTried(), 0u);  // skipped before any confirmation
}

TEST(Identify, OrphanPassJoinsTheFolderBefore)
{
    Analysis a(4096, 3000);
    a.Boot(1000, 1, 1000);
    a.catalog.AddFoundFolder(Folder(900, 5));            // -1 at the head: file system 1
    a.catalog.AddFoundFolder(Folder(1010, 40, 10));      // placed in 1
    a.catalog.AddFoundFolder(Folder(1020, 41));          // -1 after a folder of 1
    a.catalog.AddFoundFolder(Folder(1030, 42, 77));      // index elsewhere: stays 0
    a.catalog.AddFoundFolder(Folder(1040, 43));          // -1 after a 0: gets 0
    a.Index(Indx(1010, 40));
    a.Index(Indx(3900, 42));
    advscan::AnalyseFoundStructures(a.disk, a.catalog, a.tree, core::NullSink());
    EXPECT_EQ(a.FolderNumbers(), (std::vector<std::int16_t>{1, 1, 1, 0, 0}));
}

// ---- The plain walks, for the equivalence test ----

struct PlainWalks
{
    std::vector<catalog::FoundFolderRecord> folders;
    std::vector<catalog::FoundIndexRecord> index;
    std::vector<catalog::VolumeParams> systems;

    bool Confirm(core::Sector start, std::uint32_t spc, core::Sector end)
    {
        const auto number = static_cast<std::int16_t>(systems.size() + 1);
        bool placed = false;
        for (auto& f : folders) {
            if (f.sector > end)
                break;
            if (f.sector <= start || f.fsNumber != 0 || f.indexStartCluster == 0)
                continue;
            const std::uint64_t target = std::uint64_t{start} + std::uint64_t{spc} * f.indexStartCluster;
            for (auto& r : index) {
                if (r.vcn == 0 && r.fsNumber == -1 && r.sector == target && r.owner == f.record) {
                    r.fsNumber = number;
                    f.fsNumber = number;
                    placed = true;
                    break;
                }
            }
        }
        return placed;
    }
    const catalog::FoundIndexRecord* FirstIndex(std::uint32_t record) const
    {
        for (const auto& r : index)
            if (r.vcn == 0 && r.fsNumber == -1 && r.owner == record)
                return &r;
        return nullptr;
    }
    void Boot(const std::vector<core::Sector>& hits, const std::vector<std::uint8_t>& disk)
    {
        for (const core::Sector b : hits) {
            const std::uint8_t spc = disk[std::size_t{b} * 512 + 13];
            std::uint64_t total = 0;
            for (int i = 3; i >= 0; --i)
                total = total << 8 | disk[std::size_t{b} * 512 + 0x28 + static_cast<std::size_t>(i)];
            if (spc == 0 || (spc & (spc - 1)) != 0)
                continue;
            const auto end = static_cast<core::Sector>(std::min<std::uint64_t>(0xFFFFFFFFu, b + total));
            if (Confirm(b, spc, end)) {
                catalog::VolumeParams v;
                v.clusterBase = b;
                v.sectorsPerCluster = spc;
                v.endSector = end;
                systems.push_back(v);
            }
        }
    }
    void Pairs(core::Sector end)
    {
        for (std::size_t p = 0; p < folders.size(); ++p) {
            if (folders[p].fsNumber != 0)
                continue;
            const std::uint32_t lcnP = folders[p].indexStartCluster;
            const catalog::FoundIndexRecord* ip = lcnP == 0 ? nullptr : FirstIndex(folders[p].record);
            if (ip == nullptr || ip->sector == 0) {
                folders[p].fsNumber = -1;
                continue;
            }
            const core::Sector sectorP = ip->sector;
            for (std::size_t q = p + 1; q < folders.size(); ++q) {
                const std::uint32_t lcnQ = folders[q].indexStartCluster;
                if (folders[q].fsNumber != 0 || lcnQ == 0)
                    continue;
                const catalog::FoundIndexRecord* iq = FirstIndex(folders[q].record);
                if (iq == nullptr || iq->sector == 0 || iq->sector == sectorP || lcnQ == lcnP)
                    continue;
                const std::uint32_t spc = lcnQ < lcnP ? (sectorP - iq->sector) / (lcnP - lcnQ)
                                                      : (iq->sector - sectorP) / (lcnQ - lcnP);
                const std::int64_t start = std::int64_t{sectorP} - std::int64_t{spc} * lcnP;
                if (spc == 0 || spc > 128 || (spc & (spc - 1)) != 0 || start < 0)
                    continue;
                if (Confirm(static_cast<core::Sector>(start), spc, end)) {
                    catalog::VolumeParams v;
                    v.clusterBase = static_cast<core::Sector>(start);
                    v.sectorsPerCluster = spc;
                    v.endSector = end;
                    systems.push_back(v);
                }
            }
        }
    }
};

TEST(Identify, IndexedIdentificationGivesThePlainWalksResults)
{
    std::mt19937 random(20240611);
    std::size_t confirmed = 0;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const core::Sector scanEnd = 1500 + random() % 1500;
        Analysis a(3100, scanEnd);
        auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
        // A few true volumes, whose folders' index buffers lie where their geometry says, and noise.
        std::map<core::Sector, bool> indexAt;
        std::vector<catalog::FoundFolderRecord> folders;
        const int volumes = 1 + static_cast<int>(pick(3));
        for (int v = 0; v < volumes; ++v) {
            const core::Sector start = pick(1200);
            const std::uint32_t spc = 1u << pick(4);
            if (pick(2) == 0) {
                a.Boot(start, static_cast<std::uint8_t>(spc), 200 + pick(1500));
            }
            for (int k = 0; k < 2 + static_cast<int>(pick(10)); ++k) {
                const std::uint32_t lcn = pick(4) == 0 ? 0 : 1 + pick(300 / spc);
                const std::uint32_t record = 5 + pick(25);
                folders.push_back(Folder(start + 1 + pick(600), record, lcn));
                const core::Sector at = start + spc * lcn + (pick(6) == 0 ? pick(3) : 0);
                if (lcn != 0 && at < 3000 && !indexAt[at]) {
                    indexAt[at] = true;
                    a.Index(Indx(at, record, pick(8) == 0 ? 1 : 0));
                }
            }
        }
        for (int k = 0; k < static_cast<int>(pick(8)); ++k) {
            folders.push_back(Folder(pick(3000), 5 + pick(25), pick(200)));
            const core::Sector at = pick(3000);
            if (!indexAt[at]) {
                indexAt[at] = true;
                a.Index(Indx(at, 5 + pick(25)));
            }
        }
        if (pick(3) != 0) {  // mostly in sweep order; sometimes not
            std::sort(folders.begin(), folders.end(), [](const auto& x, const auto& y) { return x.sector < y.sector; });
        }
        for (auto& f : folders) {
            a.catalog.AddFoundFolder(f);
        }
        PlainWalks plain{a.catalog.FoundFolders(), a.catalog.FoundIndexRecords(), {}};
        plain.Boot(a.catalog.BootSectorHits(), a.memory->Bytes());
        plain.Pairs(scanEnd);

        advscan::FileSystemIdentifier id(a.catalog, a.tree);
        id.IdentifyByBootSectors(a.disk);
        id.IdentifyByIndexPairs();

        ASSERT_EQ(a.catalog.FileSystems().size(), plain.systems.size());
        confirmed += plain.systems.size();
        for (std::size_t i = 0; i < plain.systems.size(); ++i) {
            EXPECT_EQ(a.catalog.FileSystems()[i].params.clusterBase, plain.systems[i].clusterBase);
            EXPECT_EQ(a.catalog.FileSystems()[i].params.sectorsPerCluster, plain.systems[i].sectorsPerCluster);
            EXPECT_EQ(a.catalog.FileSystems()[i].params.endSector, plain.systems[i].endSector);
        }
        for (std::size_t i = 0; i < plain.folders.size(); ++i) {
            EXPECT_EQ(a.catalog.FoundFolders()[i].fsNumber, plain.folders[i].fsNumber) << i;
        }
        for (std::size_t i = 0; i < plain.index.size(); ++i) {
            EXPECT_EQ(a.catalog.FoundIndexRecords()[i].fsNumber, plain.index[i].fsNumber) << i;
        }
    }
    EXPECT_GT(confirmed, 300u);  // the inputs do confirm file systems, by both routes
}

// ---- Selecting and mounting ----

TEST(Mount, OnlyTheSelectedFileSystemsFoldersWithPlaceholdersForMissingParents)
{
    catalog::Catalog c;
    ntfs::FolderTree fsTree = advscan::NewFoundFileSystemTree();
    auto add = [&](std::string name, core::Sector sector, std::uint32_t record, std::uint32_t parent,
                   std::int16_t fs) {
        catalog::FoundFolderRecord f = Folder(sector, record, 0, parent, std::move(name));
        f.fsNumber = fs;
        c.AddFoundFolder(f);
    };
    add(".", 100, 5, 5, 1);
    add("dot elsewhere", 102, 9, 5, 1);
    add("top", 104, 40, 5, 1);
    add("orphan a", 106, 41, 99, 1);
    add("orphan b", 108, 42, 99, 1);
    add("under top", 110, 43, 40, 1);
    add("other fs", 5000, 40, 5, 2);
    add("unplaced", 6000, 50, 5, 0);
    c.AddFoundFolder([] {
        catalog::FoundFolderRecord f = Folder(112, 44, 0, 5, ".");
        f.fsNumber = 1;
        return f;
    }());
    for (const core::Sector start : {core::Sector{50}, core::Sector{4000}}) {
        catalog::FileSystemRecord r;
        r.params.type = core::kFsNtfs;
        r.params.sectorsPerCluster = 8;
        r.params.clusterBase = start;
        r.params.mftSector = static_cast<std::int32_t>(start + 32);
        r.params.endSector = start + 2048 * 3 + 5;
        r.key = fsTree.Insert(fsTree.Root(), advscan::FoundFileSystemItemText(start), 3, 3);
        c.AddFileSystem(r);
        ++c.fileSystemCount;
    }
    catalog::FoundFileRecord inside;
    inside.name = "in.txt";
    inside.sector = 120;
    inside.parent = 40;
    c.AddFoundFile(inside);
    catalog::FoundFileRecord outside = inside;
    outside.name = "out.txt";
    outside.sector = 7000;  // parent matches, but the record lies in the other file system
    c.AddFoundFile(outside);

    EXPECT_FALSE(advscan::SelectFileSystem(c, 999, core::NullSink()));
    const auto panel = advscan::SelectFileSystem(c, c.FileSystems()[0].key, core::NullSink());
    ASSERT_TRUE(panel);
    EXPECT_EQ(*panel, (advscan::FileSystemPanel{"50", "8", "82", "0", "3 MB"}));
    EXPECT_EQ(c.selectedFileSystem, 1);

    ntfs::FolderTree tree;
    const advscan::MountResult mounted = advscan::MountFoundFileSystem(c, tree, core::NullSink());
    std::vector<std::string> names;
    for (const auto& f : c.NtfsFolders()) {
        names.push_back(f.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"dot elsewhere", "top", "orphan a", "orphan b", "under top", "Dir0"}));
    EXPECT_EQ(mounted.counts.placeholders, 1u);
    EXPECT_EQ(c.NtfsFolders().back().record, 99u);
    EXPECT_EQ(mounted.counts.placed, 6u);
    std::vector<std::string> topRows;
    for (const auto& row : ntfs::ListFoundFolder(c, 40, {}, {})) {
        topRows.push_back(row.name);
    }
    EXPECT_EQ(topRows, (std::vector<std::string>{"under top", "in.txt"}));

    // Mounting the other one starts again from an empty catalog.
    ASSERT_TRUE(advscan::SelectFileSystem(c, c.FileSystems()[1].key, core::NullSink()));
    ntfs::FolderTree second;
    advscan::MountFoundFileSystem(c, second, core::NullSink());
    ASSERT_EQ(c.NtfsFolders().size(), 1u);
    EXPECT_EQ(c.NtfsFolders()[0].name, "other fs");
}

// Names of the files a listing of folder `record` of the mount shows.
std::vector<std::string> MountedFileNames(const catalog::Catalog& c, std::uint32_t record)
{
    std::vector<std::string> names;
    for (const ntfs::ListRow& row : ntfs::ListFoundFolder(c, record, {}, {})) {
        if (!row.folder) {
            names.push_back(row.name);
        }
    }
    return names;
}

// Every found file of the mount lies in the root or in a folder the tree shows.
void ExpectEveryMountedFileReachable(const catalog::Catalog& c, const ntfs::FolderTree& tree)
{
    const ntfs::ShownVolume shown(c, ntfs::ShownKind::MountedFound);
    for (std::size_t p = 0; p < shown.FileListSize(); ++p) {
        if (!shown.Holds(p)) {
            continue;
        }
        const ntfs::ShownFile file = shown.File(p);
        if (file.parent == ntfs::kRootRecord) {
            continue;
        }
        const auto folder = c.NtfsFolderWithRecord(file.parent);
        ASSERT_TRUE(folder.has_value()) << file.name;
        EXPECT_NE(tree.Find(c.NtfsFolders()[*folder].treeItem), nullptr) << file.name;
        EXPECT_NE(c.NtfsFolders()[*folder].treeItem, 0u) << file.name;
    }
}

TEST(Mount, FoundFilesWhoseFolderIsMissingHangUnderPlaceholdersThatSurviveASnapshot)
{
    catalog::Catalog c;
    auto folder = [&](std::string name, core::Sector sector, std::uint32_t record, std::uint32_t parent) {
        catalog::FoundFolderRecord f = Folder(sector, record, 0, parent, std::move(name));
        f.fsNumber = 1;
        c.AddFoundFolder(f);
    };
    auto file = [&](std::string name, core::Sector sector, std::uint32_t parent) {
        catalog::FoundFileRecord f;
        f.name = std::move(name);
        f.sector = sector;
        f.parent = parent;
        c.AddFoundFile(f);
    };
    folder("top", 104, 40, 5);
    folder("orphan", 106, 41, 99);
    file("a.txt", 120, 99);    // parent missing like the orphan folder's: shares Dir0
    file("b.txt", 122, 77);    // parent missing: Dir1
    file("c.txt", 124, 77);    // shares Dir1
    file("d.txt", 7000, 88);   // outside the mounted sectors: no placeholder
    file("e.txt", 126, 5);
    file("f.txt", 128, 40);
    file("g.txt", 50, 66);     // at clusterBase: outside
    catalog::FileSystemRecord r;
    r.params.type = core::kFsNtfs;
    r.params.sectorsPerCluster = 8;
    r.params.clusterBase = 50;
    r.params.endSector = 6000;
    r.key = 1;
    c.AddFileSystem(r);
    ++c.fileSystemCount;
    ASSERT_TRUE(advscan::SelectFileSystem(c, 1, core::NullSink()));

    ntfs::FolderTree tree;
    const advscan::MountResult mounted = advscan::MountFoundFileSystem(c, tree, core::NullSink());
    std::vector<std::pair<std::string, std::uint32_t>> folders;
    for (const auto& f : c.NtfsFolders()) {
        folders.emplace_back(f.name, f.record);
    }
    using Folders = std::vector<std::pair<std::string, std::uint32_t>>;
    EXPECT_EQ(folders, (Folders{{"top", 40}, {"orphan", 41}, {"Dir0", 99}, {"Dir1", 77}}));
    EXPECT_EQ(mounted.counts.placeholders, 2u);
    EXPECT_EQ(mounted.counts.placed, 4u);
    EXPECT_EQ(MountedFileNames(c, 99), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(MountedFileNames(c, 77), (std::vector<std::string>{"b.txt", "c.txt"}));
    ExpectEveryMountedFileReachable(c, tree);

    // The snapshot of the mount carries the placeholders as folders; loaded again beside the
    // sweep lists, the tree leads to the same files.
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(snapshot::SerializeSnapshot(c, bytes), snapshot::SerializeOutcome::Serialized);
    ASSERT_EQ(snapshot::LoadSnapshotBytes(bytes, c).outcome, snapshot::LoadOutcome::Loaded);
    disk::DiskState noDisk;
    ntfs::MftRunTable runTable;
    ntfs::FolderTree loaded;
    snapshot::FinishOptions options;
    options.scanMethod = 2;
    const snapshot::FinishResult finished =
        snapshot::FinishSnapshotLoad(noDisk, c, runTable, loaded, core::NullSink(), options);
    EXPECT_EQ(finished.foldersPlaced, 4u);
    ASSERT_EQ(finished.rootRows.size(), 4u);  // top, Dir0, Dir1, then e.txt
    EXPECT_EQ(finished.rootRows.back().name, "e.txt");
    EXPECT_EQ(MountedFileNames(c, 77), (std::vector<std::string>{"b.txt", "c.txt"}));
    ExpectEveryMountedFileReachable(c, loaded);
}

}  // namespace

// The shown volume over each kind of catalog: which lists it draws from, which found files belong
// to a mounted file system, files by their ID, folder paths and path resolution.
#include "ntfs/shown_volume.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ntfs {
namespace {

catalog::NtfsFolderEntry NtfsFolder(std::string name, std::uint32_t record, std::uint32_t parent,
                                    std::uint32_t deleted = 0)
{
    catalog::NtfsFolderEntry e;
    e.name = std::move(name);
    e.record = record;
    e.parent = parent;
    e.deleted = deleted;
    return e;
}

catalog::FoundFileRecord Found(std::string name, core::Sector sector, std::uint32_t parent, std::uint32_t deleted = 0)
{
    catalog::FoundFileRecord f;
    f.name = std::move(name);
    f.sector = sector;
    f.parent = parent;
    f.size = sector * 10;
    f.deleted = deleted;
    return f;
}

// A mounted file system from sector 1000 to 2000 with one folder, found files inside and outside
// it, and an NTFS file that the mount must not show.
void FillMounted(catalog::Catalog& c)
{
    c.volumeParams.type = core::kFsNtfs;
    c.volumeParams.clusterBase = 1000;
    c.volumeParams.endSector = 2000;
    c.AddNtfsFolder(NtfsFolder("Docs", 40, 5));
    c.AddFoundFile(Found("first.txt", 1000, 5));   // at clusterBase: outside
    c.AddFoundFile(Found("a.txt", 1001, 5));
    c.AddFoundFile(Found("b.txt", 1500, 40, 1));
    c.AddFoundFile(Found("c.txt", 2000, 40));       // at endSector: inside
    c.AddFoundFile(Found("far.txt", 2001, 40));     // past the end: outside
    catalog::NtfsFileEntry stray;
    stray.name = "stray.txt";
    stray.parent = 5;
    c.AddNtfsFile(stray);
}

std::vector<std::string> FileNames(const ShownVolume& v, std::uint32_t key)
{
    std::vector<std::string> names;
    for (const std::size_t p : v.FilesIn(key))
        names.emplace_back(v.File(p).name);
    return names;
}

struct KindCase
{
    core::FsTypeCode type;
    bool advance;
    ShownKind kind;
};

class ShownKindChoice : public testing::TestWithParam<KindCase>
{
};

TEST_P(ShownKindChoice, TypeAndScanMethodPickTheLists)
{
    EXPECT_EQ(ShownKindOf(GetParam().type, GetParam().advance), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShownKindChoice,
                         testing::Values(KindCase{core::kFsNtfs, false, ShownKind::NtfsLists},
                                         KindCase{core::kFsNtfs, true, ShownKind::MountedFound},
                                         KindCase{core::kFsFat16, true, ShownKind::FatLists},
                                         KindCase{core::kFsFat32, false, ShownKind::FatLists},
                                         KindCase{0, false, ShownKind::None}, KindCase{0, true, ShownKind::None}));

TEST(ShownVolume, MountShowsOnlyTheFoundFilesInsideItsSectors)
{
    catalog::Catalog c;
    FillMounted(c);
    const ShownVolume v(c, ShownKind::MountedFound);
    EXPECT_EQ(FileNames(v, 5), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(FileNames(v, 40), (std::vector<std::string>{"b.txt", "c.txt"}));
    EXPECT_FALSE(v.Holds(0));
    EXPECT_FALSE(v.Holds(4));
    EXPECT_FALSE(v.Holds(5));  // past the list
    const ShownFile b = v.File(2);
    EXPECT_EQ(b.id, 1500u);
    EXPECT_EQ(b.recordSector, 1500u);
    EXPECT_EQ(b.size, 15000u);
    EXPECT_TRUE(b.deleted);
    EXPECT_EQ(v.FileWithId(1500), std::optional<std::size_t>(2));
    EXPECT_EQ(v.FileWithId(2001), std::nullopt);  // found, but not part of the mount
    EXPECT_EQ(v.FileWithId(7), std::nullopt);
}

TEST(ShownVolume, StandardScanShowsTheNtfsFilesAndNoFoundFiles)
{
    catalog::Catalog c;
    FillMounted(c);
    const ShownVolume v(c, ShownKind::NtfsLists);
    EXPECT_EQ(FileNames(v, 5), (std::vector<std::string>{"stray.txt"}));
    EXPECT_TRUE(FileNames(v, 40).empty());
    EXPECT_EQ(v.FileListSize(), 1u);
    EXPECT_EQ(v.RootKey(), 5u);
}

TEST(ShownVolume, FatListsGiveClustersSerialsAndDateWords)
{
    catalog::Catalog c;
    c.volumeParams.type = core::kFsFat32;
    catalog::FatFolderEntry docs;
    docs.name = "DOCS";
    docs.cluster = 9;
    docs.parentCluster = 0;
    docs.writeDate = 0x3267;  // 07-03-2005
    c.AddFatFolder(docs);
    catalog::FatFileEntry f;
    f.name = "A.TXT";
    f.cluster = 12;
    f.parentCluster = 9;
    f.size = 77;
    c.AddFatFile(f);
    ++c.fileCount;
    f.name = "B.TXT";
    c.AddFatFile(f);
    ++c.fileCount;
    const ShownVolume v(c, ShownKind::FatLists);
    EXPECT_EQ(v.RootKey(), 0u);
    ASSERT_EQ(std::vector<std::size_t>(v.FoldersIn(0).begin(), v.FoldersIn(0).end()), std::vector<std::size_t>{0});
    EXPECT_EQ(v.Folder(0).key, 9u);
    EXPECT_EQ(v.TimeText(v.Folder(0).created), "07-03-2005 ");
    EXPECT_EQ(FileNames(v, 9), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_EQ(v.File(1).id, 1u);
    EXPECT_EQ(v.File(1).firstCluster, 12u);
    EXPECT_EQ(v.FileWithId(1), std::optional<std::size_t>(1));
    ASSERT_TRUE(v.Resolve("/DOCS/B.TXT"));
    EXPECT_EQ(v.Resolve("/DOCS/B.TXT")->position, 1u);
}

TEST(ShownVolume, NoneShowsNothing)
{
    catalog::Catalog c;
    FillMounted(c);
    const ShownVolume v(c, ShownKind::None);
    EXPECT_TRUE(v.FoldersIn(5).empty());
    EXPECT_TRUE(v.FilesIn(5).empty());
    EXPECT_EQ(v.FileListSize(), 0u);
    EXPECT_EQ(v.FileWithId(1001), std::nullopt);
}

TEST(ShownVolume, FolderNamesFollowParentsAndStopAtLoopsAndGaps)
{
    catalog::Catalog c;
    c.AddNtfsFolder(NtfsFolder("A", 30, 5));
    c.AddNtfsFolder(NtfsFolder("B", 31, 30));
    c.AddNtfsFolder(NtfsFolder("C", 32, 31));
    c.AddNtfsFolder(NtfsFolder("X", 40, 41));   // X and Y are each other's parent
    c.AddNtfsFolder(NtfsFolder("Y", 41, 40));
    c.AddNtfsFolder(NtfsFolder("Lone", 50, 99));  // parent not found
    const ShownVolume v(c, ShownKind::NtfsLists);
    using Names = std::vector<std::string_view>;
    EXPECT_EQ(v.FolderNames(5), Names{});
    EXPECT_EQ(v.FolderNames(32), (Names{"A", "B", "C"}));
    EXPECT_EQ(v.FolderNames(40), (Names{"Y", "X"}));
    EXPECT_EQ(v.FolderNames(50), Names{"Lone"});
    EXPECT_EQ(v.FolderNames(77), Names{});
}

struct ResolveCase
{
    const char* path;
    std::optional<ShownEntry::Type> type;
    std::size_t position;
};

class ShownVolumeResolve : public testing::TestWithParam<ResolveCase>
{
};

TEST_P(ShownVolumeResolve, PathsNameLiveEntriesBeforeDeletedOnesAndFoldersBeforeFiles)
{
    catalog::Catalog c;
    FillMounted(c);
    c.AddNtfsFolder(NtfsFolder("Same", 60, 5, 1));   // folder 1, deleted
    c.AddNtfsFolder(NtfsFolder("Same", 61, 5));      // folder 2, live
    c.AddNtfsFolder(NtfsFolder("a.txt", 62, 61));    // folder 3: a folder and a file of one name
    c.AddFoundFile(Found("a.txt", 1700, 61));        // 5
    c.AddFoundFile(Found("d\xC3\xA9j\xC3\xA0.txt", 1800, 40));  // 6, a name beyond ASCII (UTF-8)
    const ShownVolume v(c, ShownKind::MountedFound);
    const ResolveCase& t = GetParam();
    const auto entry = v.Resolve(t.path);
    ASSERT_EQ(entry.has_value(), t.type.has_value()) << t.path;
    if (entry) {
        EXPECT_EQ(entry->type, *t.type) << t.path;
        EXPECT_EQ(entry->position, t.position) << t.path;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ShownVolumeResolve,
    testing::Values(ResolveCase{"", ShownEntry::Type::Root, 0}, ResolveCase{"//", ShownEntry::Type::Root, 0},
                    ResolveCase{"Docs", ShownEntry::Type::Folder, 0},
                    ResolveCase{"/Docs/c.txt", ShownEntry::Type::File, 3},
                    ResolveCase{"Docs/b.txt", ShownEntry::Type::File, 2},              // deleted, alone
                    ResolveCase{"Docs/far.txt", std::nullopt, 0},                      // outside the mount
                    ResolveCase{"first.txt", std::nullopt, 0},                         // at clusterBase
                    ResolveCase{"Same", ShownEntry::Type::Folder, 2},                  // live before deleted
                    ResolveCase{"Same/a.txt", ShownEntry::Type::Folder, 3},            // folder before file
                    ResolveCase{"Docs/d\xC3\xA9j\xC3\xA0.txt", ShownEntry::Type::File, 6},  // as it stands
                    ResolveCase{"Docs/d\xE9j\xE0.txt", std::nullopt, 0},               // not its Latin-1 bytes
                    ResolveCase{"Nope/a.txt", std::nullopt, 0}, ResolveCase{"docs", std::nullopt, 0}));

}  // namespace
}  // namespace ntfs

// Folder listings: row order and texts, filters, deleted entries, placeholders, found files of
// a mounted file system, FAT rows, and opening folder rows.
#include "ntfs/listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/folder_tree.h"
#include "ntfs/tree_builder.h"

namespace ntfs {
namespace {

constexpr catalog::FileTime kMarch2005 = 127546779090000000ull;  // 7-3-2005 14:5:9 UTC

catalog::NtfsFolderEntry Folder(std::string name, std::uint32_t record, std::uint32_t parent, std::uint32_t deleted = 0)
{
    catalog::NtfsFolderEntry e;
    e.name = std::move(name);
    e.record = record;
    e.parent = parent;
    e.created = kMarch2005;
    e.changed = kMarch2005;
    e.deleted = deleted;
    return e;
}

catalog::NtfsFileEntry File(std::string name, std::uint32_t parent, std::uint64_t size, core::Sector sector,
                   std::uint32_t deleted = 0)
{
    catalog::NtfsFileEntry e;
    e.name = std::move(name);
    e.parent = parent;
    e.size = size;
    e.dataRecordSector = sector;
    e.created = kMarch2005;
    e.changed = 0;
    e.deleted = deleted;
    return e;
}

std::string Describe(std::string_view name) { return "T(" + std::string(name) + ")"; }

std::vector<std::string> Names(const std::vector<ListRow>& rows)
{
    std::vector<std::string> names;
    for (const ListRow& r : rows)
        names.push_back(r.name);
    return names;
}

TEST(ListNtfsFolder, FoldersFirstThenFilesInCatalogOrderWithTheirTexts)
{
    catalog::Catalog c;
    c.AddNtfsFile(File("z.txt", 5, 0x1'0000'0001ull, 4242));
    c.AddNtfsFolder(Folder("zdir", 40, 5));
    c.AddNtfsFile(File("gone.doc", 5, 7, 4300, 1));
    c.AddNtfsFolder(Folder("adir", 41, 5, 1));
    c.AddNtfsFile(File("elsewhere", 40, 1, 1));
    c.SetNtfsFolderTreeItem(0, 17);

    const auto rows = ListNtfsFolder(c, 5, nullptr, Describe);
    ASSERT_EQ(Names(rows), (std::vector<std::string>{"zdir", "adir", "z.txt", "gone.doc"}));

    EXPECT_EQ(rows[0].type, "Folder");
    EXPECT_EQ(rows[0].size, "0");
    EXPECT_EQ(rows[0].created, "7-3-2005 14:5:9");
    EXPECT_EQ(rows[0].id, "17");
    EXPECT_TRUE(rows[0].folder);
    EXPECT_EQ(rows[1].type, "Deleted Folder");
    EXPECT_TRUE(rows[1].deleted);

    EXPECT_EQ(rows[2].type, "T(z.txt)");
    EXPECT_EQ(rows[2].size, "4294967297");
    EXPECT_EQ(rows[2].modified, "1-1-1601 0:0:0");
    EXPECT_EQ(rows[2].id, "4242");
    EXPECT_FALSE(rows[2].folder);
    EXPECT_EQ(rows[3].type, "Deleted T(gone.doc)");
    EXPECT_TRUE(rows[3].deleted);
}

TEST(ListNtfsFolder, FiltersDropFilesButNeverFolders)
{
    catalog::Catalog c;
    c.AddNtfsFolder(Folder("notes.txt", 40, 5));
    c.AddNtfsFile(File("report.doc", 5, 1, 1));
    c.AddNtfsFile(File("notes.txt", 5, 1, 2));
    std::vector<std::string> asked;
    const NameAdmitter onlyDoc = [&asked](std::string_view name) {
        asked.emplace_back(name);
        return name.ends_with(".doc");
    };
    const auto rows = ListNtfsFolder(c, 5, onlyDoc, Describe);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"notes.txt", "report.doc"}));
    EXPECT_TRUE(rows[0].folder);
    EXPECT_EQ(asked, (std::vector<std::string>{"report.doc", "notes.txt"}));
}

TEST(ListNtfsFolder, NoFoldersListsOnlyRootFilesAndPlaceholdersShowZeroes)
{
    catalog::Catalog c;
    c.AddNtfsFile(File("top", 5, 3, 10));
    c.AddNtfsFile(File("lost", 77, 3, 11));
    core::StopFlag stop;
    SearchLostData(c, 0, true, stop, core::NullSink());
    FolderTree tree;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, core::NullSink());

    const auto rows = ListNtfsFolder(c, 5, nullptr, Describe);
    ASSERT_EQ(Names(rows), (std::vector<std::string>{"Dir0", "top"}));
    EXPECT_EQ(rows[0].size, "0");
    EXPECT_EQ(rows[0].created, "1-1-1601 0:0:0");
    EXPECT_EQ(rows[0].modified, "1-1-1601 0:0:0");
    EXPECT_EQ(Names(ListNtfsFolder(c, 77, nullptr, Describe)), (std::vector<std::string>{"lost"}));
}

TEST(ListFoundFolder, OnlyFilesInsideTheMountedFileSystemWithTheirSectorAsId)
{
    catalog::Catalog c;
    c.volumeParams.clusterBase = 1000;
    c.volumeParams.endSector = 2000;
    c.AddNtfsFolder(Folder("sub", 40, 5));
    auto found = [&c](std::string name, core::Sector sector, std::uint32_t parent, std::uint32_t deleted) {
        catalog::FoundFileRecord r;
        r.name = std::move(name);
        r.sector = sector;
        r.parent = parent;
        r.size = 9;
        r.deleted = deleted;
        c.AddFoundFile(std::move(r));
    };
    found("at-base", 1000, 5, 0);
    found("first", 1001, 5, 1);
    found("last", 2000, 5, 0);
    found("past", 2001, 5, 0);
    found("other-parent", 1500, 6, 0);
    c.AddNtfsFile(File("catalog-file", 5, 1, 1500));  // not a source in this mode

    const auto rows = ListFoundFolder(c, 5, nullptr, Describe);
    ASSERT_EQ(Names(rows), (std::vector<std::string>{"sub", "first", "last"}));
    EXPECT_EQ(rows[1].id, "1001");
    EXPECT_EQ(rows[1].type, "Deleted T(first)");
    EXPECT_EQ(rows[2].size, "9");
}

TEST(ListFatFolder, FatDatesSizesAndSerials)
{
    catalog::Catalog c;
    catalog::FatFolderEntry d;
    d.name = "DOCS";
    d.cluster = 3;
    d.writeDate = static_cast<std::uint16_t>((25u << 9) | (3u << 5) | 7u);  // 07-03-2005
    d.deleted = 1;
    c.AddFatFolder(d);
    catalog::FatFileEntry f;
    f.name = "A.TXT";
    f.cluster = 9;
    f.size = 0xFFFFFFFFu;
    f.accessDate = d.writeDate;
    c.AddFatFile(f);
    ++c.fileCount;
    c.AddFatFile(f);
    ++c.fileCount;
    c.SetFatFolderTreeItem(0, 5);

    const auto rows = ListFatFolder(c, 0, nullptr, Describe);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].type, "Deleted Folder");
    EXPECT_EQ(rows[0].created, "07-03-2005 ");
    EXPECT_EQ(rows[0].id, "5");
    EXPECT_EQ(rows[1].size, "4294967295");
    EXPECT_EQ(rows[1].modified, "07-03-2005 ");
    EXPECT_EQ(rows[1].id, "0");
    EXPECT_EQ(rows[2].id, "1");
}

TEST(OpenFolderRow, DeletedFolderRowsOpenLikePresentOnesAndUnknownIdsGiveTheRoot)
{
    EXPECT_TRUE(IsFolderRowType("Folder"));
    EXPECT_TRUE(IsFolderRowType("Deleted Folder"));
    EXPECT_FALSE(IsFolderRowType("Deleted TXT File"));
    EXPECT_FALSE(IsFolderRowType("older"));

    catalog::Catalog c;
    c.AddNtfsFolder(Folder("live", 40, 5));
    c.AddNtfsFolder(Folder("dead", 41, 5, 1));
    c.AddNtfsFile(File("inside", 41, 1, 1));
    FolderTree tree;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, core::NullSink());

    const auto rows = ListNtfsFolder(c, 5, nullptr, Describe);
    ASSERT_TRUE(IsFolderRowType(rows[1].type));
    const auto opened = NtfsFolderForRowId(c, rows[1].id);
    ASSERT_EQ(opened, 1u);
    EXPECT_EQ(Names(ListNtfsFolder(c, c.NtfsFolders()[*opened].record, nullptr, Describe)),
              (std::vector<std::string>{"inside"}));

    EXPECT_EQ(NtfsFolderForRowId(c, "0"), std::nullopt);
    EXPECT_EQ(NtfsFolderForRowId(c, "999"), std::nullopt);
    EXPECT_EQ(NtfsFolderForRowId(c, "2x"), std::nullopt);
    EXPECT_EQ(NtfsFolderForRowId(c, ""), std::nullopt);
    EXPECT_EQ(FatFolderForRowId(c, "2"), std::nullopt);
}

TEST(ListNtfsFolder, AsksOnlyAboutTheFolderItLists)
{
    catalog::Catalog c;
    for (std::uint32_t i = 0; i < 20000; ++i)
        c.AddNtfsFile(File("f", 1000 + i % 1000, 1, i));
    c.AddNtfsFile(File("mine", 5, 1, 1));
    int described = 0;
    const TypeDescriber counting = [&described](std::string_view) {
        ++described;
        return std::string();
    };
    EXPECT_EQ(ListNtfsFolder(c, 5, nullptr, counting).size(), 1u);
    EXPECT_EQ(described, 1);
    EXPECT_EQ(ListNtfsFolder(c, 1000, nullptr, counting).size(), 20u);
    EXPECT_EQ(described, 21);
}

}  // namespace
}  // namespace ntfs

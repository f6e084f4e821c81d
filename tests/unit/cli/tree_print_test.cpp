// Tree and listing output of dravik-cli: indentation, path resolution, the record of an item,
// and the row columns as text and JSON.
#include "cli/tree_print.h"

#include <gtest/gtest.h>

#include "ntfs/tree_builder.h"

namespace cli {
namespace {

ntfs::FolderTree SampleTree()
{
    ntfs::FolderTree tree;
    const auto docs = tree.Insert(tree.Root(), "Docs", ntfs::kTreeImageFolder, ntfs::kTreeImageFolderOpen);
    tree.Insert(docs, "caf\xC3\xA9", ntfs::kTreeImageFolder, ntfs::kTreeImageFolderOpen);
    tree.Insert(tree.Root(), "Dir0", ntfs::kTreeImageFolder, ntfs::kTreeImageFolderOpen);
    tree.Insert(tree.Root(), "Docs", ntfs::kTreeImageFolder, ntfs::kTreeImageFolderOpen);
    return tree;
}

TEST(TreePrint, IndentsByDepthInTreeOrder)
{
    EXPECT_EQ(FormatTree(SampleTree()), "Root\n  Docs\n    caf\xC3\xA9\n  Dir0\n  Docs\n");

    JsonWriter json;
    ntfs::FolderTree small;
    small.Insert(small.Root(), "a", 2, 1);
    WriteTreeJson(json, small);
    EXPECT_EQ(json.Text().find("\"name\":\"Root\""), json.Text().find("\"name\""));
    EXPECT_NE(json.Text().find("\"name\":\"a\",\"id\":2,\"children\":[]"), std::string::npos);
}

TEST(TreePrint, DeepTreesPrintWithoutRecursion)
{
    ntfs::FolderTree tree;
    core::TreeItemId item = tree.Root();
    for (int i = 0; i < 100000; ++i)
        item = tree.Insert(item, "d", 2, 1);
    JsonWriter json;
    WriteTreeJson(json, tree);
    EXPECT_EQ(json.Text().back(), '}');
}

TEST(ResolveTreePath, FirstMatchingChildPerPartEmptyPartsIgnored)
{
    const ntfs::FolderTree tree = SampleTree();
    EXPECT_EQ(ResolveTreePath(tree, ""), tree.Root());
    EXPECT_EQ(ResolveTreePath(tree, "/"), tree.Root());
    EXPECT_EQ(ResolveTreePath(tree, "Docs"), 2u);
    EXPECT_EQ(ResolveTreePath(tree, "/Docs//caf\xC3\xA9/"), 3u);
    EXPECT_EQ(ResolveTreePath(tree, "Dir0"), 4u);
    EXPECT_EQ(ResolveTreePath(tree, "docs"), std::nullopt);
    EXPECT_EQ(ResolveTreePath(tree, "Docs/missing"), std::nullopt);
}

TEST(NtfsRecordOfItem, RootIsRecordFiveOtherItemsTheirEntry)
{
    catalog::Catalog catalog;
    catalog::NtfsFolderEntry e;
    e.name = "Docs";
    e.record = 64;
    e.parent = 5;
    catalog.AddNtfsFolder(e);
    ntfs::FolderTree tree;
    ntfs::BuildNtfsTree(catalog, tree, tree.Root(), ntfs::kRootRecord, core::NullSink());
    EXPECT_EQ(NtfsRecordOfItem(catalog, tree, tree.Root()), 5u);
    EXPECT_EQ(NtfsRecordOfItem(catalog, tree, 2), 64u);
    EXPECT_EQ(NtfsRecordOfItem(catalog, tree, 3), std::nullopt);
}

TEST(FormatRows, HeaderThenTabSeparatedColumnsKeepingBlanks)
{
    std::vector<ntfs::ListRow> rows(2);
    rows[0] = {"DOCS", "Folder", "0", "07-03-2005 ", "07-03-2005 ", "2", true, false};
    rows[1] = {"r\xC3\xA9sum\xC3\xA9.doc", "Deleted DOC File", "12", "1-1-1601 0:0:0", "7-3-2005 14:5:9", "4242", false, true};
    EXPECT_EQ(FormatRows(rows), "Name\tType\tSize\tCreated\tModified\tID\n"
                                "DOCS\tFolder\t0\t07-03-2005 \t07-03-2005 \t2\n"
                                "r\xC3\xA9sum\xC3\xA9.doc\tDeleted DOC File\t12\t1-1-1601 0:0:0\t7-3-2005 14:5:9\t4242\n");
    JsonWriter json;
    WriteRowsJson(json, rows);
    EXPECT_NE(json.Text().find("\"created\":\"07-03-2005 \""), std::string::npos);
    EXPECT_NE(json.Text().find("\"folder\":false,\"deleted\":true"), std::string::npos);
}

}  // namespace
}  // namespace cli

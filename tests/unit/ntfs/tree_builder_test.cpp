// Orphan pass and folder tree build: placeholders, catalog order, shared record numbers and
// cycles, deep chains, and linear cost.
#include "ntfs/tree_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/folder_tree.h"

namespace ntfs {
namespace {

void AddFolder(catalog::Catalog& c, std::string name, std::uint32_t record, std::uint32_t parent)
{
    catalog::NtfsFolderEntry e;
    e.name = std::move(name);
    e.record = record;
    e.parent = parent;
    c.AddNtfsFolder(std::move(e));
}

void AddFile(catalog::Catalog& c, std::string name, std::uint32_t record, std::uint32_t parent)
{
    catalog::NtfsFileEntry e;
    e.name = std::move(name);
    e.record = record;
    e.parent = parent;
    c.AddNtfsFile(std::move(e));
    ++c.fileCount;
}

std::vector<std::string> ChildTexts(const FolderTree& tree, core::TreeItemId id)
{
    std::vector<std::string> texts;
    for (const core::TreeItemId child : tree.Find(id)->children)
        texts.push_back(tree.Find(child)->text);
    return texts;
}

class RecordingSink : public core::ProgressSink
{
public:
    void Status(std::string_view text) override { statuses.emplace_back(text); }
    void Progress(int percent) override { percents.push_back(percent); }
    std::vector<std::string> statuses;
    std::vector<int> percents;
};

TEST(FolderTree, IdsParentsAndAncestors)
{
    FolderTree tree;
    const TreeItem* root = tree.Find(tree.Root());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text, "Root");
    EXPECT_EQ(root->image, kTreeImageRoot);
    EXPECT_EQ(tree.Find(0), nullptr);

    const auto a = tree.Insert(tree.Root(), "a", kTreeImageFolder, kTreeImageFolderOpen);
    const auto b = tree.Insert(a, "b", kTreeImageFolder, kTreeImageFolderOpen);
    const auto c = tree.Insert(tree.Root(), "c", kTreeImageFolder, kTreeImageFolderOpen);
    EXPECT_EQ(a, 2u);
    EXPECT_EQ(b, 3u);
    EXPECT_EQ(c, 4u);
    EXPECT_EQ(tree.Insert(99, "x", 0, 0), 0u);
    EXPECT_EQ(ChildTexts(tree, tree.Root()), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(tree.Ancestors(b), (std::vector<core::TreeItemId>{1, a}));
    EXPECT_TRUE(tree.Ancestors(tree.Root()).empty());
    EXPECT_TRUE(tree.Ancestors(42).empty());

    EXPECT_TRUE(tree.ExpandAncestors(b));
    EXPECT_TRUE(tree.Find(tree.Root())->expanded);
    EXPECT_TRUE(tree.Find(a)->expanded);
    EXPECT_FALSE(tree.Find(b)->expanded);
    EXPECT_FALSE(tree.Expand(0));

    FolderTree drives("My Computer", kTreeImageRoot, kTreeImageRoot);
    EXPECT_EQ(drives.Find(drives.Root())->text, "My Computer");
}

TEST(SearchLostData, OrphansShareOnePlaceholderAndNumberingContinues)
{
    catalog::Catalog c;
    AddFolder(c, "a", 30, 100);   // parent 100 missing
    AddFolder(c, "b", 31, 100);   // same missing parent: same placeholder
    AddFolder(c, "c", 32, 30);    // parent present
    AddFolder(c, "d", 33, 5);
    AddFile(c, "f", 40, 200);     // file with missing parent
    AddFile(c, "g", 41, 100);     // finds the placeholder of folder a

    core::StopFlag stop;
    RecordingSink sink;
    EXPECT_EQ(SearchLostData(c, 7, true, stop, sink), 9u);
    ASSERT_EQ(c.NtfsFolders().size(), 6u);
    const catalog::NtfsFolderEntry& dir7 = c.NtfsFolders()[4];
    EXPECT_EQ(dir7.name, "Dir7");
    EXPECT_EQ(dir7.record, 100u);
    EXPECT_EQ(dir7.parent, 5u);
    EXPECT_EQ(dir7.created, 0u);
    EXPECT_EQ(dir7.changed, 0u);
    EXPECT_EQ(dir7.deleted, 0u);
    EXPECT_EQ(c.NtfsFolders()[5].name, "Dir8");
    EXPECT_EQ(c.NtfsFolders()[5].record, 200u);
    EXPECT_EQ(c.folderCount, 6u);
    ASSERT_FALSE(sink.statuses.empty());
    EXPECT_EQ(sink.statuses.front(), "Searching For Lost Data");
    for (const int p : sink.percents)
        EXPECT_LE(p, 99);
}

TEST(SearchLostData, FilesOnlyInStandardScanAndStopEndsEarlyAndClears)
{
    catalog::Catalog c;
    AddFile(c, "f", 40, 200);
    core::StopFlag stop;
    EXPECT_EQ(SearchLostData(c, 0, false, stop, core::NullSink()), 0u);
    EXPECT_TRUE(c.NtfsFolders().empty());

    AddFolder(c, "a", 30, 100);
    stop.Request();
    EXPECT_EQ(SearchLostData(c, 0, true, stop, core::NullSink()), 0u);
    EXPECT_TRUE(stop.IsSet() == false);
    EXPECT_EQ(c.NtfsFolders().size(), 1u);
}

// Every folder and file of the catalog has a tree item, or lies in a folder that has one.
void ExpectEverythingReachable(catalog::Catalog& c)
{
    FolderTree tree;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, core::NullSink());
    for (const auto& f : c.NtfsFolders())
        EXPECT_NE(f.treeItem, 0u) << f.name << " is not in the tree";
    for (const auto& f : c.NtfsFiles()) {
        const auto folder = c.NtfsFolderWithRecord(f.parent);
        EXPECT_TRUE(f.parent == kRootRecord || (folder && c.NtfsFolders()[*folder].treeItem != 0))
            << f.name << " is in no folder of the tree";
    }
}

TEST(SearchLostData, ParentLoopsAreCutAndHungUnderPlaceholders)
{
    catalog::Catalog c;
    AddFolder(c, "self", 10, 10);      // its own parent
    AddFolder(c, "A", 20, 21);         // A and B are each other's parents
    AddFolder(c, "B", 21, 20);
    AddFolder(c, "below B", 22, 21);   // hangs off the loop
    AddFolder(c, "P", 30, 32);         // a loop of three
    AddFolder(c, "Q", 31, 30);
    AddFolder(c, "R", 32, 31);
    AddFolder(c, "fine", 40, 5);
    AddFolder(c, "orphan", 41, 500);   // an ordinary missing parent
    AddFile(c, "in A", 60, 20);
    AddFile(c, "in self", 61, 10);
    AddFile(c, "below", 62, 22);
    AddFile(c, "in Q", 63, 31);
    AddFile(c, "in orphan", 64, 500);

    core::StopFlag stop;
    EXPECT_EQ(SearchLostData(c, 3, true, stop, core::NullSink()), 7u);  // Dir3 for 500, Dir4-6 for loops
    const auto& f = c.NtfsFolders();
    ASSERT_EQ(f.size(), 13u);
    EXPECT_EQ(f[9].name, "Dir3");
    EXPECT_EQ(f[9].record, 500u);
    std::vector<std::uint32_t> cutKeys;
    for (std::size_t i = 10; i < 13; ++i) {
        EXPECT_EQ(f[i].name, "Dir" + std::to_string(i - 6));
        EXPECT_EQ(f[i].parent, kRootRecord);
        EXPECT_GT(f[i].record, 0xFFFF0000u);
        cutKeys.push_back(f[i].record);
    }
    // One folder of each loop now hangs under a placeholder; the others keep their parents.
    EXPECT_EQ(f[0].parent, cutKeys[0]);
    EXPECT_EQ(f[1].parent, 21u);
    EXPECT_EQ(f[2].parent, cutKeys[1]);  // the walk from A closes at B
    EXPECT_EQ(f[3].parent, 21u);
    int cutInThree = 0;
    for (std::size_t i = 4; i < 7; ++i)
        cutInThree += f[i].parent == cutKeys[2] ? 1 : 0;
    EXPECT_EQ(cutInThree, 1);
    EXPECT_EQ(c.NtfsFoldersWithParent(cutKeys[0]).First(), 0u);
    ExpectEverythingReachable(c);

    // A second pass finds nothing more to do.
    EXPECT_EQ(SearchLostData(c, 7, true, stop, core::NullSink()), 7u);
    EXPECT_EQ(c.NtfsFolders().size(), 13u);
}

TEST(SearchLostData, PlaceholderNumbersOfALoadedCatalogContinue)
{
    catalog::Catalog c;
    EXPECT_EQ(NextPlaceholderNumber(c), 0u);
    AddFolder(c, "Dir7", 100, 5);
    AddFolder(c, "Dir12", 101, 5);
    AddFolder(c, "Dir99", 102, 40);      // not under the root
    AddFolder(c, "Dir", 103, 5);
    AddFolder(c, "Dir4x", 104, 5);
    AddFolder(c, "Dir99999999999", 105, 5);  // too long to be one of ours
    EXPECT_EQ(NextPlaceholderNumber(c), 13u);
    EXPECT_TRUE(IsPlaceholderName("Dir0"));
    EXPECT_FALSE(IsPlaceholderName("dir0"));
}

TEST(SearchLostData, ManyLoopsStayLinearAndKeysAvoidUsedOnes)
{
    constexpr std::uint32_t kPairs = 50000;
    catalog::Catalog c;
    AddFolder(c, "top", 0xFFFFFFFEu, 5);        // the first key a cut would take is in use
    AddFile(c, "parented", 70, 0xFFFFFFFDu);    // and the second is some file's parent
    AddFolder(c, "holder", 0xFFFFFFFDu, 5);
    for (std::uint32_t i = 0; i < kPairs; ++i) {
        AddFolder(c, "x", 1000 + 2 * i, 1001 + 2 * i);
        AddFolder(c, "y", 1001 + 2 * i, 1000 + 2 * i);
    }
    core::StopFlag stop;
    EXPECT_EQ(SearchLostData(c, 0, true, stop, core::NullSink()), kPairs);
    EXPECT_EQ(c.NtfsFolders()[2 + 2 * kPairs].record, 0xFFFFFFFCu);
    ExpectEverythingReachable(c);
}

TEST(BuildNtfsTree, NoFoldersGivesEmptyExpandedRoot)
{
    catalog::Catalog c;
    FolderTree tree;
    RecordingSink sink;
    TreeBuildCounts counts;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, sink, &counts);
    EXPECT_EQ(counts.placed, 0u);
    EXPECT_EQ(tree.Size(), 1u);
    EXPECT_TRUE(tree.Find(tree.Root())->expanded);
    EXPECT_EQ(sink.percents, (std::vector<int>{0}));
}

TEST(BuildNtfsTree, ChildrenInCatalogOrderWithItemsStoredInEntries)
{
    catalog::Catalog c;
    AddFolder(c, "zeta", 40, 5);
    AddFolder(c, "alpha", 41, 5);
    AddFolder(c, "inner", 42, 40);
    AddFolder(c, "beta", 43, 5);
    AddFolder(c, "unreachable", 44, 999);
    FolderTree tree;
    RecordingSink sink;
    TreeBuildCounts counts;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, sink, &counts);
    EXPECT_EQ(counts.placed, 4u);
    EXPECT_EQ(ChildTexts(tree, tree.Root()), (std::vector<std::string>{"zeta", "alpha", "beta"}));
    const auto& f = c.NtfsFolders();
    EXPECT_EQ(ChildTexts(tree, f[0].treeItem), (std::vector<std::string>{"inner"}));
    // Depth first, as the recursive build numbers them.
    EXPECT_EQ(f[0].treeItem, 2u);
    EXPECT_EQ(f[2].treeItem, 3u);
    EXPECT_EQ(f[1].treeItem, 4u);
    EXPECT_EQ(f[3].treeItem, 5u);
    EXPECT_EQ(f[4].treeItem, 0u);
    EXPECT_EQ(tree.Find(f[2].treeItem)->image, kTreeImageFolder);
    EXPECT_EQ(tree.Find(f[2].treeItem)->selectedImage, kTreeImageFolderOpen);
    EXPECT_EQ(c.NtfsFolderWithTreeItem(f[2].treeItem), 2u);
    EXPECT_TRUE(tree.Find(tree.Root())->expanded);
    ASSERT_FALSE(sink.percents.empty());
    for (const int p : sink.percents)
        EXPECT_LE(p, 99);
}

TEST(BuildNtfsTree, SharedRecordsAndCyclesPlaceEachEntryOnce)
{
    catalog::Catalog c;
    // Two entries share record 10; 20 hangs under 10 and another entry with record 10 under 20,
    // so a recursive build would place 20 inside its own subtree for ever.
    AddFolder(c, "A", 10, 5);
    AddFolder(c, "B", 20, 10);
    AddFolder(c, "A-copy", 10, 20);
    AddFolder(c, "C", 30, 10);
    AddFolder(c, "self", 5, 5);  // an entry for the root itself
    FolderTree tree;
    TreeBuildCounts counts;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, core::NullSink(), &counts);
    EXPECT_EQ(counts.placed, 5u);
    EXPECT_EQ(tree.Size(), 6u);
    const auto& f = c.NtfsFolders();
    EXPECT_EQ(ChildTexts(tree, tree.Root()), (std::vector<std::string>{"A", "self"}));
    EXPECT_EQ(ChildTexts(tree, f[0].treeItem), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(ChildTexts(tree, f[1].treeItem), (std::vector<std::string>{"A-copy"}));
    EXPECT_TRUE(ChildTexts(tree, f[2].treeItem).empty());
    EXPECT_TRUE(ChildTexts(tree, f[4].treeItem).empty());
}

TEST(BuildNtfsTree, DeepChainDoesNotOverflowTheStack)
{
    constexpr std::uint32_t kDepth = 100000;
    catalog::Catalog c;
    for (std::uint32_t i = 0; i < kDepth; ++i)
        AddFolder(c, "d", 100 + i, i == 0 ? 5 : 99 + i);
    FolderTree tree;
    TreeBuildCounts counts;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, core::NullSink(), &counts);
    EXPECT_EQ(counts.placed, kDepth);
    const core::TreeItemId deepest = c.NtfsFolders().back().treeItem;
    EXPECT_EQ(tree.Ancestors(deepest).size(), kDepth);
}

TEST(BuildNtfsTree, CostIsLinearEvenWhenManyEntriesShareARecord)
{
    constexpr std::uint32_t kCount = 200000;
    catalog::Catalog c;
    // Half the entries carry record 10 under the root, the other half hang under record 10:
    // descending into every record-10 entry would walk all their children each time.
    for (std::uint32_t i = 0; i < kCount / 2; ++i)
        AddFolder(c, "same", 10, 5);
    for (std::uint32_t i = 0; i < kCount / 2; ++i)
        AddFolder(c, "child", 1000 + i, 10);
    FolderTree tree;
    TreeBuildCounts counts;
    BuildNtfsTree(c, tree, tree.Root(), kRootRecord, core::NullSink(), &counts);
    EXPECT_EQ(counts.placed, kCount);
    EXPECT_LE(counts.entriesVisited, kCount);
    EXPECT_LE(counts.childLookups, kCount / 2 + 2);
    EXPECT_EQ(tree.Find(c.NtfsFolders()[0].treeItem)->children.size(), kCount / 2);
}

TEST(BuildFatTree, ByClusterFromTheRoot)
{
    catalog::Catalog c;
    auto addFat = [&c](std::string name, std::uint32_t cluster, std::uint32_t parentCluster) {
        catalog::FatFolderEntry e;
        e.name = std::move(name);
        e.cluster = cluster;
        e.parentCluster = parentCluster;
        return c.AddFatFolder(std::move(e));
    };
    addFat("DOCS", 3, 0);
    addFat("OLD", 9, 3);
    addFat("LOOP", 4, 4);   // its own parent: never reached
    addFat("ROOTISH", 0, 0);  // claims the root's cluster: placed, not descended
    FolderTree tree;
    TreeBuildCounts counts;
    BuildFatTree(c, tree, tree.Root(), kFatRootCluster, core::NullSink(), &counts);
    EXPECT_EQ(counts.placed, 3u);
    EXPECT_EQ(ChildTexts(tree, tree.Root()), (std::vector<std::string>{"DOCS", "ROOTISH"}));
    EXPECT_EQ(ChildTexts(tree, c.FatFolders()[0].treeItem), (std::vector<std::string>{"OLD"}));
    EXPECT_EQ(c.FatFolders()[2].treeItem, 0u);
}

}  // namespace
}  // namespace ntfs

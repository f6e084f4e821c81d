// Partition selection at the partition step and the partition rows of the information panel.
#include "partitions/partition_select.h"

#include <gtest/gtest.h>

#include <string>

namespace partitions {
namespace {

class SelectTest : public ::testing::Test
{
protected:
    SelectTest()
    {
        AddPartition(list, tree, 63, 204800, core::kFsFat32);
        AddPartition(list, tree, 204863, 4096000, core::kFsNtfs);
        AddPartition(list, tree, 5000000, 0, core::kFsFat16);
        AddPartition(list, tree, 0xFFFFFF00u, 0x1000, core::kFsNtfs);
    }

    PartitionList list;
    PartitionTree tree{2};
    catalog::ScanTarget target;
};

TEST_F(SelectTest, PartitionItemFillsTheScanTarget)
{
    const auto selection = SelectPartition(tree, list, list.records[1].treeItem, false, 9999999, target);
    ASSERT_TRUE(selection);
    EXPECT_EQ(target.scanType, core::kFsNtfs);
    EXPECT_EQ(target.scanStartSector, 204863u);
    EXPECT_EQ(target.scanSectorCount, 4096000u);
    EXPECT_EQ(target.scanEndSector, 204863u + 4096000u - 1);
    EXPECT_EQ(target.scanPartitionTag, 1u);
    EXPECT_EQ(selection->fileSystemListIndex, 2u);
    EXPECT_EQ(selection->startSectorText, "204863");
    EXPECT_EQ(selection->endSectorText, "4300862");
    EXPECT_EQ(selection->info[0].label, "Partition Type  ");
    EXPECT_EQ(selection->info[0].value, "NTFS");
    EXPECT_EQ(selection->info[1].label, "Partition Start    ");
    EXPECT_EQ(selection->info[1].value, "204863");
    EXPECT_EQ(selection->info[2].label, "Partition End      ");
    EXPECT_EQ(selection->info[2].value, "4300862");
    EXPECT_EQ(selection->info[3].label, "Partition Size     ");
    EXPECT_EQ(selection->info[3].value, "2000 MB ( Aprox )");
}

TEST_F(SelectTest, DiskItemInAdvanceModeSelectsTheWholeDiskAsFat32)
{
    target.scanPartitionTag = 3;
    const auto selection = SelectPartition(tree, list, tree.Root(), true, 1032192, target);
    ASSERT_TRUE(selection);
    EXPECT_EQ(target.scanType, core::kFsFat32);
    EXPECT_EQ(target.scanStartSector, 0u);
    EXPECT_EQ(target.scanSectorCount, 1032192u);
    EXPECT_EQ(target.scanEndSector, 1032192u);
    EXPECT_EQ(target.scanPartitionTag, 0u);
    EXPECT_EQ(selection->fileSystemListIndex, 1u);
    EXPECT_EQ(selection->info[0].value, "FAT32");
    EXPECT_EQ(selection->info[3].value, "504 MB ( Aprox )");
}

TEST_F(SelectTest, DiskItemInStandardModeAndUnknownItemsSelectNothing)
{
    target.scanStartSector = 77;
    EXPECT_FALSE(SelectPartition(tree, list, tree.Root(), false, 1032192, target));
    EXPECT_FALSE(SelectPartition(tree, list, 9999, true, 1032192, target));
    EXPECT_EQ(target.scanStartSector, 77u);
}

TEST_F(SelectTest, ItemOfARecordNoLongerListedSelectsNothing)
{
    const core::TreeItemId stale = list.records[0].treeItem;
    list.partitionCount = 0;  // the list was emptied but the item is still on screen
    EXPECT_FALSE(SelectPartition(tree, list, stale, false, 0, target));
}

TEST_F(SelectTest, EmptyPartitionEndsAtItsStartInsteadOfBeforeIt)
{
    ASSERT_TRUE(SelectPartition(tree, list, list.records[2].treeItem, false, 0, target));
    EXPECT_EQ(target.scanSectorCount, 0u);
    EXPECT_EQ(target.scanEndSector, 5000000u);
    EXPECT_EQ(target.scanType, core::kFsFat16);
}

TEST_F(SelectTest, PartitionReachingPast32BitSectorsEndsAtItsOwnLastSector)
{
    ASSERT_TRUE(SelectPartition(tree, list, list.records[3].treeItem, false, 0, target));
    EXPECT_EQ(target.scanEndSector, 0xFFFFFF00ull + 0x1000 - 1);
    EXPECT_EQ(target.scanSectorCount, 0x1000u);
}

TEST(PartitionLastSector, StaysWithinTheAddressableSectors)
{
    EXPECT_EQ(PartitionLastSector(100, 0), 100u);
    EXPECT_EQ(PartitionLastSector(100, 1), 100u);
    EXPECT_EQ(PartitionLastSector(core::kLastSector - 10, 1000), core::kLastSector);
    EXPECT_EQ(PartitionLastSector(core::kLastSector + 5, 1000), core::kLastSector + 5);
    EXPECT_EQ(PartitionLastSector(1, UINT64_MAX), core::kLastSector);
}

TEST(PartitionItemText, NumbersFromOneAndNamesTheCode)
{
    EXPECT_EQ(PartitionItemText(0, core::kFsFat16), "Partition 1 - FAT16");
    EXPECT_EQ(PartitionItemText(2, core::kFsNtfs), "Partition 3 - NTFS");
    EXPECT_EQ(PartitionItemText(24, core::kFsFat32), "Partition 25 - FAT32");
}

TEST(PartitionTreeData, RemovingKeepsTheRootAndOrder)
{
    PartitionTree tree(3);
    PartitionList list;
    for (int i = 0; i < 3; ++i) {
        AddPartition(list, tree, static_cast<core::Sector>(i), 1, core::kFsNtfs);
    }
    tree.Remove(list.records[1].treeItem);
    tree.Remove(tree.Root());
    ASSERT_EQ(tree.Items().size(), 3u);
    EXPECT_EQ(tree.Items()[0].text, "Storage Device 3");
    EXPECT_EQ(tree.Items()[1].text, "Partition 1 - NTFS");
    EXPECT_EQ(tree.Items()[2].text, "Partition 3 - NTFS");
}

TEST(PartitionListLimit, TheTwentySixthRecordIsRefused)
{
    PartitionTree tree(0);
    PartitionList list;
    for (std::uint32_t i = 0; i < kMaxPartitions; ++i) {
        ASSERT_TRUE(AddPartition(list, tree, i, 1, core::kFsFat16));
    }
    EXPECT_FALSE(AddPartition(list, tree, 99, 1, core::kFsFat16));
    EXPECT_EQ(list.partitionCount, kMaxPartitions);
    EXPECT_EQ(tree.Items().size(), kMaxPartitions + 1);
}

}  // namespace
}  // namespace partitions

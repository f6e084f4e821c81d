// Partition table walk: classification order, the extended chain, the record limit and the
// handling of damaged tables and unreadable boot sectors.
#include "partitions/partition_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/mbr_builder.h"
#include "support/memory_disk.h"

namespace partitions {
namespace {

using testing_support::FaultyDisk;
using testing_support::LogicalSpec;
using testing_support::MakeBootRecord;
using testing_support::MakeFat16BootSector;
using testing_support::MakeFat32BootSector;
using testing_support::MakeNtfsBootSector;
using testing_support::MemoryDisk;
using testing_support::SectorBytes;

// ---------------------------------------------------------------------------------------------
// Classification

enum class Text { None, Fat16, Fat32, Ntfs, Fat32AndNtfs, Fat16AndNtfs, Fat32AndFat16 };

struct ClassifyCase
{
    const char* name;
    Text text;
    std::uint8_t type;
    EntryKind kind;
    core::FsTypeCode expected;  // 0: not listed
};

SectorBytes BootWith(Text text)
{
    SectorBytes s{};
    auto put = [&s](std::size_t off, std::string_view t) { std::copy(t.begin(), t.end(), s.begin() + off); };
    if (text == Text::Fat16 || text == Text::Fat16AndNtfs || text == Text::Fat32AndFat16) put(54, "FAT16");
    if (text == Text::Fat32 || text == Text::Fat32AndNtfs || text == Text::Fat32AndFat16) put(82, "FAT32");
    if (text == Text::Ntfs || text == Text::Fat32AndNtfs || text == Text::Fat16AndNtfs) put(3, "NTFS");
    return s;
}

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase>
{
};

TEST_P(ClassifyTest, DecidesInOrder)
{
    const ClassifyCase& c = GetParam();
    const SectorBytes boot = BootWith(c.text);
    const auto code = ClassifyPartition(boot, c.type, c.kind);
    if (c.expected == 0) {
        EXPECT_FALSE(code.has_value());
    } else {
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, c.expected);
    }
}

constexpr auto P = EntryKind::Primary;
constexpr auto L = EntryKind::Logical;

INSTANTIATE_TEST_SUITE_P(
    Table, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"Fat32TextBeatsNtfsType", Text::Fat32, 0x07, P, 200},
        ClassifyCase{"Fat16TextBeatsNtfsType", Text::Fat16, 0x07, P, 100},
        ClassifyCase{"NtfsTextBeatsFat32Type", Text::Ntfs, 0x0B, P, 300},
        ClassifyCase{"Fat32TextBeforeNtfsText", Text::Fat32AndNtfs, 0x00, P, 200},
        ClassifyCase{"Fat16TextBeforeNtfsText", Text::Fat16AndNtfs, 0x00, P, 100},
        ClassifyCase{"Fat32TextBeforeFat16Text", Text::Fat32AndFat16, 0x00, P, 200},
        ClassifyCase{"TextOnUnknownType", Text::Ntfs, 0x83, P, 300},
        ClassifyCase{"Type04", Text::None, 0x04, P, 100}, ClassifyCase{"Type06", Text::None, 0x06, P, 100},
        ClassifyCase{"Type0E", Text::None, 0x0E, P, 100}, ClassifyCase{"Type07", Text::None, 0x07, P, 300},
        ClassifyCase{"Type0B", Text::None, 0x0B, P, 200}, ClassifyCase{"Type0C", Text::None, 0x0C, P, 200},
        ClassifyCase{"Type01Primary", Text::None, 0x01, P, 0},
        ClassifyCase{"Type01Logical", Text::None, 0x01, L, 100},
        ClassifyCase{"Type05", Text::None, 0x05, P, 0}, ClassifyCase{"Type0F", Text::None, 0x0F, L, 0},
        ClassifyCase{"Type83", Text::None, 0x83, L, 0}, ClassifyCase{"Type17Hidden", Text::None, 0x17, P, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClassifyPartition, ShortBufferFallsBackToTheTypeByte)
{
    const std::vector<std::uint8_t> shortBuffer(60, 0);
    EXPECT_EQ(ClassifyPartition(shortBuffer, 0x07, EntryKind::Primary), core::kFsNtfs);
    EXPECT_FALSE(ClassifyPartition({}, 0x83, EntryKind::Primary).has_value());
}

// ---------------------------------------------------------------------------------------------
// Walking the tables

class WalkTest : public ::testing::Test
{
protected:
    static constexpr std::uint64_t kDiskSectors = 20000;

    WalkTest()
    {
        auto owned = std::make_unique<FaultyDisk>(kDiskSectors * core::kSectorSize);
        image = owned.get();
        disk.driveHandle = std::move(owned);
    }

    TableWalkOutcome Walk(core::Sector table = 0) { return ReadPartitionTables(disk, table, list, tree); }

    std::vector<std::string> ItemTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& item : tree.Items()) {
            texts.push_back(item.text);
        }
        return texts;
    }

    disk::DiskState disk;
    FaultyDisk* image = nullptr;
    PartitionList list;
    PartitionTree tree{0};
};

TEST_F(WalkTest, NtfsEntryThatLostItsBootTextIsListedByType)
{
    image->WriteSector(0, MakeBootRecord({{0x07, 63, 8000}}));
    EXPECT_EQ(Walk(), TableWalkOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 63u);
    EXPECT_EQ(list.records[0].sectorCount, 8000u);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
    EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"Storage Device 0", "Partition 1 - NTFS"}));
    EXPECT_TRUE(tree.RootExpanded());
    const auto* item = tree.Find(list.records[0].treeItem);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->record, 0u);
}

TEST_F(WalkTest, AnEntryEndingPastTheDiskIsClampedToItAndMarked)
{
    // A size field that wrapped: 0xFFFFFFF0 sectors on a disk of 20000.
    image->WriteSector(0, MakeBootRecord({{0x07, 63, 8000}, {0x07, 10000, 0xFFFFFFF0u}}));
    EXPECT_TRUE(WalkPartitionTables(disk, list, tree).listed);
    ASSERT_EQ(list.partitionCount, 2u);
    EXPECT_EQ(list.records[0].sectorCount, 8000u);
    EXPECT_FALSE(list.records[0].endBeyondDisk);
    EXPECT_EQ(list.records[1].startSector, 10000u);
    EXPECT_EQ(list.records[1].sectorCount, kDiskSectors - 10000);
    EXPECT_TRUE(list.records[1].endBeyondDisk);
}

TEST_F(WalkTest, Fat32BootSectorUnderNtfsTypeIsListedAsFat32)
{
    image->WriteSector(0, MakeBootRecord({{0x07, 100, 5000}}));
    image->WriteSector(100, MakeFat32BootSector(5000, 100));
    Walk();
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].fsType, core::kFsFat32);
}

struct SignatureCase
{
    const char* name;
    std::uint8_t byte510;
    std::uint8_t byte511;
    bool listed;
};

class SignatureTest : public WalkTest, public ::testing::WithParamInterface<SignatureCase>
{
};

TEST_P(SignatureTest, EitherSignatureByteIsEnough)
{
    SectorBytes mbr = MakeBootRecord({{0x07, 63, 8000}});
    mbr[510] = GetParam().byte510;
    mbr[511] = GetParam().byte511;
    image->WriteSector(0, mbr);
    const TableWalkOutcome outcome = Walk();
    EXPECT_EQ(list.partitionCount, GetParam().listed ? 1u : 0u);
    EXPECT_EQ(outcome == TableWalkOutcome::NoTable, !GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(Bytes, SignatureTest,
                         ::testing::Values(SignatureCase{"Both", 0x55, 0xAA, true},
                                           SignatureCase{"Only510", 0x55, 0x00, true},
                                           SignatureCase{"Only511", 0x12, 0xAA, true},
                                           SignatureCase{"Neither", 0xAA, 0x55, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WalkTest, PrimariesThenLogicalsInChainOrder)
{
    image->WriteSector(0, MakeBootRecord({{0x0C, 63, 1000}, {0x01, 1100, 100}, {0x05, 2000, 6000}, {0x07, 9000, 500}}));
    image->WriteSector(63, MakeFat32BootSector(1000, 63));
    const LogicalSpec logicals[] = {{0, 0x07, 63, 400}, {600, 0x01, 63, 200}, {1200, 0x06, 63, 300}};
    const auto starts = testing_support::WriteExtendedChain(*image, 2000, logicals);
    image->WriteSector(starts[0], MakeNtfsBootSector(400, starts[0]));

    EXPECT_EQ(Walk(), TableWalkOutcome::Completed);
    ASSERT_EQ(list.partitionCount, 5u);
    // Primary 0x01 is left out; the primaries come first, in table order, then the chain.
    const std::vector<std::tuple<core::Sector, std::uint32_t, core::FsTypeCode>> expected = {
        {63, 1000, 200}, {9000, 500, 300}, {2063, 400, 300}, {2663, 200, 100}, {3263, 300, 100}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.records[i].startSector, std::get<0>(expected[i])) << i;
        EXPECT_EQ(list.records[i].sectorCount, std::get<1>(expected[i])) << i;
        EXPECT_EQ(list.records[i].fsType, std::get<2>(expected[i])) << i;
    }
    EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"Storage Device 0", "Partition 1 - FAT32", "Partition 2 - NTFS",
                                                     "Partition 3 - NTFS", "Partition 4 - FAT16",
                                                     "Partition 5 - FAT16"}));
}

TEST_F(WalkTest, LaterExtendedEntryReplacesAnEarlierOne)
{
    image->WriteSector(0, MakeBootRecord({{0x05, 1000, 2000}, {0x0F, 5000, 2000}}));
    const LogicalSpec first[] = {{0, 0x06, 63, 10}};
    const LogicalSpec second[] = {{0, 0x0B, 63, 20}};
    testing_support::WriteExtendedChain(*image, 1000, first);
    testing_support::WriteExtendedChain(*image, 5000, second);
    Walk();
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 5063u);
    EXPECT_EQ(list.records[0].fsType, core::kFsFat32);
}

TEST_F(WalkTest, ThirtyLogicalsStopAtTwentyFiveCountingPrimariesFirst)
{
    image->WriteSector(0, MakeBootRecord({{0x07, 63, 100}, {0x06, 200, 100}, {0x05, 1000, 15000}}));
    std::vector<LogicalSpec> logicals;
    for (std::uint32_t i = 0; i < 30; ++i) {
        logicals.push_back({i * 200, 0x07, 63, 100});
    }
    const auto starts = testing_support::WriteExtendedChain(*image, 1000, logicals);

    EXPECT_EQ(Walk(), TableWalkOutcome::ListFull);
    ASSERT_EQ(list.partitionCount, kMaxPartitions);
    EXPECT_EQ(list.records[0].startSector, 63u);
    EXPECT_EQ(list.records[1].startSector, 200u);
    EXPECT_EQ(list.records[24].startSector, starts[22]);
    EXPECT_EQ(tree.Items().size(), 26u);
    EXPECT_EQ(tree.Items().back().text, "Partition 25 - NTFS");
}

TEST_F(WalkTest, ChainLinkingBackToItselfEnds)
{
    image->WriteSector(0, MakeBootRecord({{0x05, 1000, 5000}}));
    // EBR at 1000: a logical partition and a link to relative 0, i.e. to itself.
    image->WriteSector(1000, MakeBootRecord({{0x07, 63, 100}, {0x05, 0, 5000}}));
    EXPECT_EQ(Walk(), TableWalkOutcome::ChainCut);
    EXPECT_EQ(list.partitionCount, 1u);
}

TEST_F(WalkTest, ChainCycleOfTwoRecordsEnds)
{
    image->WriteSector(0, MakeBootRecord({{0x05, 1000, 5000}}));
    image->WriteSector(1000, MakeBootRecord({{0x07, 63, 100}, {0x05, 500, 500}}));
    image->WriteSector(1500, MakeBootRecord({{0x06, 63, 100}, {0x05, 0, 500}}));
    EXPECT_EQ(Walk(), TableWalkOutcome::ChainCut);
    EXPECT_EQ(list.partitionCount, 2u);
}

TEST_F(WalkTest, LinkOnlyChainWithoutLoopIsBoundedByLinkCount)
{
    // Hundreds of boot records that add no partition and never revisit one.
    image->WriteSector(0, MakeBootRecord({{0x05, 1000, 15000}}));
    for (std::uint32_t i = 0; i < kMaxChainLinks + 50; ++i) {
        image->WriteSector(1000 + i, MakeBootRecord({{0x83, 1, 1}, {0x05, i + 1, 1}}));
    }
    EXPECT_EQ(Walk(), TableWalkOutcome::ChainCut);
    EXPECT_EQ(list.partitionCount, 0u);
    EXPECT_LE(image->ReadCount(), 2 * (kMaxChainLinks + 10));
}

TEST_F(WalkTest, LogicalStartPastThirtyTwoBitSectorsIsNotWrapped)
{
    image->WriteSector(0, MakeBootRecord({{0x05, 1000, 5000}}));
    // 1000 + 0xFFFFFF00 wraps to 744 in 32 bits; a boot sector there must not be taken for it:
    // the partition lies at its own sector beyond 2^32 and is listed there by its type byte.
    image->WriteSector(1000, MakeBootRecord({{0x07, 0xFFFFFF00u, 100}, {0x05, 0xFFFFFF80u, 100}}));
    image->WriteSector(744, MakeFat32BootSector(100, 744));
    Walk();
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 1000u + 0xFFFFFF00ull);
    EXPECT_EQ(list.records[0].fsType, core::kFsNtfs);
}

TEST_F(WalkTest, UnreadablePrimaryBootSectorIsNotClassifiedFromThePreviousEntry)
{
    // Entry 1 is FAT32 by its boot text; entry 2 (a Linux type) has an unreadable boot sector.
    // Classifying entry 2 from entry 1's leftover bytes would list it as FAT32.
    image->WriteSector(0, MakeBootRecord({{0x83, 63, 1000}, {0x83, 2000, 1000}}));
    image->WriteSector(63, MakeFat32BootSector(1000, 63));
    image->WriteSector(2000, MakeFat32BootSector(1000, 2000));
    image->MarkBad(2000);
    Walk();
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].startSector, 63u);
}

TEST_F(WalkTest, UnreadableBootSectorsClassifyByTypeByte)
{
    image->WriteSector(0, MakeBootRecord({{0x0B, 63, 1000}, {0x05, 2000, 4000}}));
    image->MarkBad(63);
    const LogicalSpec logicals[] = {{0, 0x07, 63, 300}};
    const auto starts = testing_support::WriteExtendedChain(*image, 2000, logicals);
    image->WriteSector(starts[0], MakeFat16BootSector(300));
    image->MarkBad(starts[0]);
    Walk();
    ASSERT_EQ(list.partitionCount, 2u);
    EXPECT_EQ(list.records[0].fsType, core::kFsFat32);
    EXPECT_EQ(list.records[1].fsType, core::kFsNtfs);
}

TEST_F(WalkTest, NewWalkEmptiesTheListAndItsTreeItems)
{
    image->WriteSector(0, MakeBootRecord({{0x07, 63, 100}, {0x07, 200, 100}}));
    Walk();
    ASSERT_EQ(list.partitionCount, 2u);
    image->WriteSector(0, SectorBytes{});
    EXPECT_EQ(Walk(), TableWalkOutcome::NoTable);
    EXPECT_EQ(list.partitionCount, 0u);
    EXPECT_EQ(tree.Items().size(), 1u);
}

TEST_F(WalkTest, NoDriveOpenListsNothing)
{
    disk.driveHandle.reset();
    EXPECT_EQ(Walk(), TableWalkOutcome::NoTable);
    EXPECT_FALSE(WalkPartitionTables(disk, list, tree).listed);
}

// The retries at 0, 0, 61 and 62.
struct RetryCase
{
    const char* name;
    core::Sector tableAt;
    int sectorZeroFailures;  // reads of sector 0 that fail before it reads
    bool listed;
};

class RetryTest : public WalkTest, public ::testing::WithParamInterface<RetryCase>
{
};

TEST_P(RetryTest, TriesZeroTwiceThen61Then62)
{
    const RetryCase& c = GetParam();
    image->WriteSector(c.tableAt, MakeBootRecord({{0x07, 1000, 100}}));
    if (c.sectorZeroFailures != 0) {
        image->MarkBad(0, c.sectorZeroFailures);
    }
    EXPECT_EQ(WalkPartitionTables(disk, list, tree).listed, c.listed);
    EXPECT_EQ(list.partitionCount, c.listed ? 1u : 0u);
    EXPECT_EQ(tree.Items().size(), c.listed ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sectors, RetryTest,
    ::testing::Values(RetryCase{"AtZero", 0, 0, true},
                      // the first walk's read (bulk and its three retries) fails, the second reads
                      RetryCase{"AtZeroOnSecondTry", 0, 4, true},
                      RetryCase{"AtZeroNeverReadable", 0, FaultyDisk::kForever, false},
                      RetryCase{"At61", 61, 0, true}, RetryCase{"At62", 62, 0, true},
                      RetryCase{"At63NotTried", 63, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace partitions

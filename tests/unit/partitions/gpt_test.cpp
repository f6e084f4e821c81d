// GUID partition tables: header and array checks, the backup table, hybrid MBRs, entry names and
// ranges, the 128-record limit, classification, and what selecting a GPT record gives.
#include "partitions/gpt.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/messages.h"
#include "partitions/partition_select.h"
#include "partitions/partition_table.h"
#include "support/gpt_builder.h"
#include "support/mbr_builder.h"
#include "support/memory_disk.h"

namespace partitions {
namespace {

using testing_support::FaultyDisk;
using testing_support::FixArrayCrc;
using testing_support::FixHeaderCrc;
using testing_support::GptPartitionSpec;
using testing_support::HeaderOffset;
using testing_support::PutLe;
using testing_support::SectorBytes;

constexpr std::uint64_t kDiskSectors = 16384;  // 8 MiB
constexpr std::uint64_t kBackupLba = kDiskSectors - 1;

SectorBytes BitLockerBootSector()
{
    SectorBytes s{};
    const std::string_view oem = "-FVE-FS-";
    std::copy(oem.begin(), oem.end(), s.begin() + 3);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

class GptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto owned = std::make_unique<FaultyDisk>(kDiskSectors * core::kSectorSize);
        image = owned.get();
        disk.driveHandle = std::move(owned);
        specs = {
            {testing_support::kEfiSystemGuid, 2048, 4095, u"EFI system partition"},
            {testing_support::kMsReservedGuid, 4096, 6143, u"Microsoft reserved partition"},
            {testing_support::kBasicDataGuid, 6144, 8191, u"Basic data partition"},
            {testing_support::kBasicDataGuid, 8192, 10239, u"Encrypted"},
            {testing_support::kLinuxGuid, 10240, 12287, u"linux"},
        };
        image->WriteSector(6144, testing_support::MakeNtfsBootSector(2048, 6144));
        image->WriteSector(8192, BitLockerBootSector());
    }

    void Build(const testing_support::GptLayoutSpec& layout = {}) { testing_support::WriteGpt(*image, specs, layout); }

    TablesWalk Walk() { return WalkPartitionTables(disk, list, tree); }

    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        for (std::size_t i = 1; i < tree.Items().size(); ++i) {
            items.push_back(tree.Items()[i].text);
        }
        return items;
    }

    FaultyDisk* image = nullptr;
    disk::DiskState disk;
    PartitionList list;
    PartitionTree tree{0};
    std::vector<GptPartitionSpec> specs;
};

TEST_F(GptTest, ListsEveryUsedEntryNamedByFileSystemOrType)
{
    Build();
    const TablesWalk walk = Walk();
    EXPECT_TRUE(walk.listed);
    EXPECT_TRUE(walk.gptFound);
    EXPECT_FALSE(walk.gptBackupSector);
    EXPECT_EQ(list.scheme, PartitionScheme::Gpt);
    EXPECT_EQ(Items(), (std::vector<std::string>{"Partition 1 - EFI System", "Partition 2 - Microsoft Reserved",
                                                 "Partition 3 - NTFS", "Partition 4 - BitLocker",
                                                 "Partition 5 - Linux"}));
    const PartitionRecord& volume = list.records[2];
    EXPECT_EQ(volume.fsType, core::kFsNtfs);
    EXPECT_EQ(volume.content, PartitionContent::FileSystem);
    EXPECT_EQ(volume.startSector, 6144u);
    EXPECT_EQ(volume.sectorCount, 2048u);
    ASSERT_TRUE(volume.gpt);
    EXPECT_EQ(volume.gpt->name, "Basic data partition");
    EXPECT_EQ(GuidText(volume.gpt->typeGuid), testing_support::kBasicDataGuid);
    EXPECT_EQ(list.records[3].content, PartitionContent::BitLocker);
    EXPECT_EQ(list.records[3].fsType, 0);
    EXPECT_EQ(list.records[4].content, PartitionContent::Other);
}

// One field of the primary table broken per row; the walk must fall back to the backup (or, when
// the backup is broken the same way, find no GPT and list nothing).
struct DamageCase
{
    const char* name;
    std::function<void(FaultyDisk&, std::uint64_t headerLba)> damage;
};

void PutFixed(FaultyDisk& d, std::uint64_t lba, std::uint64_t field, std::uint64_t value, int width)
{
    PutLe(d, HeaderOffset(lba) + field, value, width);
    FixHeaderCrc(d, lba);
}

const DamageCase kDamages[] = {
    {"HeaderCrcMismatch", [](FaultyDisk& d, std::uint64_t lba) { d.Bytes()[HeaderOffset(lba) + 40] ^= 1; }},
    {"ArrayCrcMismatch",
     [](FaultyDisk& d, std::uint64_t lba) { d.Bytes()[testing_support::ArrayOffset(d, lba) + 33] ^= 1; }},
    {"SignatureBroken", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 0, 0x5452415020494645 ^ 1, 8); }},
    {"HeaderSizeTooSmall", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 12, 91, 4); }},
    {"HeaderSizePastTheSector", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 12, 513, 4); }},
    {"EntrySizeBelow128", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 84, 64, 4); }},
    {"EntrySizeNotMultipleOf8", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 84, 132, 4); }},
    {"ArrayPastOneMiB", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 80, 8193, 4); }},
    {"CountTimesSizeOverflows32Bits",
     [](FaultyDisk& d, std::uint64_t lba) {
         PutLe(d, HeaderOffset(lba) + 80, 0x02000000, 4);
         PutFixed(d, lba, 84, 0x80, 4);
     }},
    {"ArrayLbaPastTheDisk", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 72, kDiskSectors - 2, 8); }},
    {"ArrayLbaHuge", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 72, UINT64_MAX - 3, 8); }},
    {"MyLbaWrong", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 24, lba + 7, 8); }},
    {"LastUsablePastTheDisk", [](FaultyDisk& d, std::uint64_t lba) { PutFixed(d, lba, 48, kDiskSectors, 8); }},
    {"UsableRangeReversed",
     [](FaultyDisk& d, std::uint64_t lba) {
         PutFixed(d, lba, 40, 9000, 8);
         PutFixed(d, lba, 48, 100, 8);
     }},
    {"HeaderUnreadable", [](FaultyDisk& d, std::uint64_t lba) { d.MarkBad(static_cast<core::Sector>(lba)); }},
};

class GptDamageTest : public GptTest, public ::testing::WithParamInterface<DamageCase>
{
};

TEST_P(GptDamageTest, DamagedPrimaryFallsBackToTheBackup)
{
    Build();
    GetParam().damage(*image, 1);
    const TablesWalk walk = Walk();
    EXPECT_TRUE(walk.listed);
    ASSERT_TRUE(walk.gptBackupSector);
    EXPECT_EQ(*walk.gptBackupSector, kBackupLba);
    EXPECT_EQ(list.partitionCount, 5u);
    EXPECT_EQ(Items()[2], "Partition 3 - NTFS");
    EXPECT_NE(GptBackupNote(kBackupLba).find("16383"), std::string::npos);
}

TEST_P(GptDamageTest, BothDamagedListsNoGpt)
{
    Build();
    GetParam().damage(*image, 1);
    GetParam().damage(*image, kBackupLba);
    EXPECT_FALSE(ReadGpt(disk, kDiskSectors));
    const TablesWalk walk = Walk();
    EXPECT_FALSE(walk.gptFound);
    EXPECT_FALSE(walk.listed);
    EXPECT_EQ(list.scheme, PartitionScheme::Mbr);
}

INSTANTIATE_TEST_SUITE_P(Fields, GptDamageTest, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GptTest, HybridMbrIsReadAsGptAndBrokenGptFallsBackToItsMbrEntries)
{
    Build({128, 128, 2});
    // A hybrid MBR: an NTFS entry beside the 0xEE one.
    image->Bytes()[446 + 4] = 0x07;
    PutLe(*image, 446 + 8, 6144, 4);
    PutLe(*image, 446 + 12, 2048, 4);
    EXPECT_TRUE(Walk().gptFound);
    EXPECT_EQ(list.partitionCount, 5u);

    image->Bytes()[HeaderOffset(1) + 40] ^= 1;
    image->Bytes()[HeaderOffset(kBackupLba) + 40] ^= 1;
    const TablesWalk walk = Walk();
    EXPECT_FALSE(walk.gptFound);
    EXPECT_EQ(list.scheme, PartitionScheme::Mbr);
    EXPECT_EQ(Items(), (std::vector<std::string>{"Partition 1 - NTFS"}));
}

TEST_F(GptTest, WithoutProtectiveEntryTheGptIsNotRead)
{
    Build();
    image->Bytes()[446 + 4] = 0x07;  // the 0xEE entry becomes an NTFS one starting at sector 1
    const TablesWalk walk = Walk();
    EXPECT_FALSE(walk.gptFound);
    EXPECT_EQ(list.scheme, PartitionScheme::Mbr);
}

TEST_F(GptTest, EntriesReversedOrPastTheDiskAreLeftOutAndEmptySlotsSkipped)
{
    specs = {
        {testing_support::kLinuxGuid, 3000, 2999, u"reversed"},
        {testing_support::kLinuxGuid, 2048, kDiskSectors, u"past the end"},
        {testing_support::kLinuxGuid, 2048, 4095, u"kept", "01234567-89AB-CDEF-0123-456789ABCDEF", 9},
        {testing_support::kLinuxGuid, 0, UINT64_MAX, u"wraps"},
    };
    Build();
    Walk();
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].gpt->name, "kept");
}

TEST_F(GptTest, StartBeyondTheSectorFieldsIsLeftOut)
{
    specs = {{testing_support::kLinuxGuid, std::uint64_t{1} << 32, (std::uint64_t{1} << 32) + 100, u"far"},
             {testing_support::kLinuxGuid, 2048, 4095, u"near"}};
    Build();
    // The disk reports 4 TiB; its last sector (the backup) cannot be read, the primary is used.
    const std::uint64_t far = std::uint64_t{1} << 33;
    PutLe(*image, HeaderOffset(1) + 48, far - 40, 8);
    FixHeaderCrc(*image, 1);
    image->SetReportedSize(far * core::kSectorSize);
    Walk();
    // Listed only where sector numbers reach past 32 bits.
    const bool wide = std::numeric_limits<core::Sector>::max() >= (std::uint64_t{1} << 32);
    ASSERT_EQ(list.partitionCount, wide ? 2u : 1u);
    EXPECT_EQ(list.records[wide ? 1 : 0].gpt->name, "near");
}

TEST_F(GptTest, AtMost128RecordsAreListed)
{
    specs.clear();
    for (std::uint64_t i = 0; i < 130; ++i) {
        specs.push_back({testing_support::kLinuxGuid, 100 + i, 100 + i, u"p"});
    }
    Build({130, 128, 0});
    Walk();
    EXPECT_EQ(list.partitionCount, kMaxGptPartitions);
    EXPECT_EQ(Items().back(), "Partition 128 - Linux");
}

TEST_F(GptTest, LargerEntriesAreSteppedBySize)
{
    Build({64, 256, 0});
    Walk();
    EXPECT_EQ(list.partitionCount, 5u);
    EXPECT_EQ(list.records[4].gpt->name, "linux");
}

struct NameCase
{
    const char* label;
    std::u16string units;
    std::string utf8;
};

class GptNameTest : public GptTest, public ::testing::WithParamInterface<NameCase>
{
};

TEST_P(GptNameTest, NamesAreDecodedToUtf8UpToTheirFirstNul)
{
    specs = {{testing_support::kLinuxGuid, 2048, 4095, GetParam().units}};
    Build();
    Walk();
    ASSERT_EQ(list.partitionCount, 1u);
    EXPECT_EQ(list.records[0].gpt->name, GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Names, GptNameTest,
    ::testing::Values(NameCase{"Latin1", u"Donn\u00e9es", "Donn\xc3\xa9" "es"},
                      NameCase{"SurrogatePair", u"a\U0001F600b", "a\xf0\x9f\x98\x80" "b"},
                      NameCase{"LoneSurrogate", std::u16string{u'x', char16_t{0xD800}}, "x\xef\xbf\xbd"},
                      NameCase{"Empty", u"", ""},
                      NameCase{"AllThirtySixUnits", std::u16string(36, u'z'), std::string(36, 'z')},
                      NameCase{"StopsAtNul", std::u16string{u'a', 0, u'b'}, "a"}),
    [](const auto& info) { return std::string(info.param.label); });

struct ClassifyCase
{
    const char* name;
    int boot;  // 0 zeros, 1 NTFS, 2 FAT32, 3 FAT16, 4 BitLocker
    std::string_view type;
    PartitionContent content;
    core::FsTypeCode fsType;
    std::string_view typeName;
};

class GptClassifyTest : public ::testing::TestWithParam<ClassifyCase>
{
};

TEST_P(GptClassifyTest, BootSectorDecidesBeforeTheTypeGuid)
{
    const ClassifyCase& c = GetParam();
    const SectorBytes sectors[] = {SectorBytes{}, testing_support::MakeNtfsBootSector(100),
                                   testing_support::MakeFat32BootSector(100), testing_support::MakeFat16BootSector(100),
                                   BitLockerBootSector()};
    const GptVolume v = ClassifyGptVolume(sectors[c.boot], testing_support::GuidOf(c.type));
    EXPECT_EQ(v.content, c.content);
    EXPECT_EQ(v.fsType, c.fsType);
    EXPECT_EQ(v.typeName, c.typeName);
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, GptClassifyTest,
    ::testing::Values(
        ClassifyCase{"NtfsUnderLinuxType", 1, testing_support::kLinuxGuid, PartitionContent::FileSystem, core::kFsNtfs,
                     {}},
        ClassifyCase{"Fat32UnderEfiType", 2, testing_support::kEfiSystemGuid, PartitionContent::FileSystem,
                     core::kFsFat32, {}},
        ClassifyCase{"Fat16", 3, testing_support::kBasicDataGuid, PartitionContent::FileSystem, core::kFsFat16, {}},
        ClassifyCase{"BitLocker", 4, testing_support::kBasicDataGuid, PartitionContent::BitLocker, 0,
                     core::msg::kVolumeBitLocker},
        ClassifyCase{"EmptyBasicData", 0, testing_support::kBasicDataGuid, PartitionContent::Other, 0,
                     core::msg::kGptTypeBasicData},
        ClassifyCase{"EmptyReserved", 0, testing_support::kMsReservedGuid, PartitionContent::Other, 0,
                     core::msg::kGptTypeMicrosoftReserved},
        ClassifyCase{"UnknownGuid", 0, "11111111-2222-3333-4444-555555555555", PartitionContent::Other, 0,
                     core::msg::kGptTypeUnknown}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GuidText, IsMixedEndianUpperCase)
{
    partitions::Guid raw{0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                         0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
    EXPECT_EQ(GuidText(raw), "C12A7328-F81F-11D2-BA4B-00A0C93EC93B");
    EXPECT_EQ(GptTypeName(raw), core::msg::kGptTypeEfiSystem);
}

TEST_F(GptTest, SelectingRecordsFillsTheTargetAndTellsWhatTheyHold)
{
    Build();
    Walk();
    catalog::ScanTarget target;
    const auto volume = SelectPartition(tree, list, list.records[2].treeItem, false, 0, target);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->content, PartitionContent::FileSystem);
    EXPECT_EQ(volume->info[0].value, "NTFS");
    EXPECT_EQ(target.scanType, core::kFsNtfs);
    EXPECT_EQ(target.scanStartSector, 6144u);
    EXPECT_EQ(target.scanEndSector, 8191u);
    EXPECT_EQ(target.scanPartitionTag, 2);
    EXPECT_TRUE(NoScanMessage(volume->content).empty());

    const auto locked = SelectPartition(tree, list, list.records[3].treeItem, false, 0, target);
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->content, PartitionContent::BitLocker);
    EXPECT_EQ(locked->info[0].value, "BitLocker");
    EXPECT_EQ(SelectedRecord(list, target), &list.records[3]);
    EXPECT_EQ(NoScanMessage(locked->content), core::msg::kBitLockerPartition);

    const auto other = SelectPartition(tree, list, list.records[4].treeItem, false, 0, target);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->info[0].value, "Linux");
    EXPECT_EQ(other->fileSystemListIndex, 2u);  // NTFS, for an Advance Scan of its sectors
    EXPECT_EQ(NoScanMessage(other->content), core::msg::kNoReadableFileSystem);

    // The disk's own item selects no record.
    SelectPartition(tree, list, tree.Root(), true, static_cast<std::uint32_t>(kDiskSectors), target);
    EXPECT_EQ(SelectedRecord(list, target), nullptr);
}

}  // namespace
}  // namespace partitions

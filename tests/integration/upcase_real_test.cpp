// The $UpCase table of the real fixture volumes: read whole after a Standard Scan, used by the
// file search, and left for the built-in case map when record 10 or its data is damaged.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/progress.h"
#include "ntfs/fixup.h"
#include "ntfs/standard_scan.h"
#include "platform/file_source.h"
#include "recovery/ntfs_data_map.h"
#include "recovery/upcase_reader.h"
#include "shell/find_files.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

using testing_support::FixtureVolume;

struct Scanned
{
    disk::DiskState disk;
    catalog::Catalog catalog;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;

    bool Scan(const std::filesystem::path& image, const FixtureVolume& v)
    {
        disk.driveHandle = platform::OpenReadOnly(image.string()).source;
        if (disk.driveHandle == nullptr) {
            return false;
        }
        catalog.scanTarget = {core::kFsNtfs, static_cast<core::Sector>(v.start), v.sectors,
                              static_cast<core::Sector>(v.start + v.sectors - 1), 0};
        return ntfs::StandardScan(disk, catalog, table, tree, core::NullSink()).outcome ==
               ntfs::StandardScanOutcome::Completed;
    }

    recovery::ClusterGeometry Geometry() const
    {
        const catalog::VolumeParams& p = catalog.volumeParams;
        return {p.clusterBase, p.sectorsPerCluster, p.endSector};
    }
};

std::set<std::string> FoundNames(const catalog::Catalog& catalog, std::string_view pattern,
                                 const core::UpCaseTable* table)
{
    core::PauseGate gate;
    core::StopFlag stop;
    std::set<std::string> names;
    shell::FindFiles(
        catalog, {pattern, 1, table}, [&](const shell::FindRow& row, std::size_t) { names.insert(row.name); }, gate,
        stop);
    return names;
}

class UpCaseReal : public ::testing::TestWithParam<FixtureVolume>
{
};

TEST_P(UpCaseReal, TheWholeTableIsReadAndFoldsAsMkntfsWroteIt)
{
    const FixtureVolume v = GetParam();
    const auto image = testing_support::FixturePath(v.image);
    Scanned s;
    ASSERT_TRUE(s.Scan(image, v));
    const std::vector<std::uint8_t> bytes = recovery::ReadNtfsDataPrefix(
        s.disk, s.table.RecordToSector(recovery::kUpCaseRecord), s.Geometry(), &s.table, core::UpCaseTable::kBytes);
    EXPECT_EQ(bytes.size() / 2, core::UpCaseTable::kUnits);
    const auto table = recovery::ReadVolumeUpCase(s.disk, s.catalog.volumeParams, s.table);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Upper(U'z'), U'Z');
    EXPECT_EQ(table->Upper(U'\u0451'), U'\u0401'); // ё
    EXPECT_EQ(table->Upper(U'\u03c3'), U'\u03a3'); // σ
    EXPECT_EQ(table->Upper(U'\U0001F600'), U'\U0001F600');
}

INSTANTIATE_TEST_SUITE_P(Volumes, UpCaseReal, ::testing::ValuesIn(testing_support::kNtfsFixtureVolumes),
                         [](const auto& info) { return testing_support::VolumeTestName(info.param); });

constexpr FixtureVolume kUnicode = testing_support::kNtfsFixtureVolumes[7];
const std::set<std::string> kReports{"\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC",    // ОТЧЁТ 6.DOC
                                     "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 7.DOC"};   // ОТЧЁТ 7.DOC
constexpr std::string_view kReportPattern = "*\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2*"; // *ОТЧЁТ*

TEST(UpCaseRealFind, TheSearchFindsThroughTheVolumesTable)
{
    Scanned s;
    ASSERT_TRUE(s.Scan(testing_support::FixturePath(kUnicode.image), kUnicode));
    const auto table = recovery::ReadVolumeUpCase(s.disk, s.catalog.volumeParams, s.table);
    ASSERT_TRUE(table);
    EXPECT_EQ(FoundNames(s.catalog, kReportPattern, &*table), kReports);
    EXPECT_EQ(FoundNames(s.catalog, kReportPattern, nullptr), kReports);
}

// How record 10 is damaged in a copy of the unicode image.
enum class Damage {
    RecordZeroed,    // record 10 holds no FILE record
    TableZeroed,     // the first cluster of its data is zeros: not an $UpCase table
    TableUnreadable, // the image ends inside the table
};

class UpCaseDamaged : public ::testing::TestWithParam<Damage>
{
};

TEST_P(UpCaseDamaged, TheBuiltInMapIsUsedInstead)
{
    testing_support::DamagedImage copy(testing_support::FixturePath(kUnicode.image));
    ASSERT_TRUE(copy.Ok());
    const auto recordSector = testing_support::FileRecordSector(copy, kUnicode.start, recovery::kUpCaseRecord);
    ASSERT_TRUE(recordSector);
    // Where the table's data lies, from the intact copy.
    std::uint64_t dataSector = 0;
    {
        Scanned s;
        ASSERT_TRUE(s.Scan(copy.Path(), kUnicode));
        std::array<std::uint8_t, 1024> record{};
        recovery::ReadFileRecord(s.disk, *recordSector, record);
        const recovery::DataMap map = recovery::MapNtfsData(s.disk, record, *recordSector, s.Geometry(), &s.table);
        ASSERT_FALSE(map.pieces.empty());
        dataSector = s.catalog.volumeParams.clusterBase + map.pieces[0].lcn * s.catalog.volumeParams.sectorsPerCluster;
    }
    switch (GetParam()) {
    case Damage::RecordZeroed:
        ASSERT_TRUE(copy.ZeroSectors(*recordSector, 2));
        break;
    case Damage::TableZeroed:
        ASSERT_TRUE(copy.ZeroSectors(dataSector, 8));
        break;
    case Damage::TableUnreadable:
        ASSERT_TRUE(copy.TruncateToSectors(dataSector + 100));
        break;
    }
    Scanned s;
    if (GetParam() == Damage::TableUnreadable) {
        // The volume's end is cut off too: the scan may stop short, the table must not come back.
        s.disk.driveHandle = platform::OpenReadOnly(copy.Path().string()).source;
        s.catalog.scanTarget = {core::kFsNtfs, static_cast<core::Sector>(kUnicode.start), kUnicode.sectors,
                                static_cast<core::Sector>(kUnicode.start + kUnicode.sectors - 1), 0};
        ntfs::StandardScan(s.disk, s.catalog, s.table, s.tree, core::NullSink());
        ASSERT_NE(s.table.Count(), 0u); // record 10 itself is still there
    } else {
        ASSERT_TRUE(s.Scan(copy.Path(), kUnicode));
    }
    EXPECT_FALSE(recovery::ReadVolumeUpCase(s.disk, s.catalog.volumeParams, s.table));
    if (GetParam() != Damage::TableUnreadable) {
        EXPECT_EQ(FoundNames(s.catalog, kReportPattern, nullptr), kReports);
    }
}

INSTANTIATE_TEST_SUITE_P(Damages, UpCaseDamaged,
                         ::testing::Values(Damage::RecordZeroed, Damage::TableZeroed, Damage::TableUnreadable));

} // namespace

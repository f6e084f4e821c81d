// Recoverability of deleted files on the real fixture images: the Standard Scan's ratings against
// the manifests' states (intact files whole, overwritten ones not) and against ntfsundelete's
// percentages on the same volumes, the ratings of an Advance Scan mount, and the minimum share of
// batch recovery.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "advscan/advance_scan.h"
#include "advscan/mount.h"
#include "ntfs/standard_scan.h"
#include "platform/file_source.h"
#include "recovery/batch_recovery.h"
#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

using testing_support::DataDir;
using testing_support::FixturePath;
using testing_support::FixtureVolume;

struct Scanned
{
    disk::DiskState disk;
    catalog::Catalog catalog;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;

    bool Open(const std::filesystem::path& image)
    {
        auto opened = platform::OpenReadOnly(image.string());
        disk.driveHandle = std::move(opened.source);
        return disk.driveHandle != nullptr;
    }
    void Scan(core::Sector start, std::uint32_t sectors)
    {
        catalog.scanTarget = {core::kFsNtfs, start, sectors, start + sectors - 1, 0};
        ntfs::StandardScan(disk, catalog, table, tree, core::NullSink());
    }
    // The deleted files by record number.
    std::map<std::uint32_t, const catalog::NtfsFileEntry*> Deleted() const
    {
        std::map<std::uint32_t, const catalog::NtfsFileEntry*> files;
        for (const catalog::NtfsFileEntry& f : catalog.NtfsFiles()) {
            if (f.deleted != 0)
                files[f.record] = &f;
        }
        return files;
    }
};

struct UndeleteRow
{
    std::string flags;
    int percent = 0;
};

// `ntfsundelete --scan` of the volume (tests/data/oracle/<image>.p<part>.ntfsundelete.txt): the
// rows of files (flag F) by inode.
std::map<std::uint32_t, UndeleteRow> UndeleteOracle(const FixtureVolume& v)
{
    std::map<std::uint32_t, UndeleteRow> rows;
    const std::string stem = std::filesystem::path(v.image).stem().string();
    std::ifstream file(DataDir() / "oracle" / (stem + ".p" + std::to_string(v.part) + ".ntfsundelete.txt"));
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::uint32_t inode = 0;
        UndeleteRow row;
        std::string percent;
        if (!(fields >> inode >> row.flags >> percent) || row.flags.empty() || row.flags[0] != 'F' ||
            percent.empty() || percent.back() != '%')
            continue;
        row.percent = std::stoi(percent);
        rows[inode] = row;
    }
    return rows;
}

class Recoverability : public ::testing::TestWithParam<FixtureVolume>
{
};

// Every deleted file the scan lists and ntfsundelete rates gets the same share, except compressed
// files (flag C): ntfsundelete rates them 0% although their clusters are free (The Sleuth Kit's
// blkstat shows cluster 743 of compressed.img's deleted.txt "Not Allocated"), so those are held
// to the manifest instead.
TEST_P(Recoverability, AgreesWithNtfsundeleteAndTheManifest)
{
    const FixtureVolume v = GetParam();
    Scanned s;
    ASSERT_TRUE(s.Open(FixturePath(v.image)));
    s.Scan(v.start, v.sectors);
    const auto deleted = s.Deleted();
    const auto oracle = UndeleteOracle(v);

    std::size_t compared = 0;
    for (const auto& [inode, row] : oracle) {
        const auto found = deleted.find(inode);
        if (found == deleted.end() || row.flags.find('C') != std::string::npos)
            continue;
        EXPECT_EQ(found->second->recoverable, row.percent) << found->second->name << " (record " << inode << ")";
        ++compared;
    }

    for (const auto& cells : testing_support::ManifestRows(std::filesystem::path(v.image).stem().string())) {
        if (cells[0] != std::to_string(v.part) || cells[2] != "f" || cells[6] != "1")
            continue;
        const auto found = deleted.find(static_cast<std::uint32_t>(std::stoul(cells[8])));
        if (found == deleted.end())
            continue;  // not listed (its record was reused)
        const std::uint8_t rating = found->second->recoverable;
        if (cells[7] == "intact") {
            EXPECT_EQ(rating, 100) << cells[3];
        } else if (cells[7] == "overwritten") {
            EXPECT_LT(rating, 100) << cells[3];
        }
        ++compared;
    }
    // Live files are not rated.
    for (const catalog::NtfsFileEntry& f : s.catalog.NtfsFiles()) {
        if (f.deleted == 0)
            EXPECT_EQ(f.recoverable, catalog::kRecoverableNotRated) << f.name;
    }
    if (!deleted.empty())
        EXPECT_GT(compared, 0u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Recoverability, ::testing::ValuesIn(testing_support::kNtfsFixtureVolumes),
                         [](const auto& info) { return testing_support::VolumeTestName(info.param); });

TEST(RecoverabilityNtfsBasic, OverwrittenFilesAreBelowWholeAndOnePartly)
{
    Scanned s;
    ASSERT_TRUE(s.Open(FixturePath("ntfs_basic.img")));
    s.Scan(2048, 49152);
    const auto deleted = s.Deleted();
    ASSERT_TRUE(deleted.count(196) && deleted.count(199) && deleted.count(193));
    EXPECT_EQ(deleted.at(196)->recoverable, 50);   // posix/deleted posix.txt: one of two clusters reused
    EXPECT_EQ(deleted.at(199)->recoverable, 0);    // Old Project/src/main.c.txt
    EXPECT_EQ(deleted.at(193)->recoverable, 100);  // resident
}

TEST(RecoverabilityNtfsBasic, TheBitmapOfAMountedFileSystemRatesItsFoundFiles)
{
    Scanned s;
    ASSERT_TRUE(s.Open(FixturePath("ntfs_basic.img")));
    s.catalog.scanTarget = {core::kFsNtfs, 2048, 49152, 2048 + 49152 - 1, 0};
    ntfs::FolderTree systems;
    advscan::RunAdvanceScan(s.disk, s.catalog, systems, core::NullSink());
    ASSERT_FALSE(s.catalog.FileSystems().empty());
    advscan::SelectFileSystem(s.catalog, s.catalog.FileSystems()[0].key, core::NullSink());
    advscan::MapMountedMft(s.disk, s.catalog.volumeParams, s.table);
    advscan::RateMountedFiles(s.disk, s.catalog, s.table);

    std::map<std::string, std::uint8_t> ratings;
    for (const catalog::FoundFileRecord& f : s.catalog.FoundFiles()) {
        if (f.deleted != 0)
            ratings[f.name] = f.recoverable;
        else
            EXPECT_EQ(f.recoverable, catalog::kRecoverableNotRated) << f.name;
    }
    EXPECT_EQ(ratings["deleted posix.txt"], 50);
    EXPECT_EQ(ratings["main.c.txt"], 0);
    EXPECT_EQ(ratings["deleted_big.txt"], 100);

    // Without the volume's $MFT the bitmap cannot be found: every deleted file is "?".
    ntfs::MftRunTable none;
    advscan::RateMountedFiles(s.disk, s.catalog, none);
    for (const catalog::FoundFileRecord& f : s.catalog.FoundFiles()) {
        if (f.deleted != 0 && ntfs::InMountedVolume(s.catalog.volumeParams, f.sector))
            EXPECT_EQ(f.recoverable, catalog::kRecoverableUnknown) << f.name;
    }
}

TEST(RecoverabilityCli, MinRecoverableLeavesOverwrittenFilesOut)
{
    const std::filesystem::path to = std::filesystem::temp_directory_path() / "dravik-min-recoverable";
    std::filesystem::remove_all(to);
    const std::string cli = std::string(DRAVIK_CLI) + " --images-only --image " +
                            testing_support::Quoted(FixturePath("ntfs_basic.img").string()) +
                            " recover --partition 1 --to " + testing_support::Quoted(to.string());
    const auto run = testing_support::RunCommand(cli + " --deleted only --min-recoverable 60 --all");
    EXPECT_TRUE(std::filesystem::exists(to / "Documents" / "deleted_big.txt")) << run.out << run.err;
    EXPECT_FALSE(std::filesystem::exists(to / "posix" / "deleted posix.txt"));
    EXPECT_FALSE(std::filesystem::exists(to / "Old Project" / "src" / "main.c.txt"));
    EXPECT_TRUE(std::filesystem::exists(to / "Old Project" / "src" / "lib" / "util.c.txt"));
    std::filesystem::remove_all(to);

    const auto bad = testing_support::RunCommand(cli + " --min-recoverable 101 --all");
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("--min-recoverable takes a number from 0 to 100"), std::string::npos) << bad.err;
}

}  // namespace

// The Advance Scan on the real fixture images: the old folders and files of a quick-reformatted
// volume, one file system per NTFS volume of a multi-partition disk (also after its partition
// table was wiped), mounts that keep to their own file system, and the CLI's output.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "advscan/advance_scan.h"
#include "advscan/mount.h"
#include "core/messages.h"
#include "ntfs/tree_builder.h"
#include "platform/file_source.h"
#include "support/cli_runner.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

using testing_support::DataDir;
using testing_support::FixturePath;

struct Row
{
    unsigned part = 0;
    core::Sector start = 0;
    bool folder = false;
    std::string path;
    std::uint64_t size = 0;
    std::uint32_t record = 0;
};

std::vector<Row> ReadManifest(const std::string& name)
{
    std::ifstream in(DataDir() / (name + ".manifest.tsv"));
    std::vector<Row> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            f.push_back(cell);
        }
        if (f.size() < 10) {
            continue;
        }
        Row row;
        row.part = static_cast<unsigned>(std::stoul(f[0]));
        row.start = static_cast<core::Sector>(std::stoul(f[1]));
        row.folder = f[2] == "d";
        row.path = f[3];
        row.size = std::stoull(f[4]);
        row.record = f[8] == "-" ? 0 : static_cast<std::uint32_t>(std::stoul(f[8]));
        rows.push_back(row);
    }
    return rows;
}

// Skips the test when a fixture image has not been built.
#define REQUIRE_FIXTURE(name)                                                                   \
    if (!std::filesystem::exists(FixturePath(name))) {                                          \
        GTEST_SKIP() << "fixture image " << (name) << " is not there yet";                      \
    }

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentPath(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

struct AdvanceScanned
{
    disk::DiskState disk;
    catalog::Catalog catalog;
    ntfs::FolderTree fileSystems = advscan::NewFoundFileSystemTree();
    ntfs::FolderTree folders;
    advscan::AdvanceScanResult result;

    bool Open(const std::filesystem::path& image)
    {
        auto opened = platform::OpenReadOnly(image.string());
        if (!opened.source) {
            return false;
        }
        disk.driveHandle = std::move(opened.source);
        return true;
    }
    void Run(core::Sector start, core::Sector end)
    {
        catalog.ClearSweepLists();
        catalog.scanTarget = advscan::AdvanceScanTarget(start, end);
        result = advscan::RunAdvanceScan(disk, catalog, fileSystems, core::NullSink());
    }
    void Mount(std::size_t number)
    {
        ASSERT_LE(number, catalog.FileSystems().size());
        ASSERT_TRUE(advscan::SelectFileSystem(catalog, catalog.FileSystems()[number - 1].key, core::NullSink()));
        folders = ntfs::FolderTree();
        advscan::MountFoundFileSystem(catalog, folders, core::NullSink());
    }
    // Found files listed in the mounted file system, by name.
    std::multimap<std::string, const catalog::FoundFileRecord*> MountedFiles() const
    {
        std::multimap<std::string, const catalog::FoundFileRecord*> files;
        const catalog::VolumeParams& v = catalog.volumeParams;
        for (const auto& f : catalog.FoundFiles()) {
            if (f.sector > v.clusterBase && f.sector <= v.endSector) {
                files.emplace(f.name, &f);
            }
        }
        return files;
    }
};

std::uint64_t ImageSectors(const std::filesystem::path& image)
{
    return std::filesystem::file_size(image) / core::kSectorSize;
}

// The NTFS volumes of multi_part: start and cluster size.
const std::map<core::Sector, std::uint32_t> kMultiPartNtfs = {{63, 1}, {96453, 4}, {112518, 8}};

void ExpectOneFileSystemPerVolume(const catalog::Catalog& catalog, const ntfs::FolderTree& tree)
{
    std::map<core::Sector, std::uint32_t> found;
    for (const auto& fs : catalog.FileSystems()) {
        found.emplace(fs.params.clusterBase, fs.params.sectorsPerCluster);
        EXPECT_EQ(fs.params.type, core::kFsNtfs);
        const ntfs::TreeItem* item = tree.Find(fs.key);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text, "NTFS @" + std::to_string(fs.params.clusterBase));
        EXPECT_EQ(item->parent, tree.Root());
    }
    EXPECT_EQ(found, kMultiPartNtfs);
    EXPECT_EQ(catalog.FileSystems().size(), kMultiPartNtfs.size());
}

TEST(AdvanceScanReal, ReformattedVolumeKeepsItsOldFoldersAndFiles)
{
    REQUIRE_FIXTURE("reformatted.img");
    const auto image = FixturePath("reformatted.img");
    AdvanceScanned scan;
    ASSERT_TRUE(scan.Open(image));
    scan.Run(2048, 2048 + 49152);
    ASSERT_EQ(scan.catalog.FileSystems().size(), 1u);
    EXPECT_EQ(scan.catalog.FileSystems()[0].params.clusterBase, 2048u);
    EXPECT_EQ(scan.catalog.FileSystems()[0].params.sectorsPerCluster, 8u);
    scan.Mount(1);

    const std::vector<Row> rows = ReadManifest("reformatted");
    std::map<std::string, std::uint32_t> recordOfPath;
    for (const Row& row : rows) {
        recordOfPath[row.path] = row.record;
    }
    std::map<std::uint32_t, const catalog::NtfsFolderEntry*> folderOfRecord;
    for (const auto& f : scan.catalog.NtfsFolders()) {
        folderOfRecord.emplace(f.record, &f);
    }
    const auto files = scan.MountedFiles();
    // The new $MFT took the old records below its size (and the three new files took 64-67);
    // every old record above them survives with its name, parent and size.
    std::size_t oldFolders = 0;
    std::size_t oldFiles = 0;
    for (const Row& row : rows) {
        const bool newEntry = row.path.rfind("New Folder", 0) == 0 || row.path == "fresh.txt";
        const std::uint32_t parent = ParentPath(row.path).empty() ? 5 : recordOfPath[ParentPath(row.path)];
        if (newEntry || row.record <= 67) {
            continue;
        }
        SCOPED_TRACE(row.path);
        if (row.folder) {
            const auto it = folderOfRecord.find(row.record);
            ASSERT_NE(it, folderOfRecord.end());
            EXPECT_EQ(it->second->name, BaseName(row.path));
            EXPECT_EQ(it->second->parent, parent);
            EXPECT_NE(it->second->treeItem, 0u);
            ++oldFolders;
        } else {
            const auto range = files.equal_range(BaseName(row.path));
            ASSERT_NE(range.first, range.second);
            EXPECT_EQ(range.first->second->size, row.size);
            EXPECT_EQ(range.first->second->parent, parent);
            ++oldFiles;
        }
    }
    EXPECT_GE(oldFolders, 4u);
    EXPECT_GE(oldFiles, 6u);
    // The old files are listed in their old folders.
    const auto mail = folderOfRecord.find(recordOfPath["Mail"]);
    ASSERT_NE(mail, folderOfRecord.end());
    std::set<std::string> listed;
    for (const auto& row : ntfs::ListFoundFolder(scan.catalog, mail->second->record, {}, {})) {
        listed.insert(row.name);
    }
    EXPECT_EQ(listed, (std::set<std::string>{"inbox.txt", "sent.txt"}));
}

TEST(AdvanceScanReal, MultiPartitionDiskGivesOneFileSystemPerNtfsVolume)
{
    REQUIRE_FIXTURE("multi_part.img");
    const auto image = FixturePath("multi_part.img");
    AdvanceScanned scan;
    ASSERT_TRUE(scan.Open(image));
    scan.Run(0, static_cast<core::Sector>(ImageSectors(image)));
    EXPECT_EQ(scan.result.sweep, advscan::SweepOutcome::Completed);
    ExpectOneFileSystemPerVolume(scan.catalog, scan.fileSystems);
    EXPECT_EQ(scan.catalog.bootHitCount, 6u);  // three volumes and their copies

    // Each mount shows its own volume's folders, never another's.
    const std::vector<Row> rows = ReadManifest("multi_part");
    for (std::size_t n = 1; n <= scan.catalog.FileSystems().size(); ++n) {
        scan.Mount(n);
        const core::Sector start = scan.catalog.volumeParams.clusterBase;
        std::set<std::string> expected;
        std::set<std::string> foreign;
        for (const Row& row : rows) {
            if (row.folder && row.record != 0) {
                (row.start == start ? expected : foreign).insert(BaseName(row.path));
            }
        }
        std::set<std::string> mounted;
        for (const auto& f : scan.catalog.NtfsFolders()) {
            mounted.insert(f.name);
        }
        SCOPED_TRACE(start);
        for (const std::string& name : expected) {
            EXPECT_EQ(mounted.count(name), 1u) << name;
        }
        for (const std::string& name : foreign) {
            EXPECT_EQ(mounted.count(name), 0u) << name;
        }
        for (const auto& [name, file] : scan.MountedFiles()) {
            EXPECT_GT(file->sector, start);
        }
    }
}

TEST(AdvanceScanReal, WipedPartitionTableStillGivesTheVolumesByBootSector)
{
    REQUIRE_FIXTURE("multi_part.img");
    testing_support::DamagedImage damaged(FixturePath("multi_part.img"));
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::WipePartitionTable(damaged));
    AdvanceScanned scan;
    ASSERT_TRUE(scan.Open(damaged.Path()));
    scan.Run(0, static_cast<core::Sector>(damaged.SizeBytes() / core::kSectorSize));
    ExpectOneFileSystemPerVolume(scan.catalog, scan.fileSystems);
    for (const auto& fs : scan.catalog.FileSystems()) {
        EXPECT_NE(fs.params.mftSector, 0);  // found by boot sector, not by index pairs
    }
}

TEST(AdvanceScanReal, BootSectorsGoneTheVolumesAreFoundByIndexPairs)
{
    REQUIRE_FIXTURE("multi_part.img");
    testing_support::DamagedImage damaged(FixturePath("multi_part.img"));
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::WipePartitionTable(damaged));
    for (const auto& [start, spc] : kMultiPartNtfs) {
        ASSERT_TRUE(damaged.ZeroSectors(start, 1));
        ASSERT_TRUE(damaged.ZeroSectors(start + 16002 - 1, 1));
    }
    AdvanceScanned scan;
    ASSERT_TRUE(scan.Open(damaged.Path()));
    const auto end = static_cast<core::Sector>(damaged.SizeBytes() / core::kSectorSize);
    scan.Run(0, end);
    EXPECT_EQ(scan.catalog.bootHitCount, 0u);
    for (const auto& fs : scan.catalog.FileSystems()) {
        EXPECT_EQ(kMultiPartNtfs.count(fs.params.clusterBase), 1u) << fs.params.clusterBase;
        EXPECT_EQ(fs.params.endSector, end);
        EXPECT_EQ(fs.params.mftSector, 0);
        EXPECT_EQ(fs.params.indexRecordSectors, 8);
    }
}

using testing_support::CliRun;

CliRun RunCli(const std::string& args)
{
    return testing_support::RunCommand(std::string(DRAVIK_CLI) + " --images-only " + args + " 2>&1");
}

TEST(AdvanceScanReal, CliListsTheFileSystemsAndMountsOne)
{
    REQUIRE_FIXTURE("multi_part.img");
    const std::string image = "--image " + FixturePath("multi_part.img").string();
    const CliRun run = RunCli(image + " advance-scan --start 0 --end 144585");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("boot sectors: 6\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("NTFS @63\t63\t1\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("NTFS @96453\t96453\t4\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("NTFS @112518\t112518\t8\t"), std::string::npos) << run.out;

    const CliRun tree = RunCli(image + " advance-scan --partition 1 --fs 1 --tree");
    ASSERT_EQ(tree.exitCode, 0) << tree.out;
    EXPECT_NE(tree.out.find("\n  Primary\n    Nested\n      deeper\n"), std::string::npos) << tree.out;

    const CliRun ls = RunCli(image + " advance-scan --partition 1 --fs 1 --ls Primary");
    ASSERT_EQ(ls.exitCode, 0) << ls.out;
    EXPECT_NE(ls.out.find("first.txt\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("to delete.txt\t"), std::string::npos) << ls.out;
}

TEST(AdvanceScanReal, CliRangeChecksAreTheWizards)
{
    REQUIRE_FIXTURE("multi_part.img");
    const std::string image = "--image " + FixturePath("multi_part.img").string();
    const std::pair<std::string, std::string_view> cases[] = {
        {"--start -5 --end 100", core::msg::kStartSectorNotValid},
        {"--start 10 --end x", core::msg::kEndSectorNotValid},
        {"--start 100 --end 100", core::msg::kEndBeforeStart},
    };
    for (const auto& [args, message] : cases) {
        const CliRun run = RunCli(image + " advance-scan " + args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.out.find("[2] " + std::string(message) + "\n"), std::string::npos) << run.out;
    }
}

}  // namespace

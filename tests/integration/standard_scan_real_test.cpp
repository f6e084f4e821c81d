// The Standard Scan on the real fixture images, compared with their manifests: every live folder
// and file at its path with its size, every deleted one whose FILE record survives (under a
// placeholder where its folder's record is gone), the scan from the backup boot sector, the bulk
// reads against the record-by-record walk, and the CLI's output against stored text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/ntfs_names.h"
#include "ntfs/standard_scan.h"
#include "ntfs/tree_builder.h"
#include "platform/file_source.h"
#include "support/cli_runner.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

using testing_support::DataDir;
using testing_support::FixturePath;

struct ManifestRow
{
    unsigned part = 0;
    std::uint32_t start = 0;
    bool folder = false;
    std::string path;  // Latin-1, as the catalog holds names
    std::uint64_t size = 0;
    bool deleted = false;
    std::string state;
    std::uint32_t record = 0;
};

std::vector<ManifestRow> ReadManifest(const std::string& name, unsigned part)
{
    std::ifstream in(DataDir() / (name + ".manifest.tsv"));
    std::vector<ManifestRow> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            f.push_back(cell);
        }
        if (f.size() < 10 || std::stoul(f[0]) != part) {
            continue;
        }
        ManifestRow row;
        row.part = part;
        row.start = static_cast<std::uint32_t>(std::stoul(f[1]));
        row.folder = f[2] == "d";
        row.path = "/" + f[3];
        row.size = std::stoull(f[4]);
        row.deleted = f[6] == "1";
        row.state = f[7];
        row.record = f[8] == "-" ? 0 : static_cast<std::uint32_t>(std::stoul(f[8]));
        rows.push_back(row);
    }
    return rows;
}

struct ScannedImage
{
    disk::DiskState disk;
    catalog::Catalog catalog;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    ntfs::StandardScanResult result;
    std::vector<std::string> itemPaths;

    bool Open(const std::filesystem::path& image)
    {
        auto opened = platform::OpenReadOnly(image.string());
        if (!opened.source) {
            return false;
        }
        disk.driveHandle = std::move(opened.source);
        return true;
    }
    void Run(core::Sector start, std::uint32_t sectors, std::uint32_t readSectors = 2048)
    {
        catalog.scanTarget = {core::kFsNtfs, start, sectors, start + sectors - 1, 0};
        ntfs::StandardScanOptions options;
        options.readSectors = readSectors;
        result = ntfs::StandardScan(disk, catalog, table, tree, core::NullSink(), options);
        itemPaths.assign(tree.Size() + 1, "");
        for (core::TreeItemId id = tree.Root() + 1; id <= tree.Size(); ++id) {
            const ntfs::TreeItem* item = tree.Find(id);
            itemPaths[id] = itemPaths[item->parent] + "/" + item->text;
        }
    }
    std::string FolderPath(const catalog::NtfsFolderEntry& f) const
    {
        return f.treeItem == 0 ? "?" : itemPaths[f.treeItem];
    }
    std::string FilePath(const catalog::NtfsFileEntry& f) const
    {
        if (f.parent == ntfs::kRootRecord) {
            return "/" + f.name;
        }
        const auto folder = catalog.NtfsFolderWithRecord(f.parent);
        return folder ? FolderPath(catalog.NtfsFolders()[*folder]) + "/" + f.name : "?/" + f.name;
    }
};

// A deleted entry found under a placeholder: its path is "/Dir<n>" followed by the tail of the
// manifest path below the lost folder.
bool UnderPlaceholder(const std::string& found, const std::string& expected)
{
    if (found.rfind("/Dir", 0) != 0) {
        return false;
    }
    const auto slash = found.find('/', 1);
    if (slash == std::string::npos) {
        return false;
    }
    const std::string tail = found.substr(slash);
    return expected.size() > tail.size() && expected.compare(expected.size() - tail.size(), tail.size(), tail) == 0;
}

// Checks the catalog against the manifest rows of one partition. Hard links share one record,
// of which the catalog lists one name: any name of the record will do.
void CompareWithManifest(const ScannedImage& scan, const std::vector<ManifestRow>& rows)
{
    std::map<std::uint32_t, std::vector<std::string>> folderPaths;  // record -> paths found
    std::map<std::uint32_t, std::vector<const catalog::NtfsFileEntry*>> files;
    std::map<std::uint32_t, const catalog::NtfsFolderEntry*> folders;
    for (const auto& f : scan.catalog.NtfsFolders()) {
        folders.emplace(f.record, &f);
    }
    for (const auto& f : scan.catalog.NtfsFiles()) {
        files[f.record].push_back(&f);
    }
    std::map<std::uint32_t, std::set<std::string>> namesOfRecord;
    for (const ManifestRow& row : rows) {
        namesOfRecord[row.record].insert(row.path);
    }
    std::size_t checked = 0;
    for (const ManifestRow& row : rows) {
        const bool recordSurvives = !row.deleted || row.state == "intact" || row.state == "overwritten";
        if (!recordSurvives) {
            continue;
        }
        ++checked;
        SCOPED_TRACE(row.path);
        if (row.folder) {
            const auto it = folders.find(row.record);
            ASSERT_NE(it, folders.end());
            EXPECT_EQ(it->second->deleted != 0, row.deleted);
            const std::string path = scan.FolderPath(*it->second);
            EXPECT_TRUE(path == row.path || (row.deleted && UnderPlaceholder(path, row.path))) << path;
            continue;
        }
        const auto it = files.find(row.record);
        ASSERT_NE(it, files.end());
        ASSERT_EQ(it->second.size(), 1u);
        const catalog::NtfsFileEntry& file = *it->second.front();
        EXPECT_EQ(file.deleted != 0, row.deleted);
        EXPECT_EQ(file.size, row.size);
        EXPECT_NE(file.dataRecordSector, 0u);
        const std::string path = scan.FilePath(file);
        const auto& names = namesOfRecord[row.record];
        EXPECT_TRUE(names.count(path) != 0 || (row.deleted && UnderPlaceholder(path, row.path))) << path;
    }
    EXPECT_GT(checked, 0u);
}

using Volume = testing_support::FixtureVolume;

class StandardScanReal : public ::testing::TestWithParam<Volume>
{
};

TEST_P(StandardScanReal, CatalogHoldsEveryLiveAndSurvivingDeletedEntryOfTheManifest)
{
    const Volume v = GetParam();
    const auto image = FixturePath(v.image);
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    ScannedImage scan;
    ASSERT_TRUE(scan.Open(image));
    scan.Run(v.start, v.sectors);
    ASSERT_EQ(scan.result.outcome, ntfs::StandardScanOutcome::Completed);
    EXPECT_EQ(scan.result.runTable, ntfs::RunTableOutcome::Complete);
    const std::string name = std::filesystem::path(v.image).stem().string();
    CompareWithManifest(scan, ReadManifest(name, v.part));

    // Every folder is in the tree and every file in a folder of it.
    const catalog::Catalog& c = scan.catalog;
    for (const auto& folder : c.NtfsFolders()) {
        EXPECT_NE(folder.treeItem, 0u) << folder.name << " is not reachable from the root";
    }
    for (const auto& file : c.NtfsFiles()) {
        const auto folder = c.NtfsFolderWithRecord(file.parent);
        EXPECT_TRUE(file.parent == ntfs::kRootRecord || (folder && c.NtfsFolders()[*folder].treeItem != 0))
            << file.name << " is not reachable from the root";
    }
}

TEST_P(StandardScanReal, BulkReadsMatchTheRecordByRecordWalk)
{
    const Volume v = GetParam();
    const auto image = FixturePath(v.image);
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    ScannedImage pairs;
    ScannedImage bulk;
    ASSERT_TRUE(pairs.Open(image) && bulk.Open(image));
    pairs.Run(v.start, v.sectors, 2);
    bulk.Run(v.start, v.sectors, 2048);
    ASSERT_EQ(pairs.catalog.NtfsFiles().size(), bulk.catalog.NtfsFiles().size());
    ASSERT_EQ(pairs.catalog.NtfsFolders().size(), bulk.catalog.NtfsFolders().size());
    for (std::size_t i = 0; i < bulk.catalog.NtfsFiles().size(); ++i) {
        const auto& a = pairs.catalog.NtfsFiles()[i];
        const auto& b = bulk.catalog.NtfsFiles()[i];
        EXPECT_EQ(std::tie(a.name, a.record, a.parent, a.created, a.changed, a.size, a.deleted, a.dataRecordSector),
                  std::tie(b.name, b.record, b.parent, b.created, b.changed, b.size, b.deleted, b.dataRecordSector));
    }
    for (std::size_t i = 0; i < bulk.catalog.NtfsFolders().size(); ++i) {
        const auto& a = pairs.catalog.NtfsFolders()[i];
        const auto& b = bulk.catalog.NtfsFolders()[i];
        EXPECT_EQ(std::tie(a.name, a.record, a.parent, a.created, a.changed, a.deleted, a.treeItem),
                  std::tie(b.name, b.record, b.parent, b.created, b.changed, b.deleted, b.treeItem));
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, StandardScanReal,
                         ::testing::ValuesIn(testing_support::kNtfsFixtureVolumes),
                         [](const auto& info) { return testing_support::VolumeTestName(info.param); });

TEST(StandardScanRealDamage, ZeroedBootSectorScansFromTheBackupAlike)
{
    const auto image = FixturePath("ntfs_basic.img");
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    testing_support::DamagedImage damaged(image);
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::ZeroBootSector(damaged, 2048));
    ScannedImage intact;
    ScannedImage fromBackup;
    ASSERT_TRUE(intact.Open(image) && fromBackup.Open(damaged.Path()));
    intact.Run(2048, 49152);
    fromBackup.Run(2048, 49152);
    ASSERT_EQ(fromBackup.result.outcome, ntfs::StandardScanOutcome::Completed);
    EXPECT_EQ(fromBackup.catalog.volumeParams.clusterBase, 2048u);
    EXPECT_EQ(fromBackup.catalog.volumeParams.mftSector, intact.catalog.volumeParams.mftSector);
    EXPECT_EQ(fromBackup.catalog.NtfsFiles().size(), intact.catalog.NtfsFiles().size());
    EXPECT_EQ(fromBackup.catalog.NtfsFolders().size(), intact.catalog.NtfsFolders().size());
    CompareWithManifest(fromBackup, ReadManifest("ntfs_basic", 1));
}

// ---- CLI golden output ---------------------------------------------------------------------------

testing_support::CliRun RunCli(const std::string& arguments)
{
    return testing_support::RunCommand(std::string(DRAVIK_CLI) + " --images-only " + arguments + " 2>/dev/null");
}

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Golden
{
    const char* image;
    const char* arguments;  // after --image IMAGE
    const char* file;       // in tests/data/golden
};

class CliGolden : public ::testing::TestWithParam<Golden>
{
};

// Regenerate with tests/data/golden/regenerate.sh <build dir>.
TEST_P(CliGolden, OutputMatchesTheStoredText)
{
    const Golden g = GetParam();
    const auto image = FixturePath(g.image);
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    const testing_support::CliRun run = RunCli("--image " + image.string() + " " + g.arguments);
    const std::string& out = run.out;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(out, ReadText(DataDir() / "golden" / g.file));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CliGolden,
    ::testing::Values(Golden{"ntfs_basic.img", "scan --partition 1 --tree", "ntfs_basic.scan.txt"},
                      Golden{"ntfs_basic.img", "scan --partition 1 --json", "ntfs_basic.scan.json"},
                      Golden{"ntfs_basic.img", "ls --partition 1", "ntfs_basic.ls.txt"},
                      Golden{"ntfs_basic.img", "ls --partition 1 Documents/Reports/2023/Q4 --json",
                             "ntfs_basic.ls-q4.json"},
                      Golden{"ntfs_basic.img", "find '*.txt' --partition 1", "ntfs_basic.find.txt"},
                      Golden{"ntfs_basic.img", "find 'r*' --partition 1 --json", "ntfs_basic.find-r.json"},
                      Golden{"ntfs_basic.img", "search-partitions", "ntfs_basic.search-partitions.txt"},
                      Golden{"multi_part.img", "partitions", "multi_part.partitions.txt"},
                      Golden{"multi_part.img", "search-partitions --json", "multi_part.search-partitions.json"},
                      Golden{"multi_part.img", "scan --partition 4 --tree", "multi_part.p4.scan.txt"},
                      Golden{"unicode.img", "scan --partition 1 --tree", "unicode.scan.txt"},
                      Golden{"unicode.img", "scan --partition 1 --json", "unicode.scan.json"},
                      Golden{"unicode.img", "ls --partition 1", "unicode.ls.txt"},
                      Golden{"unicode.img", "ls --partition 1 \xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe --json", "unicode.ls-foto.json"},
                      Golden{"unicode.img", "find '*\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2*' --partition 1",
                             "unicode.find.txt"},
                      Golden{"unicode.img", "find '*' --partition 1 --json", "unicode.find-all.json"},
                      Golden{"gpt.img", "partitions", "gpt.partitions.txt"},
                      Golden{"gpt.img", "partitions --json", "gpt.partitions.json"},
                      Golden{"gpt.img", "scan --partition 4 --tree", "gpt.p4.scan.txt"}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name) {
            if (c == '.' || c == '-') {
                c = '_';
            }
        }
        return name;
    });

TEST(CliScan, FatPartitionGetsTheFatMessageAndExitOne)
{
    const auto image = FixturePath("multi_part.img");
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    // stdout is dropped; the message goes to stderr.
    const testing_support::CliRun run = testing_support::RunCommand(
        std::string(DRAVIK_CLI) + " --images-only --image " + image.string() + " scan --partition 2 2>&1 >/dev/null");
    const std::string& err = run.out;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(err.find("[2] This is FAT partition. If earlier it was NTFS partition and you want to recover it use "
                       "Advance Scan OR download the Dravik for FAT."),
              std::string::npos)
        << err;
}

}  // namespace

// Extension records and names on the real fixture images: no scan lists a FILE record that is a
// part of another file, a file is listed once under its long name wherever that name lies, and
// the Advance Scan of a volume written from Linux lists its POSIX-named files.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "advscan/advance_scan.h"
#include "advscan/mount.h"
#include "core/ntfs_names.h"
#include "ntfs/fixup.h"
#include "ntfs/record_names.h"
#include "ntfs/standard_scan.h"
#include "platform/file_source.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

using testing_support::DataDir;
using testing_support::ManifestRows;
using testing_support::FixtureVolume;

std::filesystem::path ImagePath(const std::string& image)
{
    if (image == "demo.img") {
        return std::filesystem::path(DRAVIK_BINARY_DIR) / "demo" / "demo.img";
    }
    return testing_support::FixturePath(image);
}

// Every NTFS volume of the fixtures and of the demo disk.
std::vector<FixtureVolume> AllVolumes()
{
    std::vector<FixtureVolume> volumes(testing_support::kNtfsFixtureVolumes.begin(),
                                       testing_support::kNtfsFixtureVolumes.end());
    volumes.push_back({"demo.img", 1, 2048, 32768});
    volumes.push_back({"demo.img", 2, 34816, 16384});
    return volumes;
}

std::string Latin1(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80 || i + 1 >= utf8.size()) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        }
    }
    return out;
}

// The long (Win32) name of each live record of one volume whose manifest row says it has one,
// as the catalog holds names (Latin-1 or UTF-8: both are accepted).
struct ExpectedNames
{
    std::map<std::uint32_t, std::string> win32;       // record -> base name
    std::map<std::uint32_t, std::set<std::string>> any;  // record -> every base name
};

ExpectedNames ReadExpected(const FixtureVolume& v)
{
    ExpectedNames names;
    for (const std::vector<std::string>& f : ManifestRows(std::filesystem::path(v.image).stem().string())) {
        if (f.size() < 10 || std::stoul(f[0]) != v.part || f[6] != "0" || f[8] == "-") {
            continue;
        }
        const auto record = static_cast<std::uint32_t>(std::stoul(f[8]));
        const std::string base = f[3].substr(f[3].rfind('/') == std::string::npos ? 0 : f[3].rfind('/') + 1);
        names.any[record].insert(base);
        names.any[record].insert(Latin1(base));
        if (f[9] == "win32") {
            names.win32[record] = base;
        }
    }
    return names;
}

bool SameName(const std::string& listed, const std::string& utf8)
{
    return listed == utf8 || listed == Latin1(utf8);
}

struct Opened
{
    disk::DiskState disk;
    bool Open(const std::filesystem::path& image)
    {
        auto opened = platform::OpenReadOnly(image.string());
        disk.driveHandle = std::move(opened.source);
        return disk.driveHandle != nullptr;
    }
    std::array<std::uint8_t, 1024> Record(core::Sector sector)
    {
        std::array<std::uint8_t, 1024> bytes{};
        disk::ReadSectors(disk, sector, 2, bytes);
        ntfs::ApplyFixup(bytes);
        return bytes;
    }
};

class ExtensionRecordsReal : public ::testing::TestWithParam<FixtureVolume>
{
};

TEST_P(ExtensionRecordsReal, StandardScanListsBaseRecordsOnceUnderTheirLongNames)
{
    const FixtureVolume v = GetParam();
    const auto image = ImagePath(v.image);
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    Opened opened;
    ASSERT_TRUE(opened.Open(image));
    catalog::Catalog catalog;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;
    catalog.scanTarget = {core::kFsNtfs, static_cast<core::Sector>(v.start), v.sectors,
                          static_cast<core::Sector>(v.start + v.sectors - 1), 0};
    const ntfs::StandardScanResult result = ntfs::StandardScan(opened.disk, catalog, table, tree, core::NullSink());
    ASSERT_EQ(result.outcome, ntfs::StandardScanOutcome::Completed);

    const ExpectedNames expected = ReadExpected(v);
    std::map<std::uint32_t, std::string> listed;  // record -> name
    const auto check = [&](std::uint32_t record, const std::string& name) {
        SCOPED_TRACE(name + " @" + std::to_string(record));
        EXPECT_TRUE(listed.emplace(record, name).second) << "listed twice";
        EXPECT_FALSE(ntfs::IsExtensionRecord(opened.Record(table.RecordToSector(record))));
        if (const auto it = expected.win32.find(record); it != expected.win32.end()) {
            EXPECT_TRUE(SameName(name, it->second)) << it->second;
        } else if (const auto any = expected.any.find(record); any != expected.any.end()) {
            EXPECT_EQ(any->second.count(name), 1u);
        }
    };
    // The orphan pass appends its placeholders after the folders the walk found.
    const std::size_t walked = catalog.NtfsFolders().size() - result.placeholders;
    for (std::size_t i = 0; i < walked; ++i) {
        check(catalog.NtfsFolders()[i].record, catalog.NtfsFolders()[i].name);
    }
    for (const auto& f : catalog.NtfsFiles()) {
        check(f.record, f.name);
    }
    // Every live record of the manifest is listed.
    for (const auto& [record, names] : expected.any) {
        EXPECT_EQ(listed.count(record), 1u) << *names.begin();
    }
}

TEST_P(ExtensionRecordsReal, AdvanceScanListsNoExtensionRecordInAnyFileSystem)
{
    const FixtureVolume v = GetParam();
    const auto image = ImagePath(v.image);
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    Opened opened;
    ASSERT_TRUE(opened.Open(image));
    catalog::Catalog catalog;
    ntfs::FolderTree systems = advscan::NewFoundFileSystemTree();
    catalog.scanTarget = advscan::AdvanceScanTarget(static_cast<core::Sector>(v.start),
                                                    static_cast<core::Sector>(v.start + v.sectors));
    advscan::RunAdvanceScan(opened.disk, catalog, systems, core::NullSink());
    ASSERT_FALSE(catalog.FileSystems().empty());
    for (const auto& f : catalog.FoundFolders()) {
        EXPECT_FALSE(ntfs::IsExtensionRecord(opened.Record(f.sector))) << f.name << " @" << f.sector;
    }
    for (const auto& f : catalog.FoundFiles()) {
        EXPECT_FALSE(ntfs::IsExtensionRecord(opened.Record(f.sector))) << f.name << " @" << f.sector;
    }
    const ExpectedNames expected = ReadExpected(v);
    std::set<std::string> names;
    for (std::size_t n = 1; n <= catalog.FileSystems().size(); ++n) {
        ASSERT_TRUE(advscan::SelectFileSystem(catalog, catalog.FileSystems()[n - 1].key, core::NullSink()));
        ntfs::FolderTree folders;
        advscan::MountFoundFileSystem(catalog, folders, core::NullSink());
        for (const auto& f : catalog.NtfsFolders()) {
            names.insert(f.name);
        }
    }
    for (const auto& f : catalog.FoundFiles()) {
        names.insert(f.name);
    }
    // A volume whose $MFT was rebuilt keeps only some old records; the others must all be found
    // under their long names.
    if (std::string(v.image) != "reformatted.img") {
        for (const auto& [record, long_name] : expected.win32) {
            EXPECT_TRUE(names.count(long_name) + names.count(Latin1(long_name)) > 0) << long_name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ExtensionRecordsReal, ::testing::ValuesIn(AllVolumes()),
                         [](const auto& info) { return testing_support::VolumeTestName(info.param); });

// ntfs_basic as Linux left it, found only by the sweep: its first boot sector is gone, so the
// file system comes from its folders' index allocations.
TEST(ExtensionRecordsReal, AdvanceScanOfALinuxWrittenVolumeListsItsPosixNamedFiles)
{
    const auto image = testing_support::FixturePath("ntfs_basic.img");
    if (!std::filesystem::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    testing_support::DamagedImage damaged(image);
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::ZeroBootSector(damaged, 2048));
    Opened opened;
    ASSERT_TRUE(opened.Open(damaged.Path()));
    catalog::Catalog catalog;
    ntfs::FolderTree systems = advscan::NewFoundFileSystemTree();
    catalog.scanTarget = advscan::AdvanceScanTarget(2048, 2048 + 49152);
    advscan::RunAdvanceScan(opened.disk, catalog, systems, core::NullSink());
    ASSERT_EQ(catalog.FileSystems().size(), 1u);
    EXPECT_EQ(catalog.FileSystems()[0].params.clusterBase, 2048u);
    ASSERT_TRUE(advscan::SelectFileSystem(catalog, catalog.FileSystems()[0].key, core::NullSink()));
    ntfs::FolderTree folders;
    advscan::MountFoundFileSystem(catalog, folders, core::NullSink());

    const auto folderNamed = [&](const std::string& name) -> std::uint32_t {
        for (const auto& f : catalog.NtfsFolders()) {
            if (f.name == name) {
                return f.record;
            }
        }
        return 0;
    };
    const auto listed = [&](std::uint32_t folder) {
        std::multiset<std::string> names;
        for (const auto& row : ntfs::ListFoundFolder(catalog, folder, {}, {})) {
            names.insert(row.name);
        }
        return names;
    };
    const std::uint32_t posix = folderNamed("posix");
    ASSERT_EQ(posix, 97u);
    EXPECT_EQ(folderNamed("sub"), 102u);
    EXPECT_EQ(folderNamed("deeper"), 103u);
    const auto inPosix = listed(posix);
    for (const char* name : {"Mixed.txt", "mixed.txt", "linux only name.txt", "sub"}) {
        EXPECT_EQ(inPosix.count(name), 1u) << name;
    }
    EXPECT_EQ(listed(103).count("leaf.txt"), 1u);
    // The file whose names fill ~60 extension records is listed once, under its Win32 name, and
    // so is the one whose base record lacks some of its names.
    EXPECT_EQ(listed(110), (std::multiset<std::string>{"few", "original.txt"}));
    EXPECT_EQ(listed(188), (std::multiset<std::string>{"base.txt"}));
}

}  // namespace

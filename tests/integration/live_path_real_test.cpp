// The quick route to a live file through the directory indexes, on the real fixture images: every
// live file the Standard Scan lists is found at its path as the very entry the scan made (only
// files with an $ATTRIBUTE_LIST, extension records and records an earlier volume left past the
// $MFT's data are left to the scan), nothing but a live file is found, damaged index blocks
// never mislead it, and `recover --partition K PATH...` gives the same lines and files as the catalog
// of a saved scan.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/ntfs_names.h"
#include "core/le_view.h"
#include "ntfs/attribute_walk.h"
#include "ntfs/data_runs.h"
#include "ntfs/live_path.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/standard_scan.h"
#include "ntfs/tree_builder.h"
#include "platform/file_source.h"
#include "recovery/ntfs_data_map.h"
#include "support/cli_runner.h"
#include "support/damage.h"
#include "support/fixtures.h"
#include "support/mbr_builder.h"
#include "support/mft_volume.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FixturePath;

using Volume = testing_support::FixtureVolume;

struct Scanned
{
    disk::DiskState disk;
    catalog::Catalog catalog;
    ntfs::MftRunTable table;
    ntfs::FolderTree tree;

    bool Run(const fs::path& image, core::Sector start, std::uint32_t sectors)
    {
        auto opened = platform::OpenReadOnly(image.string());
        if (!opened.source) {
            return false;
        }
        disk.driveHandle = std::move(opened.source);
        catalog.scanTarget = {core::kFsNtfs, start, sectors, start + sectors - 1, 0};
        return ntfs::StandardScan(disk, catalog, table, tree, core::NullSink()).outcome ==
               ntfs::StandardScanOutcome::Completed;
    }

    std::optional<catalog::NtfsFileEntry> Resolve(const std::string& utf8Path)
    {
        return ntfs::ResolveLiveFile(disk, catalog.volumeParams, table, utf8Path);
    }

    std::array<std::uint8_t, 1024> Record(std::uint32_t number)
    {
        std::array<std::uint8_t, 1024> bytes{};
        recovery::ReadFileRecord(disk, table.RecordToSector(number), bytes);
        return bytes;
    }
    // Why the quick route may leave a live file of the catalog to the scan: the file has an
    // attribute list; it is an extension record holding names of its own (the scan lists it as a
    // file, the index entries of those names lead to its base record); or it lies past the
    // $MFT's data, left by an earlier volume in clusters the new $MFT took over.
    bool LeftToTheScan(std::uint32_t number)
    {
        const auto bytes = Record(number);
        ntfs::AttributeIterator it(bytes);
        while (const auto a = it.Next()) {
            if (a->type == ntfs::kAttrTypeAttributeList) {
                return true;
            }
        }
        const auto mftSize = ntfs::GetDataSize(Record(0));
        return core::LeView(bytes).U32(ntfs::kFileBaseRecord) != 0 ||
               (mftSize && std::uint64_t{number} * 1024 >= *mftSize);
    }

    // The UTF-8 path of a file through its live folders; empty when a folder on the way is
    // deleted or missing.
    std::string PathOf(const catalog::NtfsFileEntry& file) const
    {
        std::string path = file.name;
        std::uint32_t parent = file.parent;
        for (int depth = 0; parent != ntfs::kRootRecord; ++depth) {
            const auto folder = catalog.NtfsFolderWithRecord(parent);
            if (!folder || depth > 64 || catalog.NtfsFolders()[*folder].deleted != 0) {
                return {};
            }
            const catalog::NtfsFolderEntry& f = catalog.NtfsFolders()[*folder];
            path = f.name + "/" + path;
            parent = f.parent;
        }
        return path;
    }
};

bool SameEntry(const catalog::NtfsFileEntry& a, const catalog::NtfsFileEntry& b)
{
    return std::tie(a.name, a.record, a.parent, a.created, a.changed, a.size, a.deleted, a.dataRecordSector) ==
           std::tie(b.name, b.record, b.parent, b.created, b.changed, b.size, b.deleted, b.dataRecordSector);
}

class LivePathReal : public ::testing::TestWithParam<Volume>
{
};

TEST_P(LivePathReal, EveryLiveFileResolvesToTheScansEntry)
{
    const Volume v = GetParam();
    const auto image = FixturePath(v.image);
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    Scanned scan;
    ASSERT_TRUE(scan.Run(image, v.start, v.sectors));
    std::size_t live = 0;
    std::size_t resolved = 0;
    for (const catalog::NtfsFileEntry& file : scan.catalog.NtfsFiles()) {
        const std::string path = scan.PathOf(file);
        if (file.deleted != 0 || path.empty()) {
            continue;
        }
        ++live;
        SCOPED_TRACE(path);
        if (const auto entry = scan.Resolve(path)) {
            EXPECT_TRUE(SameEntry(*entry, file)) << entry->name << " record " << entry->record;
            ++resolved;
        } else {
            EXPECT_TRUE(scan.LeftToTheScan(file.record)) << "not resolved, record " << file.record;
        }
    }
    std::cout << "[ live path ] " << v.image << " p" << v.part << ": " << resolved << " of " << live
              << " live files resolved\n";
    EXPECT_GT(resolved, 0u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LivePathReal,
                         ::testing::ValuesIn(testing_support::kNtfsFixtureVolumes),
                         [](const auto& info) { return testing_support::VolumeTestName(info.param); });

TEST(LivePathBasic, OnlyALiveFileAtItsExactPathResolves)
{
    const auto image = FixturePath("ntfs_basic.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    Scanned scan;
    ASSERT_TRUE(scan.Run(image, 2048, 49152));
    ASSERT_TRUE(scan.Resolve("Documents/big.txt"));
    EXPECT_TRUE(scan.Resolve("/Documents//big.txt/"));  // empty components are dropped, as the catalog's paths do

    const char* unresolved[] = {
        "Documents/deleted_big.txt",                 // deleted
        "Café/borrado ñ.txt",                        // deleted, Latin-1 name
        "Documents/Reports",                         // a folder
        "Documents",                                 // a folder at the root
        "documents/big.txt",                         // case differs in a folder
        "Documents/BIG.TXT",                         // case differs in the file
        "Documents/LONGFI~1.TXT",                    // the 8.3 alias is not the name the catalog lists
        "Documents/big.txt/more",                    // a file as a folder
        "./Documents/big.txt",                       // "." of the root
        "Documents/nothing.txt",                     // not there
        "Old Project/src/main.c.txt",                // below a deleted folder
        "new after delete.txt/obj",                  // below a file
        "",                                          // the root
        "/",
    };
    for (const char* path : unresolved) {
        EXPECT_FALSE(scan.Resolve(path)) << path;
    }
    // POSIX names differing only in case are two files.
    const auto upper = scan.Resolve("posix/Mixed.txt");
    const auto lower = scan.Resolve("posix/mixed.txt");
    ASSERT_TRUE(upper && lower);
    EXPECT_NE(upper->record, lower->record);
    EXPECT_EQ(upper->name, "Mixed.txt");

    std::string deep;
    for (int i = 0; i < 65; ++i) {
        deep += "Documents/";
    }
    EXPECT_FALSE(scan.Resolve(deep + "big.txt"));
}

TEST(LivePathBasic, DamagedIndexBlocksGiveNothingOrTheRightEntry)
{
    const auto image = FixturePath("ntfs_basic.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    Scanned intact;
    ASSERT_TRUE(intact.Run(image, 2048, 49152));
    // The root's first INDX block.
    std::uint64_t block = 0;
    const auto root = intact.Record(ntfs::kRootRecord);
    ntfs::AttributeIterator it(root);
    while (const auto a = it.Next()) {
        const ntfs::RunList runs = ntfs::DecodeRunList(a->runs);
        if (a->type == ntfs::kAttrTypeIndexAllocation && !runs.runs.empty()) {
            block = 2048 + 8 * static_cast<std::uint64_t>(runs.runs.front().lcn);
        }
    }
    ASSERT_NE(block, 0u);

    // Each damage on a fresh copy, checked against the intact catalog: a torn sector, no
    // signature, sizes and offsets out of range, entry lengths of 0 and 1, an overlong name, and
    // stray bytes all over the block.
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> damages = {
        {510, {0x55, 0x55}}, {0, {'X'}},        {32, {0xFF, 0xFF, 0xFF, 0x7F}}, {24, {0xF0, 0xFF}},
        {72, {0, 0}},        {72, {1, 0}},      {144, {0xFF}}};
    for (std::uint64_t at = 64; at < 4096; at += 509) {
        damages.push_back({at, {0xFF, 0x00, 0xFF, 0xFF, 0x13, 0x37}});
    }
    std::size_t stillResolved = 0;
    for (const auto& [offset, bytes] : damages) {
        SCOPED_TRACE(offset);
        testing_support::DamagedImage copy(image);
        ASSERT_TRUE(copy.Ok() && copy.WriteBytes(block * testing_support::kSectorBytes + offset, bytes));
        Scanned damaged;
        ASSERT_TRUE(damaged.Run(copy.Path(), 2048, 49152));
        for (const catalog::NtfsFileEntry& file : intact.catalog.NtfsFiles()) {
            const std::string path = intact.PathOf(file);
            const auto entry = file.deleted == 0 && !path.empty() ? damaged.Resolve(path) : std::nullopt;
            if (entry) {
                EXPECT_TRUE(SameEntry(*entry, file)) << path;
                ++stillResolved;
            }
        }
    }
    EXPECT_GT(stillResolved, 0u);  // files below intact folders are still found
    testing_support::DamagedImage torn(image);
    ASSERT_TRUE(torn.Ok() && testing_support::BreakUpdateSequence(torn, block));
    Scanned damaged;
    ASSERT_TRUE(damaged.Run(torn.Path(), 2048, 49152));
    EXPECT_FALSE(damaged.Resolve("Documents/big.txt"));  // a torn block in use is not read past
}

// ---- recover --partition K PATH... ------------------------------------------------------------

TEST(LivePathCli, NamedLiveFilesComeOutAsFromTheCatalog)
{
    const auto image = FixturePath("ntfs_basic.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " is not unpacked";
    }
    const fs::path out = fs::temp_directory_path() / ("dravik-live-path-" + std::to_string(::getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    using testing_support::Quoted;
    const std::string cli = std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " ";
    const fs::path snapshot = out / "basic.QDN";
    ASSERT_EQ(testing_support::RunCommand(cli + "scan --partition 1 --save-snapshot " + Quoted(snapshot.string()) +
                                          " >/dev/null 2>&1")
                  .exitCode,
              0);

    struct Case
    {
        std::string paths;
        std::string options;
        bool quick;  // every path names a live file the indexes lead to
    };
    const std::vector<Case> cases = {
        {"'Documents/big.txt' 'small/tiny.txt' 'small/resident_600.txt' 'small/empty.txt' 'sparse/sparse.bin'", "",
         true},
        {"'frag/many_runs.txt' 'frag/interleave_a.txt' 'Café/menú del día.txt' 'posix/Mixed.txt' 'posix/mixed.txt'",
         "--json", true},
        {"'Documents/big.txt' 'Documents//big.txt' 'Documents/letter.txt'", "", true},  // the same file twice
        {"'Documents/big.txt' 'small/tiny.txt'", "--deleted only --filter 'b*'", true},
        {"'Documents/big.txt' 'Documents/deleted_big.txt'", "", false},  // a deleted file
        {"'Documents/big.txt' 'small'", "", false},                       // a folder
        {"'links/original.txt'", "", false},                              // an attribute list
        {"'Documents/big.txt' 'documents/big.txt'", "", false},           // nothing there
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paths + " " + c.options);
        const fs::path quickDir = out / ("quick" + std::to_string(n));
        const fs::path catalogDir = out / ("catalog" + std::to_string(n));
        ++n;
        const auto quick = testing_support::RunCommand(cli + "recover --partition 1 " + c.options + " --to " +
                                                       Quoted(quickDir.string()) + " " + c.paths);
        const auto fromCatalog = testing_support::RunCommand(cli + "recover --snapshot " + Quoted(snapshot.string()) +
                                                             " " + c.options + " --to " +
                                                             Quoted(catalogDir.string()) + " " + c.paths);
        EXPECT_EQ(quick.exitCode, fromCatalog.exitCode);
        std::string quickOut = quick.out;  // the JSON lines name the destination
        for (std::size_t at = quickOut.find(quickDir.string()); at != std::string::npos;
             at = quickOut.find(quickDir.string(), at)) {
            quickOut.replace(at, quickDir.string().size(), catalogDir.string());
        }
        EXPECT_EQ(quickOut, fromCatalog.out);
        EXPECT_EQ(testing_support::HashTree(quickDir), testing_support::HashTree(catalogDir));
        // Only the scan ends with its closing message; the quick route reads no more than it needs.
        EXPECT_EQ(quick.err.find("Advance scan") == std::string::npos, c.quick) << quick.err;
    }
    fs::remove_all(out);
}

// A deleted file and a live one of the same name in one folder, the deleted one first in record
// order: a path means the live one, by the catalog of a saved scan as by the quick route.
TEST(LivePathCli, PathMeansTheLiveFileWhereADeletedOneSharesItsName)
{
    using namespace testing_support;
    MftVolume volume;
    volume.PutFile(20, "a.txt", 5, 0, 100);  // deleted
    volume.PutFile(21, "a.txt", 5, 1, 300);
    volume.PutRecord(5, FileRecordBuilder()
                            .Flags(3)
                            .RecordNumber(5)
                            .FileName({.name = ".", .parent = 5, .nameSpace = 3, .fileAttributes = 0x10000006})
                            .IndexRoot({{.record = 21, .key = {.name = "a.txt", .parent = 5}}})
                            .Build());
    const SectorBytes mbr = MakeBootRecord({{.type = 0x07,
                                             .firstSector = static_cast<std::uint32_t>(volume.Layout().volumeStart),
                                             .sectorCount = volume.Layout().volumeSectors,
                                             .bootable = true}});
    volume.Raw().Write(0, mbr);
    std::vector<std::uint8_t> bytes(volume.Raw().SizeBytes());
    ASSERT_TRUE(volume.Raw().ReadAt(0, bytes));

    const fs::path out = fs::temp_directory_path() / ("dravik-live-name-" + std::to_string(::getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    const fs::path image = out / "same-name.img";
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    using testing_support::Quoted;
    const std::string cli = std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " ";
    const fs::path snapshot = out / "same.QDN";
    ASSERT_EQ(RunCommand(cli + "scan --partition 1 --save-snapshot " + Quoted(snapshot.string()) + " >/dev/null 2>&1")
                  .exitCode,
              0);
    const auto quick = RunCommand(cli + "recover --partition 1 --to " + Quoted((out / "quick").string()) + " a.txt");
    const auto fromCatalog = RunCommand(cli + "recover --snapshot " + Quoted(snapshot.string()) + " --to " +
                                        Quoted((out / "catalog").string()) + " a.txt");
    EXPECT_EQ(quick.exitCode, 0) << quick.err;
    EXPECT_EQ(quick.out, fromCatalog.out);
    EXPECT_EQ(quick.err.find("Advance scan"), std::string::npos) << quick.err;
    EXPECT_EQ(fs::file_size(out / "quick" / "a.txt"), 300u);
    EXPECT_EQ(fs::file_size(out / "catalog" / "a.txt"), 300u);
    fs::remove_all(out);
}

}  // namespace

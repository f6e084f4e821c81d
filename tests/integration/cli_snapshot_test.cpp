// dravik-cli snapshots on the ntfs_basic fixture: a saved scan loads back to the same catalog,
// tree and listings, saving a loaded catalog gives the same bytes, broken files are refused
// without output, and the ".QDN" naming rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;

using testing_support::CliRun;
using testing_support::Quoted;

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CliSnapshot : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = testing_support::FixturePath("ntfs_basic.img").string();
        if (!fs::exists(m_image))
            GTEST_SKIP() << m_image << " is not unpacked";
        std::string pattern = (fs::temp_directory_path() / "dravik-snapshot-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        if (!m_dir.empty()) {
            std::error_code ec;
            fs::remove_all(m_dir, ec);
        }
    }

    // dravik-cli with the fixture as drive 0 (none when `withImage` is false) and `args`.
    CliRun Run(const std::string& args, bool withImage = true) const
    {
        return testing_support::RunCommand(std::string(DRAVIK_CLI) + " --images-only " +
                                           (withImage ? "--image " + Quoted(m_image) + " " : std::string()) + args);
    }

    // Scans partition 1 and saves it as `name`; returns the scan's --json output.
    std::string ScanAndSave(const std::string& name) const
    {
        const CliRun run = Run("scan --partition 1 --json --save-snapshot " + Quoted((m_dir / name).string()));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    fs::path Path(const std::string& name) const { return m_dir / name; }

    std::string m_image;
    fs::path m_dir;
};

// The catalog part of `scan --json`: the folder and file lists with tree items and paths.
std::string CatalogLists(const std::string& json)
{
    const auto at = json.find(",\"folders\":[");
    return at == std::string::npos ? std::string() : json.substr(at);
}

// The lists as a snapshot gives them back: snapshots carry no recoverability, so every rating of
// a deleted file reads null after a load.
std::string WithoutRatings(const std::string& lists)
{
    return std::regex_replace(lists, std::regex("\"recoverable\":[0-9]+"), "\"recoverable\":null");
}

TEST_F(CliSnapshot, LoadedSnapshotShowsTheScannedCatalog)
{
    const std::string scanned = ScanAndSave("basic.QDN");
    ASSERT_FALSE(CatalogLists(scanned).empty()) << scanned;

    const CliRun loaded = Run("scan --snapshot " + Quoted(Path("basic.QDN").string()) + " --json");
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(loaded.out.rfind("{\"outcome\":\"loaded\",\"placeholders\":1,", 0), 0u) << loaded.out;
    EXPECT_NE(CatalogLists(scanned).find("\"recoverable\":100"), std::string::npos);
    EXPECT_EQ(CatalogLists(loaded.out), WithoutRatings(CatalogLists(scanned)));
    // The run table came back from the fixture, so nothing is said about it.
    EXPECT_EQ(loaded.err.find("run table"), std::string::npos) << loaded.err;

    // The summary leaves the placeholder out of the folders as the scan's does, and the tree is
    // the same.
    const CliRun scanTree = Run("scan --partition 1 --tree");
    const CliRun loadTree = Run("scan --snapshot " + Quoted(Path("basic.QDN").string()) + " --tree");
    ASSERT_EQ(loadTree.exitCode, 0) << loadTree.err;
    const auto body = [](const std::string& text) { return text.substr(text.find('\n')); };
    EXPECT_EQ(loadTree.out.rfind("outcome: loaded\n", 0), 0u) << loadTree.out;
    EXPECT_EQ(body(loadTree.out), body(scanTree.out));
}

TEST_F(CliSnapshot, LsOfALoadedSnapshotListsAsAfterTheScan)
{
    ScanAndSave("basic.QDN");
    const std::string snapshot = " --snapshot " + Quoted(Path("basic.QDN").string());
    for (const std::string path : {"Documents/Reports/2023/Q4", "Dir0/obj", "'Caf\xC3\xA9' --filter '*.TXT'"}) {
        const CliRun scanned = Run("ls --partition 1 " + path);
        const CliRun loaded = Run("ls" + snapshot + " " + path);
        ASSERT_EQ(scanned.exitCode, 0) << path;
        ASSERT_EQ(loaded.exitCode, 0) << path << loaded.err;
        EXPECT_GT(std::count(scanned.out.begin(), scanned.out.end(), '\n'), 1) << path;
        EXPECT_EQ(loaded.out, scanned.out) << path;
    }
    EXPECT_EQ(Run("ls" + snapshot + " Documents/none").exitCode, 1);
}

TEST_F(CliSnapshot, SavingALoadedSnapshotGivesTheSameBytes)
{
    ScanAndSave("first.QDN");
    const CliRun resaved = Run("scan --snapshot " + Quoted(Path("first.QDN").string()) + " --save-snapshot " +
                               Quoted(Path("second.QDN").string()));
    ASSERT_EQ(resaved.exitCode, 0) << resaved.err;
    const std::string first = ReadBytes(Path("first.QDN"));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == ReadBytes(Path("second.QDN")));
}

TEST_F(CliSnapshot, WithoutADriveTheCatalogIsShownAndTheRunTableMissing)
{
    const std::string scanned = ScanAndSave("basic.QDN");
    const CliRun loaded = Run("scan --snapshot " + Quoted(Path("basic.QDN").string()) + " --json", false);
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(CatalogLists(loaded.out), WithoutRatings(CatalogLists(scanned)));
    EXPECT_NE(loaded.err.find("run table could not be rebuilt"), std::string::npos) << loaded.err;
}

TEST_F(CliSnapshot, BrokenSnapshotsAreRefusedWithTheirMessage)
{
    ScanAndSave("basic.QDN");
    const std::string whole = ReadBytes(Path("basic.QDN"));
    ASSERT_GT(whole.size(), 100u);
    {
        std::ofstream cut(Path("cut.QDN"), std::ios::binary);
        cut.write(whole.data(), static_cast<std::streamsize>(whole.size() / 2));
    }
    {
        std::ofstream wrong(Path("wrong.QDN"), std::ios::binary);
        wrong << "NOTQDN1 and more";
    }
    struct Case
    {
        std::string file;
        std::string message;
    };
    for (const Case& c : {Case{"cut.QDN", "[2] The file is damaged or incomplete, nothing was loaded\n"},
                          Case{"wrong.QDN", "[2]     Invalid version of the file found : NOTQDN1\n"},
                          Case{"absent.QDN", "[2] Unable to open the file\n"}}) {
        const CliRun scan = Run("scan --json --snapshot " + Quoted(Path(c.file).string()) + " --save-snapshot " +
                                Quoted(Path("out.QDN").string()));
        EXPECT_EQ(scan.exitCode, 1) << c.file;
        EXPECT_EQ(scan.out, "") << c.file;
        EXPECT_EQ(scan.err, c.message) << c.file;
        EXPECT_FALSE(fs::exists(Path("out.QDN"))) << c.file << ": saved after a refused load";
        const CliRun ls = Run("ls --snapshot " + Quoted(Path(c.file).string()));
        EXPECT_EQ(ls.exitCode, 1) << c.file;
        EXPECT_EQ(ls.out, "") << c.file;
        EXPECT_EQ(ls.err, c.message) << c.file;
    }
}

TEST_F(CliSnapshot, SavedNameEndsInUpperCaseQdn)
{
    const CliRun lower = Run("scan --partition 1 --save-snapshot " + Quoted(Path("scan.qdn").string()));
    ASSERT_EQ(lower.exitCode, 0) << lower.err;
    EXPECT_FALSE(fs::exists(Path("scan.qdn")));
    EXPECT_TRUE(fs::exists(Path("scan.qdn.QDN")));
    EXPECT_NE(lower.err.find("snapshot saved as " + Path("scan.qdn.QDN").string() + "\n"), std::string::npos)
        << lower.err;

    const CliRun upper = Run("scan --partition 1 --save-snapshot " + Quoted(Path("kept.QDN").string()));
    ASSERT_EQ(upper.exitCode, 0) << upper.err;
    EXPECT_TRUE(fs::exists(Path("kept.QDN")));
    EXPECT_FALSE(fs::exists(Path("kept.QDN.QDN")));
}

TEST_F(CliSnapshot, UnwritableSnapshotEndsWithExitTwoAndNoOutput)
{
    const CliRun run = Run("scan --partition 1 --json --save-snapshot " + Quoted(Path("no/such/dir/x").string()));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("[2] Unable to open the file\n"), std::string::npos) << run.err;
}

TEST_F(CliSnapshot, PartitionAndSnapshotTogetherIsAUsageError)
{
    ScanAndSave("basic.QDN");
    const std::string snapshot = " --snapshot " + Quoted(Path("basic.QDN").string());
    EXPECT_EQ(Run("scan --partition 1" + snapshot).exitCode, 1);
    EXPECT_EQ(Run("ls --partition 1" + snapshot).exitCode, 1);
    EXPECT_EQ(Run("scan --save-snapshot").exitCode, 1);
}

}  // namespace

namespace {

// The folder tree printed after a summary: from the line "Root" on.
std::string TreeOf(const std::string& out)
{
    const auto at = out.find("\nRoot\n");
    return at == std::string::npos ? std::string() : out.substr(at + 1);
}

TEST_F(CliSnapshot, AdvanceScanMountSavesItsFoldersAndLoadsBackToTheSameTree)
{
    const std::string file = Path("mount.qdn").string();
    const CliRun mounted = Run("advance-scan --partition 1 --fs 1 --tree --save-snapshot " + Quoted(file));
    ASSERT_EQ(mounted.exitCode, 0) << mounted.err;
    ASSERT_FALSE(TreeOf(mounted.out).empty()) << mounted.out;

    const CliRun loaded = Run("scan --snapshot " + Quoted(file + ".QDN") + " --tree");
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(TreeOf(loaded.out), TreeOf(mounted.out));
    // A mount's files stay in the sweep's list: the snapshot holds folders and a file count of 0.
    const std::string bytes = ReadBytes(file + ".QDN");
    ASSERT_GE(bytes.size(), 86u);
    EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));
    EXPECT_EQ(Run("advance-scan --partition 1 --save-snapshot " + Quoted(file)).exitCode, 1);
}

}  // namespace

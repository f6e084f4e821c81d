// Recovery from the sources other than a fresh Standard Scan: a file system the Advance Scan
// found (recover --fs) and a saved scan (recover --snapshot).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::DataDir;
using testing_support::FixturePath;

using testing_support::CliRun;
using testing_support::Quoted;
using testing_support::HashTree;
using testing_support::RunCommand;

// path -> sha256 of the manifest's files in state `state`.
std::map<std::string, std::string> ManifestFiles(const std::string& image, const std::string& state)
{
    std::map<std::string, std::string> files;
    std::ifstream in(DataDir() / (image + ".manifest.tsv"));
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');) {
            cells.push_back(cell);
        }
        if (cells.size() >= 8 && cells[2] == "f" && cells[7] == state) {
            files[cells[3]] = cells[5];
        }
    }
    return files;
}

class RecoverSources : public testing::Test
{
protected:
    void SetUp() override
    {
        m_out = fs::temp_directory_path() / ("dravik-recover-sources-" + std::to_string(::getpid()));
        fs::remove_all(m_out);
        fs::create_directories(m_out);
    }
    void TearDown() override { fs::remove_all(m_out); }

    CliRun Cli(const fs::path& image, const std::string& args) const
    {
        return RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " " + args +
                          " 2>/dev/null");
    }
    fs::path Out(const std::string& name) const { return m_out / name; }

private:
    fs::path m_out;
};

TEST_F(RecoverSources, FoundFileSystemGivesBackTheFilesOfTheFormerVolume)
{
    const fs::path image = FixturePath("reformatted.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const auto recoverable = ManifestFiles("reformatted", "recoverable");
    ASSERT_FALSE(recoverable.empty());

    const CliRun run = Cli(image, "recover --partition 1 --fs 1 --all --to " + Quoted(Out("all").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\nerrors: 0\n"), std::string::npos) << run.out;
    // Without an $MFT map a file spread over several records would come out incomplete.
    EXPECT_NE(run.out.find("\nincomplete: 0\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("(incomplete"), std::string::npos) << run.out;
    const auto hashes = HashTree(Out("all"));
    for (const auto& [path, sha] : recoverable) {
        const auto it = hashes.find(path);
        ASSERT_NE(it, hashes.end()) << path << " not recovered\n" << run.out;
        EXPECT_EQ(it->second, sha) << path;
    }
}

TEST_F(RecoverSources, FoundFileSystemPathsAreTheMountedTreesPaths)
{
    const fs::path image = FixturePath("reformatted.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const auto recoverable = ManifestFiles("reformatted", "recoverable");
    const CliRun run =
        Cli(image, "recover --start 0 --end 100000 --fs 1 Mail /top.txt --to " + Quoted(Out("some").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const auto hashes = HashTree(Out("some"));
    EXPECT_EQ(hashes.size(), 3u) << run.out;  // Mail/inbox.txt, Mail/sent.txt, top.txt
    for (const std::string path : {"Mail/inbox.txt", "Mail/sent.txt"}) {
        ASSERT_EQ(hashes.count(path), 1u) << path << "\n" << run.out;
        EXPECT_EQ(hashes.at(path), recoverable.at("Mail/" + path.substr(5)));
    }
    // A selected file lands in the destination itself.
    ASSERT_EQ(hashes.count("top.txt"), 1u) << run.out;
    EXPECT_EQ(hashes.at("top.txt"), recoverable.at("top.txt"));

    // The folder a path goes through must be in the mounted tree.
    const CliRun missing =
        Cli(image, "recover --partition 1 --fs 1 Projects/Alpha/notes.txt --to " + Quoted(Out("none").string()));
    EXPECT_EQ(missing.exitCode, 1) << missing.out;
    EXPECT_FALSE(fs::exists(Out("none")));
}

// The file part of a manifest path.
std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The "/"-joined paths of the mounted file system's files in `advance-scan --json`, and how many
// of them have no path (no tree item leads to them).
struct MountedFiles
{
    std::set<std::string> paths;
    int unreachable = 0;
};

MountedFiles ReadMountedFiles(const std::string& json)
{
    MountedFiles files;
    const std::size_t list = json.find("\"files\":[", json.find("\"mounted\":"));
    const std::size_t end = json.find(']', list);
    if (list == std::string::npos || end == std::string::npos) {
        return files;
    }
    const std::string key = "\"path\":";
    for (std::size_t at = json.find(key, list); at != std::string::npos && at < end; at = json.find(key, at + 1)) {
        const std::size_t value = at + key.size();
        if (json.compare(value, 4, "null") == 0) {
            ++files.unreachable;
        } else {
            const std::size_t close = json.find('"', value + 1);
            files.paths.insert(json.substr(value + 2, close - value - 2));  // without the leading "/
        }
    }
    return files;
}

// A reformatted volume whose old "Mail" folder record (72) was overwritten after the format: its
// two files are still found, and must hang under a placeholder folder in the tree, the listing
// and a whole recovery, with their bytes intact.
class FoundFilesWithoutFolder : public RecoverSources
{
protected:
    void SetUp() override
    {
        RecoverSources::SetUp();
        const fs::path source = FixturePath("reformatted.img");
        if (!fs::exists(source)) {
            GTEST_SKIP() << source << " missing";
        }
        m_image = std::make_unique<testing_support::DamagedImage>(source);
        ASSERT_TRUE(m_image->Ok());
        const auto mail = testing_support::FileRecordSector(*m_image, 2048, 72);
        ASSERT_TRUE(mail.has_value());
        ASSERT_TRUE(m_image->ZeroSectors(*mail, 2));
    }
    void TearDown() override
    {
        m_image.reset();
        RecoverSources::TearDown();
    }
    const fs::path& Image() const { return m_image->Path(); }

private:
    std::unique_ptr<testing_support::DamagedImage> m_image;
};

TEST_F(FoundFilesWithoutFolder, EveryFoundFileIsReachableFromTheRoot)
{
    const CliRun mount = Cli(Image(), "advance-scan --partition 1 --fs 1 --json");
    ASSERT_EQ(mount.exitCode, 0) << mount.out;
    const MountedFiles files = ReadMountedFiles(mount.out);
    EXPECT_EQ(files.unreachable, 0) << mount.out;
    for (const auto& [path, sha] : ManifestFiles("reformatted", "recoverable")) {
        const std::string name = BaseName(path);
        const bool reached = std::any_of(files.paths.begin(), files.paths.end(),
                                         [&name](const std::string& p) { return BaseName(p) == name; });
        EXPECT_TRUE(reached) << path << " not reachable\n" << mount.out;
    }
    // The Mail files hang under the placeholder of record 72, the first one of this mount.
    EXPECT_EQ(files.paths.count("Dir0/inbox.txt"), 1u) << mount.out;
    EXPECT_EQ(files.paths.count("Dir0/sent.txt"), 1u) << mount.out;

    const CliRun tree = Cli(Image(), "advance-scan --partition 1 --fs 1 --tree");
    EXPECT_NE(tree.out.find("\n  Dir0\n"), std::string::npos) << tree.out;
    EXPECT_NE(tree.out.find("\nplaceholders: 1\n"), std::string::npos) << tree.out;
    const CliRun ls = Cli(Image(), "advance-scan --partition 1 --fs 1 --ls /Dir0");
    EXPECT_EQ(ls.exitCode, 0) << ls.out;
    EXPECT_NE(ls.out.find("\ninbox.txt\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("\nsent.txt\t"), std::string::npos) << ls.out;
}

TEST_F(FoundFilesWithoutFolder, RecoverAllGivesBackTheirBytes)
{
    const auto recoverable = ManifestFiles("reformatted", "recoverable");
    const CliRun run = Cli(Image(), "recover --partition 1 --fs 1 --all --to " + Quoted(Out("all").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const auto hashes = HashTree(Out("all"));
    for (const auto& [path, sha] : recoverable) {
        const std::string shown = path.starts_with("Mail/") ? "Dir0/" + BaseName(path) : path;
        const auto it = hashes.find(shown);
        ASSERT_NE(it, hashes.end()) << shown << " not recovered\n" << run.out;
        EXPECT_EQ(it->second, sha) << shown;
    }
    // A path through the placeholder selects the file alone.
    const CliRun one = Cli(Image(), "recover --partition 1 --fs 1 /Dir0/sent.txt --to " + Quoted(Out("one").string()));
    EXPECT_EQ(one.exitCode, 0) << one.out;
    const auto single = HashTree(Out("one"));
    ASSERT_EQ(single.size(), 1u) << one.out;
    EXPECT_EQ(single.begin()->second, recoverable.at("Mail/sent.txt"));
}

TEST_F(RecoverSources, FoundFileSystemOptionsAreChecked)
{
    const fs::path image = FixturePath("reformatted.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const std::string to = " --all --to " + Quoted(Out("x").string());
    EXPECT_EQ(Cli(image, "recover --partition 1 --fs 2" + to).exitCode, 1);  // one file system found
    EXPECT_EQ(Cli(image, "recover --fs 1 --snapshot none.QDN" + to).exitCode, 1);
    EXPECT_EQ(Cli(image, "recover --start 0 --end 9 --partition 1 --fs 1" + to).exitCode, 1);
    EXPECT_EQ(Cli(image, "recover --start 0 --end 100000" + to).exitCode, 1);  // a range needs --fs
    EXPECT_FALSE(fs::exists(Out("x")));
}

TEST_F(RecoverSources, SnapshotRecoversTheSameBytesAsTheScan)
{
    const fs::path image = FixturePath("ntfs_basic.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const fs::path snapshot = Out("basic.QDN");
    ASSERT_EQ(Cli(image, "scan --partition 1 --save-snapshot " + Quoted(snapshot.string())).exitCode, 0);
    ASSERT_TRUE(fs::exists(snapshot));

    const CliRun fromScan = Cli(image, "recover --partition 1 --all --to " + Quoted(Out("scan").string()));
    const CliRun fromSnapshot =
        Cli(image, "recover --snapshot " + Quoted(snapshot.string()) + " --all --to " + Quoted(Out("snap").string()));
    EXPECT_EQ(fromScan.exitCode, 0) << fromScan.out;
    EXPECT_EQ(fromSnapshot.exitCode, 0) << fromSnapshot.out;
    EXPECT_EQ(fromSnapshot.out, fromScan.out);
    const auto scanned = HashTree(Out("scan"));
    EXPECT_GT(scanned.size(), 5u);
    EXPECT_EQ(HashTree(Out("snap")), scanned);
}

}  // namespace

// Recovery from the sources other than a fresh Standard Scan: a file system the Advance Scan
// found (recover --fs) and a saved scan (recover --snapshot).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
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

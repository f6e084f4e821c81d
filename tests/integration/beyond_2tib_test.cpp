// A 3 TiB GPT disk whose NTFS partition starts beyond sector 2^32, assembled sparse from its
// committed parts: partitions, Standard Scan, listing, find, recovery, snapshots and an Advance
// Scan range around the partition, all through dravik-cli, every file compared with the manifest.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliRun;
using testing_support::HashTree;
using testing_support::Quoted;
using testing_support::RunCommand;

class Beyond2TiB : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = fs::temp_directory_path() / ("dravik-big-" + std::to_string(::getpid()));
        fs::create_directories(s_dir);
        s_ready = testing_support::AssembleBigGptDisk(s_dir / "big.img");
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    void SetUp() override
    {
        if (!s_ready) {
            GTEST_SKIP() << "no room for a sparse 3 TiB file in " << s_dir;
        }
    }

    static CliRun Cli(const std::string& args)
    {
        return RunCommand(Quoted(DRAVIK_CLI) + " --quiet --images-only --image " +
                          Quoted((s_dir / "big.img").string()) + " " + args);
    }

    // Manifest files with content, present or deleted with their data intact, by path.
    static std::map<std::string, std::string> Expected(bool withDeleted)
    {
        std::map<std::string, std::string> files;
        for (const auto& row : testing_support::ManifestRows("big_gpt")) {
            if (row[2] == "f" && (row[6] == "0" || (withDeleted && row[7] == "intact"))) {
                files[row[3]] = row[5];
            }
        }
        return files;
    }

    static inline fs::path s_dir;
    static inline bool s_ready = false;
};

TEST_F(Beyond2TiB, PartitionTableGivesTheStartBeyond32Bits)
{
    const CliRun run = Cli("partitions --json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"startSector\":4294969344"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"sectorCount\":32768"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"scheme\":\"GPT\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Partition 1 - NTFS"), std::string::npos) << run.out;
}

TEST_F(Beyond2TiB, ScanListAndFindReachTheFiles)
{
    const CliRun scan = Cli("scan --partition 1 --json");
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_NE(scan.out.find("\"clusterBase\":4294969344"), std::string::npos) << scan.out.substr(0, 600);

    const CliRun ls = Cli("ls --partition 1 'Far Away'");
    ASSERT_EQ(ls.exitCode, 0) << ls.err;
    EXPECT_NE(ls.out.find("notes.txt\tTXT File\t5000"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("gone.txt\tDeleted TXT File\t9000"), std::string::npos) << ls.out;

    const CliRun find = Cli("find '*.txt' --partition 1");
    ASSERT_EQ(find.exitCode, 0) << find.err;
    for (const char* name : {"NOTES.TXT\t\\Far Away\t5000", "TINY.TXT", "GONE.TXT", "LETTER.TXT\t\\old"}) {
        EXPECT_NE(find.out.find(name), std::string::npos) << name << "\n" << find.out;
    }
}

TEST_F(Beyond2TiB, RecoverAllIsByteExact)
{
    const fs::path out = s_dir / "all";
    const CliRun run = Cli("recover --partition 1 --all --deleted include --to " + Quoted(out.string()));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::map<std::string, std::string> got = HashTree(out);
    for (const auto& [path, sha] : Expected(true)) {
        const auto it = got.find(path);
        ASSERT_NE(it, got.end()) << path;
        EXPECT_EQ(it->second, sha) << path;
    }
}

TEST_F(Beyond2TiB, SnapshotIsVersionTwoAndRecoversByteExact)
{
    const fs::path snapshot = s_dir / "big.QDN";
    const CliRun save = Cli("scan --partition 1 --save-snapshot " + Quoted(snapshot.string()));
    ASSERT_EQ(save.exitCode, 0) << save.err;
    ASSERT_TRUE(fs::exists(snapshot));
    {
        std::ifstream in(snapshot, std::ios::binary);
        std::string head(10, '\0');
        in.read(head.data(), 10);
        EXPECT_EQ(head, "dnx4.022.0");  // sectors past 32 bits need the 64-bit fields
    }

    const CliRun loaded = Cli("scan --snapshot " + Quoted(snapshot.string()) + " --json");
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("\"scanStartSector\":4294969344"), std::string::npos) << loaded.out.substr(0, 600);

    const fs::path out = s_dir / "from-snapshot";
    const CliRun run = Cli("recover --snapshot " + Quoted(snapshot.string()) + " --drive 0 --all --to " +
                           Quoted(out.string()));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::map<std::string, std::string> got = HashTree(out);
    for (const auto& [path, sha] : Expected(false)) {
        EXPECT_EQ(got.count(path) ? got.at(path) : "missing", sha) << path;
    }

    // Saved again from the load, the file is the same byte for byte.
    const fs::path again = s_dir / "again.QDN";
    ASSERT_EQ(Cli("scan --snapshot " + Quoted(snapshot.string()) + " --save-snapshot " + Quoted(again.string()))
                  .exitCode,
              0);
    EXPECT_EQ(testing_support::HashFile(again), testing_support::HashFile(snapshot));
}

TEST_F(Beyond2TiB, AdvanceScanOfARangeAroundThePartitionMountsIt)
{
    const CliRun run = Cli("advance-scan --start 4294967296 --end 4295010000 --fs 1 --ls 'Far Away/photos'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("beach.jpg\tJPG File\t300000"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("tiny.txt\tTXT File\t200"), std::string::npos) << run.out;
}

}  // namespace

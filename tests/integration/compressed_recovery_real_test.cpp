// Compressed files of the `compressed` fixture come back byte for byte from every source: the
// Standard Scan, a file named by path, a snapshot and a file system mounted from the Advance
// Scan; a damaged compression unit comes back as zeros and the file is reported incomplete.
#include <gtest/gtest.h>

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
using testing_support::CliRun;
using testing_support::DataDir;
using testing_support::ManifestRows;
using testing_support::FixturePath;
using testing_support::HashFile;
using testing_support::HashTree;
using testing_support::Quoted;
using testing_support::RunCommand;

constexpr std::uint64_t kVolumeStart = 2048;  // sectors
constexpr std::uint64_t kClusterBytes = 4096;

// path -> sha256 of the manifest's files: live ones, and deleted ones whose data is intact.
std::map<std::string, std::string> Expected(bool deleted)
{
    std::map<std::string, std::string> files;
    for (const std::vector<std::string>& f : ManifestRows("compressed")) {
        if (f.size() >= 8 && f[2] == "f" && (f[6] == "1") == deleted && (!deleted || f[7] == "intact")) {
            files[f[3]] = f[5];
        }
    }
    return files;
}

class CompressedRecovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = FixturePath("compressed.img");
        if (!fs::exists(m_image)) {
            GTEST_SKIP() << m_image << " missing";
        }
        m_out = testing_support::FreshTestFolder("dravik-compressed");
    }
    void TearDown() override { fs::remove_all(m_out); }

    CliRun Cli(const fs::path& image, const std::string& args) const
    {
        return RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " " + args +
                          " 2>/dev/null");
    }
    fs::path Out(const std::string& name) const { return m_out / name; }

    // Every expected file is in `hashes` with its sha256.
    static void ExpectAll(const std::map<std::string, std::string>& hashes,
                          const std::map<std::string, std::string>& expected, const std::string& log)
    {
        ASSERT_FALSE(expected.empty());
        for (const auto& [path, sha] : expected) {
            const auto it = hashes.find(path);
            ASSERT_NE(it, hashes.end()) << path << " not recovered\n" << log;
            EXPECT_EQ(it->second, sha) << path << "\n" << log;
        }
    }

    fs::path m_image;
    fs::path m_out;
};

TEST_F(CompressedRecovery, StandardScanRecoversLiveAndDeletedFilesWhole)
{
    const CliRun run = Cli(m_image, "recover --partition 1 --all --to " + Quoted(Out("all").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\nerrors: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nincomplete: 0\n"), std::string::npos) << run.out;
    const auto hashes = HashTree(Out("all"));
    ExpectAll(hashes, Expected(false), run.out);
    ExpectAll(hashes, Expected(true), run.out);
}

TEST_F(CompressedRecovery, FilesNamedByPathAndFromASnapshotAreTheSame)
{
    const CliRun byPath = Cli(m_image, "recover --partition 1 Packed/mixed.bin Packed/holey.txt Packed/small.txt --to " +
                                           Quoted(Out("paths").string()));
    EXPECT_EQ(byPath.exitCode, 0) << byPath.out;
    const auto live = Expected(false);
    const auto paths = HashTree(Out("paths"));
    EXPECT_EQ(paths.size(), 3u) << byPath.out;
    for (const std::string name : {"mixed.bin", "holey.txt", "small.txt"}) {
        ASSERT_EQ(paths.count(name), 1u) << name << "\n" << byPath.out;
        EXPECT_EQ(paths.at(name), live.at("Packed/" + name)) << name;
    }

    const fs::path snapshot = Out("compressed.QDN");
    ASSERT_EQ(Cli(m_image, "scan --partition 1 --save-snapshot " + Quoted(snapshot.string())).exitCode, 0);
    const CliRun fromSnapshot =
        Cli(m_image, "recover --snapshot " + Quoted(snapshot.string()) + " --all --to " + Quoted(Out("snap").string()));
    EXPECT_EQ(fromSnapshot.exitCode, 0) << fromSnapshot.out;
    const auto hashes = HashTree(Out("snap"));
    ExpectAll(hashes, live, fromSnapshot.out);
    ExpectAll(hashes, Expected(true), fromSnapshot.out);
}

TEST_F(CompressedRecovery, FoundFileSystemRecoversTheCompressedFiles)
{
    // Each file's record gives its compression unit; split.txt, whose name and second $DATA
    // piece lie in an extension record, is named from it and read through the mounted volume's
    // $MFT map.
    const CliRun run = Cli(m_image, "recover --start 0 --end 36863 --fs 1 --all --to " + Quoted(Out("found").string()));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\nincomplete: 0\n"), std::string::npos) << run.out;
    ExpectAll(HashTree(Out("found")), Expected(false), run.out);
}

// The first cluster of a file's $DATA, from The Sleuth Kit's istat dump of its record.
std::uint64_t FirstCluster(const std::string& istatFile)
{
    std::ifstream in(DataDir() / "oracle" / istatFile);
    std::string line;
    bool data = false;
    while (std::getline(in, line)) {
        if (line.rfind("Type: $DATA", 0) == 0) {
            data = true;
        } else if (data) {
            return std::stoull(line);
        }
    }
    return 0;
}

TEST_F(CompressedRecovery, DamagedUnitIsZeroFilledAndTheFileCountedIncomplete)
{
    // The first unit of mixed.bin is compressed; its first chunk is made to refer back before
    // its start.
    const std::uint64_t lcn = FirstCluster("compressed.p1.istat-mixed.txt");
    ASSERT_NE(lcn, 0u);
    const fs::path broken = Out("broken.img");
    fs::copy_file(m_image, broken);
    {
        std::fstream f(broken, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(kVolumeStart * 512 + lcn * kClusterBytes));
        const char chunk[] = {0x02, static_cast<char>(0xB0), 0x01, 0x00, 0x00};
        f.write(chunk, sizeof chunk);
    }
    const CliRun run = Cli(broken, "recover --partition 1 Packed/mixed.bin Packed/prose.txt --to " +
                                       Quoted(Out("bad").string()));
    EXPECT_EQ(run.exitCode, 3) << run.out;
    EXPECT_NE(run.out.find("written: 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nincomplete: 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("mixed.bin\t(incomplete"), std::string::npos) << run.out;

    // Unit 0 is zeros; every later unit is decoded as before.
    ASSERT_EQ(Cli(m_image, "recover --partition 1 Packed/mixed.bin --to " + Quoted(Out("good").string())).exitCode, 0);
    std::ifstream bad(Out("bad") / "mixed.bin", std::ios::binary);
    std::ifstream good(Out("good") / "mixed.bin", std::ios::binary);
    const std::string badBytes((std::istreambuf_iterator<char>(bad)), {});
    const std::string goodBytes((std::istreambuf_iterator<char>(good)), {});
    ASSERT_EQ(badBytes.size(), 300000u);
    ASSERT_EQ(goodBytes.size(), 300000u);
    EXPECT_EQ(badBytes.substr(0, 65536), std::string(65536, '\0'));
    EXPECT_EQ(badBytes.substr(65536), goodBytes.substr(65536));
    EXPECT_EQ(HashFile(Out("bad") / "prose.txt"), Expected(false).at("Packed/prose.txt"));
}

}  // namespace

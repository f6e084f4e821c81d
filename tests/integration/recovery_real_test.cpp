// Recover All on the real fixture images: every present file of the manifest comes out byte for
// byte (sha256) at its path, every deleted file whose clusters were not reused likewise (orphans
// below their "Dir<n>" placeholder), and the source image never changes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
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
using testing_support::HashFile;
using testing_support::HashTree;
using testing_support::RunCommand;

struct Expected
{
    std::string path;
    std::string sha256;
    bool deleted = false;
    std::string record;
};

// Files with content: present ones, and deleted ones whose data is intact (or, on the reformatted
// image, still recoverable). A file with several names (hard links) is listed once per name.
std::vector<Expected> ExpectedFiles(const std::string& image, unsigned part)
{
    std::ifstream in(DataDir() / (image + ".manifest.tsv"));
    std::vector<Expected> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            f.push_back(cell);
        }
        if (f.size() < 10 || std::stoul(f[0]) != part || f[2] != "f" || f[4] == "0") {
            continue;
        }
        const bool deleted = f[6] == "1";
        if (deleted && f[7] != "intact" && f[7] != "recoverable") {
            continue;
        }
        rows.push_back({f[3], f[5], deleted, f[8]});
    }
    return rows;
}

// The recovered path of a manifest path: itself, or the same tail below a "Dir<n>" placeholder.
const std::string* Find(const std::map<std::string, std::string>& hashes, const std::string& path)
{
    if (const auto it = hashes.find(path); it != hashes.end()) {
        return &it->second;
    }
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string tail = path.substr(slash);
        for (const auto& [recovered, hash] : hashes) {
            if (recovered.rfind("Dir", 0) == 0 && recovered.size() > tail.size() &&
                recovered.compare(recovered.size() - tail.size(), tail.size(), tail) == 0) {
                return &hash;
            }
        }
    }
    return nullptr;
}

struct Volume
{
    const char* image;
    unsigned part;
};

class RecoverAllReal : public ::testing::TestWithParam<Volume>
{
};

TEST_P(RecoverAllReal, ReproducesEveryFileOfTheManifest)
{
    const fs::path image = FixturePath(std::string(GetParam().image) + ".img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const fs::path out = fs::temp_directory_path() /
                         ("dravik-recover-" + std::to_string(::getpid()) + "-" + GetParam().image + "-" +
                          std::to_string(GetParam().part));
    fs::remove_all(out);
    const std::string before = HashFile(image);

    const CliRun run = RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) +
                                  " recover --partition " + std::to_string(GetParam().part) + " --all --to " +
                                  Quoted(out.string()) + " 2>/dev/null");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\nerrors: 0\n"), std::string::npos) << run.out;

    const auto hashes = HashTree(out);
    const auto expected = ExpectedFiles(GetParam().image, GetParam().part);
    ASSERT_FALSE(expected.empty());
    // Every record's file must come out under one of its names (the scan lists one name of a
    // hard-linked file); a deleted one only when the scan still lists it.
    std::map<std::string, std::pair<bool, bool>> records;  // record -> (deleted, found)
    std::size_t deletedFound = 0;
    for (const Expected& e : expected) {
        auto& [deleted, found] = records[e.record];
        deleted = e.deleted;
        if (const std::string* hash = Find(hashes, e.path)) {
            EXPECT_EQ(*hash, e.sha256) << e.path;
            deletedFound += e.deleted && !found ? 1 : 0;
            found = true;
        }
    }
    for (const auto& [record, state] : records) {
        EXPECT_TRUE(state.first || state.second) << "record " << record << " not recovered";
    }
    const bool hasDeleted = std::any_of(expected.begin(), expected.end(), [](const Expected& e) { return e.deleted; });
    if (hasDeleted) {
        EXPECT_GT(deletedFound, 0u);
    }
    // One worker and four give the same lines and the same files.
    const fs::path one = out.string() + "-one";
    fs::remove_all(one);
    const std::string command = std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) +
                                " recover --partition " + std::to_string(GetParam().part) + " --all --to ";
    const CliRun single = RunCommand(command + Quoted(one.string()) + " --jobs 1 2>/dev/null");
    const CliRun four = RunCommand(command + Quoted(out.string() + "-four") + " --jobs 4 2>/dev/null");
    EXPECT_EQ(single.out, run.out);
    EXPECT_EQ(four.out, run.out);
    EXPECT_EQ(HashTree(one), hashes);
    EXPECT_EQ(HashTree(out.string() + "-four"), hashes);
    EXPECT_EQ(RunCommand(command + Quoted(one.string()) + " --jobs 0 2>/dev/null").exitCode, 1);

    EXPECT_EQ(HashFile(image), before);
    fs::remove_all(out);
    fs::remove_all(one);
    fs::remove_all(out.string() + "-four");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RecoverAllReal,
                         ::testing::Values(Volume{"ntfs_basic", 1}, Volume{"multi_part", 1}, Volume{"multi_part", 3},
                                           Volume{"multi_part", 4}, Volume{"reformatted", 1}, Volume{"mft_runs", 1},
                                           Volume{"compressed", 1}, Volume{"unicode", 1}, Volume{"gpt", 3},
                                           Volume{"gpt", 4}),
                         [](const auto& info) {
                             return std::string(info.param.image) + "_p" + std::to_string(info.param.part);
                         });

TEST(RecoverSelectedReal, PoliciesAndPathsOnTheBasicImage)
{
    const fs::path image = FixturePath("ntfs_basic.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const fs::path out = fs::temp_directory_path() / ("dravik-recover-sel-" + std::to_string(::getpid()));
    fs::remove_all(out);
    const std::string cli = std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) +
                            " recover --partition 1 --to " + Quoted(out.string()) + " ";

    // A folder with its subtree and one file; then the same again renamed.
    CliRun run = RunCommand(cli + "Documents/Reports 'Documents/big.txt' 2>/dev/null");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(fs::exists(out / "big.txt"));
    EXPECT_TRUE(fs::exists(out / "Reports" / "2023" / "Q4" / "Archive" / "2019" / "old summary.txt"));
    run = RunCommand(cli + "Documents/big.txt 2>/dev/null");
    EXPECT_NE(run.out.find("renamed\tbig.txt\t-> Copy (1 ) of big.txt"), std::string::npos) << run.out;
    run = RunCommand(cli + "--duplicates skip Documents/big.txt 2>/dev/null");
    EXPECT_NE(run.out.find("skipped: duplicate\tbig.txt"), std::string::npos) << run.out;

    // Only deleted files below Documents, and a filter.
    run = RunCommand(cli + "--deleted only Documents --to " + Quoted((out / "del").string()) + " 2>/dev/null");
    EXPECT_TRUE(fs::exists(out / "del" / "Documents" / "deleted_big.txt"));
    EXPECT_FALSE(fs::exists(out / "del" / "Documents" / "letter.txt"));
    run = RunCommand(cli + "--filter '*.TXT' --filter 'big*' Documents --to " + Quoted((out / "flt").string()) +
                     " 2>/dev/null");
    EXPECT_TRUE(fs::exists(out / "flt" / "Documents" / "big.txt"));

    // A file that cannot be created: --on-error stop ends the run with exit code 3.
    fs::create_directories(out / "blocked");
    fs::create_directories(out / "blocked" / "big.txt");  // a folder where the file should go
    run = RunCommand(cli + "--duplicates overwrite --on-error stop Documents/big.txt Documents/letter.txt --to " +
                     Quoted((out / "blocked").string()) + " 2>&1");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.out.find("Error creating file : " + (out / "blocked" / "big.txt").string() +
                           ".  Continue Recovery ? "),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(out / "blocked" / "letter.txt"));
    fs::remove_all(out);
}

}  // namespace

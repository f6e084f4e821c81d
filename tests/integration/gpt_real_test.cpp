// The GPT fixture: the walk against The Sleuth Kit's mmls listing, the refusal of the BitLocker
// and other partitions in the CLI, and the damaged variants (primary header broken: the backup is
// read and the CLI says so; both tables wiped: nothing is listed from them, the quick search finds
// the NTFS volumes).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "core/messages.h"
#include "disk/disk_state.h"
#include "partitions/gpt.h"
#include "partitions/partition_table.h"
#include "platform/file_source.h"
#include "support/cli_runner.h"
#include "support/damage.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Quoted;
using testing_support::RunCommand;

constexpr std::uint64_t kBackupHeader = 40959;

// One partition row of mmls on a GPT ("004:  000   0000002048   0000004095   0000002048   EFI system partition").
struct MmlsEntry
{
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::string description;
};

std::vector<MmlsEntry> ReadMmls(const fs::path& path)
{
    std::ifstream in(path);
    const std::regex row(R"(^\d+:\s+\d{3}\s+(\d+)\s+\d+\s+(\d+)\s+(.*?)\s*$)");
    std::vector<MmlsEntry> rows;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, row)) {
            rows.push_back({std::stoull(m[1]), std::stoull(m[2]), m[3]});
        }
    }
    return rows;
}

disk::DiskState OpenImage(const fs::path& image)
{
    disk::DiskState disk;
    auto opened = platform::OpenReadOnly(image.string());
    disk.driveHandle = std::move(opened.source);
    return disk;
}

std::string Cli(const fs::path& image, const std::string& arguments)
{
    return std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " " + arguments;
}

class GptReal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        image = testing_support::FixturePath("gpt.img");
        if (!fs::exists(image)) {
            GTEST_SKIP() << image << " is not unpacked";
        }
    }
    fs::path image;
    partitions::PartitionList list;
    partitions::PartitionTree tree{0};
};

TEST_F(GptReal, WalkListsEveryEntryAsMmlsDoes)
{
    disk::DiskState disk = OpenImage(image);
    const partitions::TablesWalk walk = partitions::WalkPartitionTables(disk, list, tree);
    ASSERT_TRUE(walk.listed);
    EXPECT_FALSE(walk.gptBackupSector);
    const auto oracle = ReadMmls(testing_support::DataDir() / "oracle" / "gpt.mmls.txt");
    ASSERT_EQ(list.partitionCount, oracle.size());
    for (std::size_t i = 0; i < oracle.size(); ++i) {
        const partitions::PartitionRecord& record = list.records[i];
        EXPECT_EQ(record.startSector, oracle[i].start) << i;
        EXPECT_EQ(record.sectorCount, oracle[i].length) << i;
        ASSERT_TRUE(record.gpt);
        EXPECT_EQ(record.gpt->name, oracle[i].description) << i;
    }
    const std::vector<std::string_view> names = {"EFI System", "Microsoft Reserved", "NTFS", "NTFS", "BitLocker",
                                                 "Linux"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(partitions::RecordName(list.records[i]), names[i]) << i;
    }
}

struct Refusal
{
    const char* name;
    const char* arguments;
    std::string_view message;
};

class GptRefusal : public GptReal, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(GptRefusal, SaysWhyAndScansNothing)
{
    const auto run = RunCommand(Cli(image, GetParam().arguments) + " 2>&1 >/dev/null");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find(GetParam().message), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(core::msg::kFatPartitionStandard), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Partitions, GptRefusal,
    ::testing::Values(Refusal{"ScanBitLocker", "scan --partition 5", core::msg::kBitLockerPartition},
                      Refusal{"LsBitLocker", "ls --partition 5", core::msg::kBitLockerPartition},
                      Refusal{"AdvanceScanBitLocker", "advance-scan --partition 5", core::msg::kBitLockerPartition},
                      Refusal{"ScanReserved", "scan --partition 2", core::msg::kNoReadableFileSystem},
                      Refusal{"ScanEfiSystem", "scan --partition 1", core::msg::kNoReadableFileSystem}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GptReal, BrokenPrimaryHeaderListsTheSameFromTheBackupAndSaysSo)
{
    testing_support::DamagedImage damaged(image);
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::BreakGptPrimaryHeader(damaged));

    disk::DiskState disk = OpenImage(damaged.Path());
    const partitions::TablesWalk walk = partitions::WalkPartitionTables(disk, list, tree);
    ASSERT_TRUE(walk.gptBackupSector);
    EXPECT_EQ(*walk.gptBackupSector, kBackupHeader);
    EXPECT_EQ(list.partitionCount, 6u);

    const auto intact = RunCommand(Cli(image, "partitions 2>/dev/null"));
    const auto listed = RunCommand(Cli(damaged.Path(), "partitions 2>/dev/null"));
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, intact.out);
    const auto note = RunCommand(Cli(damaged.Path(), "--quiet partitions 2>&1 >/dev/null"));
    EXPECT_NE(note.out.find(partitions::GptBackupNote(kBackupHeader)), std::string::npos) << note.out;

    const auto scan = RunCommand(Cli(damaged.Path(), "scan --partition 3 2>/dev/null"));
    EXPECT_EQ(scan.exitCode, 0);
    EXPECT_NE(scan.out.find("outcome: completed"), std::string::npos) << scan.out;
}

TEST_F(GptReal, WipedTablesListNothingFromThem)
{
    testing_support::DamagedImage damaged(image);
    ASSERT_TRUE(damaged.Ok());
    ASSERT_TRUE(testing_support::WipeGptTables(damaged));
    disk::DiskState disk = OpenImage(damaged.Path());
    const partitions::TablesWalk walk = partitions::WalkPartitionTables(disk, list, tree);
    EXPECT_FALSE(walk.gptFound);
    EXPECT_FALSE(walk.listed);
    EXPECT_EQ(list.partitionCount, 0u);

    // The quick search that follows finds both NTFS volumes on their 1 MiB boundaries.
    const auto run = RunCommand(Cli(damaged.Path(), "partitions 2>/dev/null"));
    EXPECT_NE(run.out.find("1\tPartition 1 - NTFS\t6144\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2\tPartition 2 - NTFS\t18432\t"), std::string::npos) << run.out;

    // And the files of the second come back byte for byte from the partition the search found.
    const fs::path out = fs::temp_directory_path() / ("dravik-gpt-wiped-" + std::to_string(::getpid()));
    fs::remove_all(out);
    const auto recovered =
        RunCommand(Cli(damaged.Path(), "--quiet recover --partition 2 --all --to " + Quoted(out.string())));
    EXPECT_EQ(recovered.exitCode, 0) << recovered.out << recovered.err;
    const std::map<std::string, std::string> hashes = testing_support::HashTree(out);
    std::size_t compared = 0;
    for (const auto& row : testing_support::ManifestRows("gpt")) {
        if (row[0] == "4" && row[2] == "f" && row[6] == "0") {
            EXPECT_EQ(hashes.count(row[3]) ? hashes.at(row[3]) : "missing", row[5]) << row[3];
            ++compared;
        }
    }
    EXPECT_GT(compared, 0u);
    fs::remove_all(out);
}

}  // namespace

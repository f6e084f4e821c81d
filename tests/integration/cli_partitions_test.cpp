// dravik-cli partitions on small built images: the "Partition End" column against the
// selection's last sector.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/cli_runner.h"
#include "support/mbr_builder.h"

namespace {

namespace fs = std::filesystem;

struct EndCase
{
    const char* name;
    std::uint32_t start;
    std::uint32_t count;
    const char* end;  // "Partition End" as the selection of that partition shows it
};

class CliPartitionEnd : public ::testing::TestWithParam<EndCase>
{
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "dravik-cli-part-XXXXXX").string();
        m_dir = ::mkdtemp(tmpl.data());
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    fs::path m_dir;
};

// One primary entry of type 0x07; its boot sector lies past the image's end and reads as zeros,
// so the type byte alone lists it as NTFS.
TEST_P(CliPartitionEnd, IsFormedInSixtyFourBitsAndClampedAsTheSelectionDoes)
{
    const EndCase& c = GetParam();
    const fs::path image = m_dir / "mbr.img";
    const auto mbr = testing_support::MakeBootRecord({{0x07, c.start, c.count}});
    {
        std::ofstream out(image, std::ios::binary);
        out.write(reinterpret_cast<const char*>(mbr.data()), static_cast<std::streamsize>(mbr.size()));
    }
    const auto run = testing_support::RunCommand(std::string(DRAVIK_CLI) + " --image " +
                                                 testing_support::Quoted(image.string()) +
                                                 " --images-only partitions 2>/dev/null");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::string row = "1\tPartition 1 - NTFS\t" + std::to_string(c.start) + "\t" + std::to_string(c.count) +
                            "\t300\tNTFS\t" + std::to_string(c.start) + "\t" + c.end + "\t";
    EXPECT_NE(run.out.find(row), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CliPartitionEnd,
    ::testing::Values(EndCase{"Ordinary", 2048, 4096, "6143"},
                      EndCase{"EmptyEndsAtItsStart", 2048, 0, "2048"},
                      EndCase{"PastTheLast32BitSectorIsNotClamped", 0xFFFFFF00u, 0x200, "4294967551"},
                      EndCase{"EndingOnTheLast32BitSector", 0xFFFFFF00u, 0x100, "4294967295"}),
    [](const auto& info) { return std::string(info.param.name); });

// A size field that wrapped: the entry claims 2^32 - 16 sectors on a disk of 4096. It is listed
// up to the disk's last sector and marked, and an Advance Scan of it stays on the disk.
class CliPartitionPastTheDisk : public CliPartitionEnd
{
};

TEST_F(CliPartitionPastTheDisk, IsClampedAndMarkedAndARangePastTheDiskIsClipped)
{
    const fs::path image = m_dir / "wrapped.img";
    const auto mbr = testing_support::MakeBootRecord({{0x07, 2048, 0xFFFFFFF0u}});
    {
        std::ofstream out(image, std::ios::binary);
        out.write(reinterpret_cast<const char*>(mbr.data()), static_cast<std::streamsize>(mbr.size()));
    }
    fs::resize_file(image, 4096 * 512);
    const std::string cli = std::string(DRAVIK_CLI) + " --image " + testing_support::Quoted(image.string()) +
                            " --images-only ";
    const auto text = testing_support::RunCommand(cli + "partitions 2>/dev/null");
    ASSERT_EQ(text.exitCode, 0) << text.out;
    EXPECT_NE(text.out.find("1\tPartition 1 - NTFS\t2048\t2048\t300\t"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\tend beyond the disk: clamped to its last sector\n"), std::string::npos) << text.out;
    const auto json = testing_support::RunCommand(cli + "partitions --json 2>/dev/null");
    EXPECT_NE(json.out.find("\"sectorCount\":2048,\"fsType\":300,\"scheme\":\"MBR\",\"endBeyondDisk\":true"),
              std::string::npos)
        << json.out;

    // A typed range past the disk is clipped, with a note.
    const auto sweep = testing_support::RunCommand(cli + "advance-scan --start 0 --end 99999999999 2>&1");
    EXPECT_EQ(sweep.exitCode, 0) << sweep.out;
    EXPECT_NE(sweep.out.find("the scan ends at sector 4096"), std::string::npos) << sweep.out;
    const auto beyond = testing_support::RunCommand(cli + "advance-scan --start 5000 --end 6000 2>&1");
    EXPECT_NE(beyond.exitCode, 0);
    EXPECT_NE(beyond.out.find("Start sector lies beyond the end of the drive (4096 sectors)"), std::string::npos)
        << beyond.out;
}

}  // namespace

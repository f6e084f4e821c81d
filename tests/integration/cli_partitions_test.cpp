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

}  // namespace

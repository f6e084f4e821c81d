// dravik-cli drives and read on a temporary image.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/cli_runner.h"

namespace {

namespace fs = std::filesystem;

using testing_support::CliRun;

// Runs dravik-cli with `args` (stderr joined to stdout).
CliRun RunCli(const std::string& args)
{
    return testing_support::RunCommand(std::string(DRAVIK_CLI) + " " + args + " 2>&1");
}

class CliDrives : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "dravik-cli-XXXXXX").string();
        m_dir = ::mkdtemp(tmpl.data());
        m_image = m_dir / "case \"7\".img";
        // 16 heads x 63 sectors x 1024 cylinders; sector s starts with "SECTOR" and s in decimal.
        {
            std::ofstream out(m_image, std::ios::binary);
            for (std::size_t s : {0u, 1u, 1032191u}) {
                const std::string tag = "SECTOR" + std::to_string(s);
                out.seekp(static_cast<std::streamoff>(s * 512));
                out.write(tag.data(), static_cast<std::streamsize>(tag.size()));
            }
        }
        fs::resize_file(m_image, std::uintmax_t{1024} * 16 * 63 * 512);  // sparse
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::string Image() const { return "--image '" + m_image.string() + "' --images-only"; }

    fs::path m_dir;
    fs::path m_image;
};

TEST_F(CliDrives, ListsTheImageAsDriveZero)
{
    const CliRun run = RunCli(Image() + " drives");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("Storage Device0\n  Model: case \"7\".img\n  Capacity: 504 MB ( Approx )\n  Cylinders: 65\n"),
              std::string::npos)
        << run.out;  // capacity from the true size; cylinders of 255 x 63 rounded up to cover it
    EXPECT_NE(run.out.find("  Head: 255\n  Sectors Per Track: 63\n"), std::string::npos);
    EXPECT_NE(run.out.find("Opened: yes"), std::string::npos);
}

TEST_F(CliDrives, JsonEscapesTheModel)
{
    const CliRun run = RunCli(Image() + " drives --json");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find(R"("model":"case \"7\".img")"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("sizeBytes":528482304)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("opened":true)"), std::string::npos);
}

TEST_F(CliDrives, ReadDumpsTheRequestedSectors)
{
    const CliRun run = RunCli(Image() + " read --drive 0 1");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out.substr(0, 83),
              "000000000200  53 45 43 54 4f 52 31 00  00 00 00 00 00 00 00 00  |SECTOR1.........|\n");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 32);
}

TEST_F(CliDrives, ReadPastTheEndShowsZerosAndFails)
{
    const CliRun run = RunCli(Image() + " read --drive 0 1032191 2");
    EXPECT_EQ(run.exitCode, 2) << run.out;
    EXPECT_NE(run.out.find("|SECTOR1032191...|"), std::string::npos) << run.out;
}

TEST_F(CliDrives, BadUsageAndMissingDrives)
{
    EXPECT_EQ(RunCli(Image() + " read --drive 0").exitCode, 1);
    EXPECT_EQ(RunCli(Image() + " read --drive 0 -1").exitCode, 1);
    EXPECT_EQ(RunCli(Image() + " read --drive 0 18014398509481984").exitCode, 1);  // past the last addressable sector
    EXPECT_EQ(RunCli(Image() + " frobnicate").exitCode, 1);
    EXPECT_EQ(RunCli("").exitCode, 1);
    EXPECT_EQ(RunCli(Image() + " read --drive 1 0").exitCode, 2);
    EXPECT_EQ(RunCli("--image '" + (m_dir / "none.img").string() + "' drives").exitCode, 2);
}

TEST_F(CliDrives, LegacyModeReadsThroughTheBiosLibraries)
{
    const CliRun run = RunCli("--platform-id 1 " + Image() + " read --drive 0 1032191");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("|SECTOR1032191...|"), std::string::npos) << run.out;
    const CliRun drives = RunCli("--platform-id 1 " + Image() + " drives");
    EXPECT_NE(drives.out.find("Model: Unknown\n  Capacity: 504 MB ( Approx )\n  Cylinders: 1024\n  Head: 16\n"),
              std::string::npos)
        << drives.out;
}

TEST_F(CliDrives, MissingBiosLibraryIsFatalWithExitZero)
{
    const CliRun run = RunCli("--platform-id 1 --bios-dir '" + m_dir.string() + "' " + Image() + " drives");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Vexa32.dll not found or corrupted"), std::string::npos) << run.out;
}

}  // namespace

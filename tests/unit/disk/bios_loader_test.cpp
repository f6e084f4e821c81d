// Loading the BIOS disk libraries: the fatal texts, and reads through the stand-in libraries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "disk/bios_loader.h"
#include "disk/drive_enumeration.h"

namespace {

namespace fs = std::filesystem;

class TempDir
{
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "dravik-bios-XXXXXX").string();
        m_path = ::mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

struct LoadCase
{
    const char* name;
    const char* stubDir;  // under the broken-library directory; empty: an empty directory
    disk::BiosLoadOutcome outcome;
    const char* text;
};

class BiosLoaderFailure : public ::testing::TestWithParam<LoadCase>
{
};

TEST_P(BiosLoaderFailure, GivesTheFatalText)
{
    const LoadCase c = GetParam();
    TempDir empty;
    const fs::path dir = c.stubDir[0] == '\0' ? empty.path() : fs::path(DRAVIK_BIOS_STUB_DIR) / c.stubDir;
    disk::LoadedBiosLibraries libs;
    const auto outcome = disk::LoadBiosLibraries(dir, {}, libs);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(disk::BiosLoadMessage(outcome), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosLoaderFailure,
    ::testing::Values(LoadCase{"missing", "", disk::BiosLoadOutcome::VexaNotFound, "Vexa32.dll not found or corrupted"},
                      LoadCase{"no_read", "vexa_no_read", disk::BiosLoadOutcome::VexaCorrupted, "Vexa32.dll is corrupted"},
                      LoadCase{"no_vexb", "no_vexb", disk::BiosLoadOutcome::VexbNotFound,
                               "Vexb2.dll is corrupted or not found."},
                      LoadCase{"no_geometry", "vexb_no_geometry", disk::BiosLoadOutcome::VexbCorrupted,
                               "Vexb2.dll is corrupted"},
                      LoadCase{"no_find", "vexa_no_find", disk::BiosLoadOutcome::VexaCorrupted,
                               "Vexa32.dll is corrupted"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BiosLoader, FileThatIsNoLibraryIsNotFoundOrCorrupted)
{
    TempDir dir;
    std::ofstream(dir.path() / disk::kVexaFileName) << "not a library";
    disk::LoadedBiosLibraries libs;
    EXPECT_EQ(disk::LoadBiosLibraries(dir.path(), {}, libs), disk::BiosLoadOutcome::VexaNotFound);
}

// Two images whose sector s holds s (le32) at its start and the image number at byte 4.
std::vector<std::string> MakeImages(const TempDir& dir, std::vector<std::uint32_t> sectorCounts)
{
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < sectorCounts.size(); ++i) {
        const fs::path p = dir.path() / ("disk" + std::to_string(i) + ".img");
        std::vector<char> bytes(std::size_t{sectorCounts[i]} * 512, 0);
        for (std::uint32_t s = 0; s < sectorCounts[i]; ++s) {
            for (int b = 0; b < 4; ++b) {
                bytes[std::size_t{s} * 512 + static_cast<std::size_t>(b)] = static_cast<char>((s >> (8 * b)) & 0xff);
            }
            bytes[std::size_t{s} * 512 + 4] = static_cast<char>(i);
        }
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        paths.push_back(p.string());
    }
    return paths;
}

std::uint32_t SectorNumberIn(const std::vector<std::uint8_t>& buf, std::size_t index)
{
    const std::size_t at = index * 512;
    return std::uint32_t{buf[at]} | std::uint32_t{buf[at + 1]} << 8 | std::uint32_t{buf[at + 2]} << 16 |
           std::uint32_t{buf[at + 3]} << 24;
}

TEST(BiosLibraries, EnumerateAndReadByChsAndByLba)
{
    TempDir dir;
    const auto images = MakeImages(dir, {2100, 1008});
    disk::LoadedBiosLibraries libs;
    ASSERT_EQ(disk::LoadBiosLibraries(DRAVIK_BIOS_DIR, images, libs), disk::BiosLoadOutcome::Loaded);
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrivesBios(table, tree, libs.entries);
    ASSERT_EQ(table.driveCount, 2);
    EXPECT_EQ(table.slots[0].cylinders, 3u);  // 2100 sectors in 1008-sector cylinders, rounded up
    EXPECT_EQ(table.slots[0].heads, 16u);
    EXPECT_EQ(table.slots[1].totalSectors, 1008u);
    EXPECT_EQ(table.slots[0].model, "Unknown");

    disk::DiskState state;
    state.accessMode = 'F';
    state.bios = &libs.entries;
    std::vector<std::uint8_t> buf(3 * 512);
    for (std::int32_t ext : {1, 0}) {
        libs.entries.hasInt13Extensions[0] = ext;
        for (std::uint32_t lba : {0u, 62u, 63u, 1007u, 1008u, 2097u}) {
            ASSERT_EQ(disk::ReadSectors(state, lba, 3, buf), 1) << "lba " << lba << " ext " << ext;
            EXPECT_EQ(SectorNumberIn(buf, 0), lba);
            EXPECT_EQ(SectorNumberIn(buf, 2), lba + 2);
            EXPECT_EQ(buf[4], 0);
        }
    }
    state.selectedDrive = 1;
    ASSERT_EQ(disk::ReadSectors(state, 5, 1, buf), 1);
    EXPECT_EQ(buf[4], 1);
    EXPECT_EQ(disk::ReadSectors(state, 1007, 2, buf), 0);  // past the end
    state.selectedDrive = 2;
    EXPECT_EQ(disk::ReadSectors(state, 0, 1, buf), 0);  // no such BIOS drive
}

}  // namespace

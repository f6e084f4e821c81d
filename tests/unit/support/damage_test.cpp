// The damage helper must change exactly what it says, in a private copy, and nothing else.
#include "support/damage.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testing_support {
namespace {

constexpr std::uint64_t kBasicStart = 2048;     // ntfs_basic: the NTFS partition's first sector
constexpr std::uint64_t kBasicSectors = 49152;  // and its length

std::filesystem::path BasicImage()
{
    const auto path = FixturePath("ntfs_basic.img");
    if (!std::filesystem::exists(path)) {
        return {};
    }
    return path;
}

std::vector<std::uint8_t> Sector(const DamagedImage& image, std::uint64_t sector)
{
    auto bytes = image.ReadBytes(sector * kSectorBytes, kSectorBytes);
    return bytes ? *bytes : std::vector<std::uint8_t>{};
}

TEST(DamagedImage, CopyIsPrivateAndRemoved)
{
    const auto source = BasicImage();
    if (source.empty()) {
        GTEST_SKIP() << "ntfs_basic.img not unpacked";
    }
    std::filesystem::path copyPath;
    {
        DamagedImage image(source);
        ASSERT_TRUE(image.Ok());
        copyPath = image.Path();
        EXPECT_NE(std::filesystem::canonical(copyPath), std::filesystem::canonical(source));
        EXPECT_EQ(image.SizeBytes(), std::filesystem::file_size(source));
        ASSERT_TRUE(image.ZeroSectors(0, 1));
        DamagedImage original(source);
        ASSERT_TRUE(original.Ok());
        EXPECT_EQ(Sector(original, 0)[510], 0x55);  // the fixture itself is untouched
    }
    EXPECT_FALSE(std::filesystem::exists(copyPath));
}

TEST(DamagedImage, ZeroBootSectorKeepsTheBackup)
{
    const auto source = BasicImage();
    if (source.empty()) {
        GTEST_SKIP() << "ntfs_basic.img not unpacked";
    }
    DamagedImage image(source);
    ASSERT_TRUE(ZeroBootSector(image, kBasicStart));
    EXPECT_EQ(Sector(image, kBasicStart), std::vector<std::uint8_t>(kSectorBytes, 0));
    const auto backup = Sector(image, kBasicStart + kBasicSectors - 1);
    ASSERT_EQ(backup.size(), kSectorBytes);
    EXPECT_EQ(std::string(backup.begin() + 3, backup.begin() + 7), "NTFS");
    EXPECT_EQ(backup[510], 0x55);
    EXPECT_EQ(backup[511], 0xAA);
    // Its neighbours are not touched.
    EXPECT_EQ(Sector(image, kBasicStart + 1), Sector(DamagedImage(source), kBasicStart + 1));
}

TEST(DamagedImage, WipePartitionTableKeepsSignature)
{
    const auto source = BasicImage();
    if (source.empty()) {
        GTEST_SKIP() << "ntfs_basic.img not unpacked";
    }
    DamagedImage image(source);
    const auto before = Sector(image, 0);
    ASSERT_NE(before[446 + 4], 0);  // the fixture's first entry has a type
    ASSERT_TRUE(WipePartitionTable(image));
    const auto after = Sector(image, 0);
    for (std::size_t i = 446; i < 510; ++i) {
        EXPECT_EQ(after[i], 0) << "byte " << i;
    }
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin(), after.begin() + 446),
              std::vector<std::uint8_t>(before.begin(), before.begin() + 446));
    EXPECT_EQ(after[510], 0x55);
    EXPECT_EQ(after[511], 0xAA);
}

TEST(DamagedImage, BreakUpdateSequenceOfRootRecord)
{
    const auto source = BasicImage();
    if (source.empty()) {
        GTEST_SKIP() << "ntfs_basic.img not unpacked";
    }
    DamagedImage image(source);
    const auto rootSector = FileRecordSector(image, kBasicStart, 5);
    ASSERT_TRUE(rootSector.has_value());
    const auto before = Sector(image, *rootSector);
    ASSERT_EQ(std::string(before.begin(), before.begin() + 4), "FILE");
    const std::size_t usa = static_cast<std::size_t>(before[4] | (before[5] << 8));
    ASSERT_EQ(before[510], before[usa]);  // intact: the sector end carries the sequence number
    ASSERT_EQ(before[511], before[usa + 1]);
    ASSERT_TRUE(BreakUpdateSequence(image, *rootSector));
    const auto after = Sector(image, *rootSector);
    EXPECT_NE(after[510], after[usa]);
    EXPECT_NE(after[511], after[usa + 1]);
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin(), after.begin() + 510),
              std::vector<std::uint8_t>(before.begin(), before.begin() + 510));
}

TEST(DamagedImage, TruncateAndRangesPastTheEnd)
{
    const auto source = BasicImage();
    if (source.empty()) {
        GTEST_SKIP() << "ntfs_basic.img not unpacked";
    }
    DamagedImage image(source);
    const std::uint64_t sectors = image.SizeBytes() / kSectorBytes;
    EXPECT_FALSE(image.ZeroSectors(sectors - 1, 2));
    EXPECT_FALSE(image.TruncateToSectors(sectors + 1));
    EXPECT_EQ(image.SizeBytes(), sectors * kSectorBytes);
    ASSERT_TRUE(TruncateImage(image, kBasicStart + 100));
    EXPECT_EQ(image.SizeBytes(), (kBasicStart + 100) * kSectorBytes);
    EXPECT_FALSE(image.ReadBytes((kBasicStart + 100) * kSectorBytes, 1).has_value());
}

}  // namespace
}  // namespace testing_support

// NTFS boot sector decoding.
#include <gtest/gtest.h>

#include "ntfs/boot_sector.h"
#include "support/ntfs_builder.h"

namespace {

using testing_support::BootSectorSpec;
using testing_support::BuildBootSector;

TEST(BootSector, DecodesGeometry)
{
    BootSectorSpec fields;
    fields.sectorsPerCluster = 8;
    fields.mftCluster = 0x1'0000'0004ULL;  // only the low 32 bits count
    fields.mftMirrCluster = 2;
    fields.totalSectors = 123456;
    const auto info = ntfs::DecodeBootSector(BuildBootSector(fields));
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->hasSignature);
    EXPECT_TRUE(info->hasNtfsTag);
    EXPECT_EQ(info->sectorsPerCluster, 8u);
    EXPECT_EQ(info->mftCluster, 4u);
    EXPECT_EQ(info->mftMirrCluster, 2u);
    EXPECT_EQ(info->totalSectors, 123456u);
    EXPECT_EQ(info->indexBufferSectors, 8u);
}

TEST(BootSector, SectorsPerClusterOnlyPowersOfTwoUpTo128)
{
    for (std::uint32_t v = 0; v < 256; ++v) {
        BootSectorSpec fields;
        fields.sectorsPerCluster = static_cast<std::uint8_t>(v);
        const bool valid = v == 1 || v == 2 || v == 4 || v == 8 || v == 16 || v == 32 || v == 64 || v == 128;
        EXPECT_EQ(ntfs::DecodeBootSector(BuildBootSector(fields)).has_value(), valid) << v;
        EXPECT_EQ(ntfs::IsValidSectorsPerCluster(v), valid) << v;
    }
}

TEST(BootSector, IndexBufferSectors)
{
    EXPECT_EQ(ntfs::IndexBufferSectors(0xF4, 1), 8u);
    EXPECT_EQ(ntfs::IndexBufferSectors(0xF4, 128), 8u);
    EXPECT_EQ(ntfs::IndexBufferSectors(1, 8), 8u);
    EXPECT_EQ(ntfs::IndexBufferSectors(2, 4), 8u);
    // A hostile 32-bit value must not wrap around.
    EXPECT_FALSE(ntfs::IndexBufferSectors(0x4000'0000u, 8));
    EXPECT_EQ(ntfs::IndexBufferSectors(0x1FFF'FFFFu, 8), 0xFFFF'FFF8u);

    BootSectorSpec fields;
    fields.clustersPerIndexBuffer = 1;
    fields.sectorsPerCluster = 8;
    EXPECT_EQ(ntfs::DecodeBootSector(BuildBootSector(fields))->indexBufferSectors, 8u);
    fields.clustersPerIndexBuffer = 0xFFFF'FFFFu;
    const auto info = ntfs::DecodeBootSector(BuildBootSector(fields));
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->indexBufferSectors);
}

TEST(BootSector, SignatureAndTagAreReportedNotRequired)
{
    BootSectorSpec fields;
    fields.signature = false;
    fields.ntfsTag = false;
    const auto sector = BuildBootSector(fields);
    EXPECT_FALSE(ntfs::HasBootSignature(sector));
    EXPECT_FALSE(ntfs::HasNtfsTag(sector));
    const auto info = ntfs::DecodeBootSector(sector);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->hasSignature);
    EXPECT_FALSE(info->hasNtfsTag);
}

TEST(BootSector, ShortBuffersAreNotBootSectors)
{
    const auto sector = BuildBootSector();
    for (std::size_t n : {0u, 13u, 14u, 511u}) {
        const std::span<const std::uint8_t> part(sector.data(), n);
        EXPECT_FALSE(ntfs::DecodeBootSector(part)) << n;
        EXPECT_FALSE(ntfs::HasBootSignature(part)) << n;
    }
    EXPECT_FALSE(ntfs::HasNtfsTag(std::span<const std::uint8_t>(sector.data(), 6)));
    EXPECT_TRUE(ntfs::HasNtfsTag(std::span<const std::uint8_t>(sector.data(), 7)));
}

}  // namespace

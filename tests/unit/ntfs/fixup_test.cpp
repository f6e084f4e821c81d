// Update-sequence fixup of FILE records and INDX buffers.
#include <gtest/gtest.h>

#include "ntfs/fixup.h"
#include "support/ntfs_builder.h"

namespace {

using testing_support::ByteBuffer;
using testing_support::FileRecordBuilder;
using testing_support::FileNameSpec;
using testing_support::PutLe;

FileRecordBuilder RecordWithTailBytes()
{
    FileRecordBuilder b;
    b.FileName(FileNameSpec{.name = "report.doc"});
    return b;
}

TEST(Fixup, RestoresEverySectorOfARecordTheLastOneIncluded)
{
    ByteBuffer expected = RecordWithTailBytes().BuildFixedUp();
    expected[510] = 0x12;
    expected[511] = 0x34;
    expected[1022] = 0x56;
    expected[1023] = 0x78;
    ByteBuffer disk = expected;
    testing_support::ProtectSectors(disk, 48, 3, 0x0007);
    ASSERT_EQ(disk[1022], 0x07);

    ByteBuffer fixed = disk;
    const auto result = ntfs::ApplyFixupChecked(fixed);
    EXPECT_EQ(result.sectorsRestored, 2u);
    EXPECT_TRUE(result.sequenceMatched);
    // The array itself keeps its contents; every sector end is restored.
    EXPECT_EQ(fixed[510], 0x12);
    EXPECT_EQ(fixed[511], 0x34);
    EXPECT_EQ(fixed[1022], 0x56);
    EXPECT_EQ(fixed[1023], 0x78);
}

TEST(Fixup, TornRecordIsRepairedButReportedAsMismatch)
{
    ByteBuffer disk = RecordWithTailBytes().Build();
    disk[1022] = 0xEE;  // second sector written by another generation
    ByteBuffer plain = disk;
    ntfs::ApplyFixup(plain);
    const auto result = ntfs::ApplyFixupChecked(disk);
    EXPECT_EQ(result.sectorsRestored, 2u);
    EXPECT_FALSE(result.sequenceMatched);
    EXPECT_EQ(plain, disk);
    EXPECT_EQ(disk, RecordWithTailBytes().BuildFixedUp());
}

TEST(Fixup, StopsAtTheBufferEnd)
{
    ByteBuffer disk = RecordWithTailBytes().Build();
    ByteBuffer half(disk.begin(), disk.begin() + 600);
    const auto result = ntfs::ApplyFixupChecked(half);
    EXPECT_EQ(result.sectorsRestored, 1u);
    // 1023 bytes: the second sector's last byte lies beyond the buffer.
    ByteBuffer almost(disk.begin(), disk.begin() + 1023);
    EXPECT_EQ(ntfs::ApplyFixupChecked(almost).sectorsRestored, 1u);
}

TEST(Fixup, ArrayEntriesAreCopiedOnlyBelowByte84)
{
    // 9 sectors (an INDX buffer of 4096 bytes) with the array at 70: entries at 72, 74, ..., 86.
    ByteBuffer buffer(4096, 0);
    PutLe(buffer, 4, 70, 2);
    PutLe(buffer, 6, 10, 2);
    for (std::size_t i = 0; i < 9; ++i) {
        PutLe(buffer, 72 + 2 * i, 0xA000 + i, 2);
        PutLe(buffer, 512 * i + 510, 0xBBBB, 2);
    }
    ntfs::ApplyFixup(buffer);
    for (std::size_t i = 0; i < 6; ++i) {  // entries 72..82
        EXPECT_EQ(buffer[512 * i + 510], (0xA000 + i) & 0xFF) << i;
        EXPECT_EQ(buffer[512 * i + 511], 0xA0) << i;
    }
    for (std::size_t i = 6; i < 9; ++i) {  // entries at 84 and beyond are not used
        EXPECT_EQ(buffer[512 * i + 510], 0xBB) << i;
    }

    // An entry starting at byte 83 has only its first byte copied.
    ByteBuffer odd(1024, 0);
    PutLe(odd, 4, 81, 2);
    PutLe(odd, 6, 3, 2);
    PutLe(odd, 83, 0xC3C2, 2);
    PutLe(odd, 510, 0xBBBB, 2);
    PutLe(odd, 1022, 0xBBBB, 2);
    const auto result = ntfs::ApplyFixupChecked(odd);
    EXPECT_EQ(result.sectorsRestored, 1u);
    EXPECT_EQ(odd[510], 0xC2);
    EXPECT_EQ(odd[511], 0xBB);
}

TEST(Fixup, HostileHeadersTouchNothingOutsideTheBuffer)
{
    struct Case
    {
        std::uint16_t offset;
        std::uint16_t count;
    };
    for (const Case c : {Case{0, 0}, Case{0, 1}, Case{0xFFFF, 0xFFFF}, Case{1022, 3}, Case{1, 0xFFFF}, Case{82, 2}}) {
        ByteBuffer buffer(1024, 0x5A);
        PutLe(buffer, 4, c.offset, 2);
        PutLe(buffer, 6, c.count, 2);
        ntfs::ApplyFixup(buffer);
        ntfs::ApplyFixup(std::span<std::uint8_t>(buffer.data(), 7));
        ntfs::ApplyFixup(std::span<std::uint8_t>());
    }
}

}  // namespace

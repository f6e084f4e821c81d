// The sector reader: fallback with retries, zero-filled failures, mode F addressing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "disk/bios_libraries.h"
#include "disk/disk_state.h"
#include "support/memory_disk.h"

namespace {

using testing_support::FaultyDisk;

constexpr std::size_t kSector = 512;

// A disk whose sector s is filled with the byte (s + 1) & 0xff, so misplaced sectors show.
std::vector<std::uint8_t> StampedSectors(std::size_t sectors)
{
    std::vector<std::uint8_t> bytes(sectors * kSector);
    for (std::size_t s = 0; s < sectors; ++s) {
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(s * kSector), kSector, static_cast<std::uint8_t>(s + 1));
    }
    return bytes;
}

struct Reader
{
    explicit Reader(std::size_t sectors)
    {
        auto owned = std::make_unique<FaultyDisk>(StampedSectors(sectors));
        disk = owned.get();
        state.driveHandle = std::move(owned);
    }
    disk::DiskState state;
    FaultyDisk* disk;
};

bool SectorIs(const std::vector<std::uint8_t>& buf, std::size_t index, std::uint8_t value)
{
    return std::all_of(buf.begin() + static_cast<std::ptrdiff_t>(index * kSector),
                       buf.begin() + static_cast<std::ptrdiff_t>((index + 1) * kSector),
                       [value](std::uint8_t b) { return b == value; });
}

TEST(ReadSectors, UnreadableFifthSectorLosesOnlyThatSector)
{
    Reader r(200);
    r.disk->MarkBad(100 + 4);
    std::vector<std::uint8_t> buf(60 * kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(r.state, 100, 60, buf), 1);
    for (std::size_t i = 0; i < 60; ++i) {
        const auto expected = static_cast<std::uint8_t>(i == 4 ? 0 : (100 + i + 1));
        EXPECT_TRUE(SectorIs(buf, i, expected)) << "sector " << i;
    }
    EXPECT_EQ(r.disk->SingleSectorReadsOf(104), disk::kDefaultRetryCount);
    EXPECT_EQ(r.disk->SingleSectorReadsOf(103), 1u);
}

TEST(ReadSectors, UnreadableLastSectorReportsFailureButKeepsTheRest)
{
    Reader r(100);
    r.disk->MarkBad(69);
    std::vector<std::uint8_t> buf(60 * kSector);
    EXPECT_EQ(disk::ReadSectors(r.state, 10, 60, buf), 0);
    EXPECT_TRUE(SectorIs(buf, 0, 11));
    EXPECT_TRUE(SectorIs(buf, 58, 69));
    EXPECT_TRUE(SectorIs(buf, 59, 0));
}

TEST(ReadSectors, SectorThatRecoversWithinTheRetriesIsRead)
{
    Reader r(10);
    r.disk->MarkBad(3, 3);  // the bulk read and two single reads fail, the third single succeeds
    std::vector<std::uint8_t> buf(8 * kSector);
    EXPECT_EQ(disk::ReadSectors(r.state, 0, 8, buf), 1);
    EXPECT_TRUE(SectorIs(buf, 3, 4));
    EXPECT_EQ(r.disk->SingleSectorReadsOf(3), 3u);
}

TEST(ReadSectors, RetryCountZeroReadsNothingAndLeavesNoStaleBytes)
{
    Reader r(10);
    r.state.readRetryCount = 0;
    r.disk->MarkBad(2);
    std::vector<std::uint8_t> buf(4 * kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(r.state, 0, 4, buf), 0);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(r.disk->ReadCount(), 1u);  // the bulk read only
}

TEST(ReadSectors, NoOpenDriveLeavesTheBufferUntouched)
{
    disk::DiskState state;
    std::vector<std::uint8_t> buf(2 * kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(state, 0, 2, buf), 0);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](std::uint8_t b) { return b == 0x55; }));
}

TEST(ReadSectors, ReadPastTheEndIsZeroFilled)
{
    Reader r(4);
    std::vector<std::uint8_t> buf(4 * kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(r.state, 2, 4, buf), 0);
    EXPECT_TRUE(SectorIs(buf, 0, 3));
    EXPECT_TRUE(SectorIs(buf, 1, 4));
    EXPECT_TRUE(SectorIs(buf, 2, 0));
    EXPECT_TRUE(SectorIs(buf, 3, 0));
}

TEST(ReadSectors, SectorsPastTheEndAreZerosAtOnceNotRetriedOneByOne)
{
    Reader r(4);
    std::vector<std::uint8_t> buf(1000 * kSector, 0x55);
    std::uint32_t unreadable = 0;
    EXPECT_EQ(disk::ReadSectorsCounted(r.state, 3, 1000, buf, unreadable), 0);
    EXPECT_EQ(unreadable, 999u);
    EXPECT_TRUE(SectorIs(buf, 0, 4));
    EXPECT_TRUE(SectorIs(buf, 999, 0));
    EXPECT_EQ(r.disk->ReadCount(), 1u);  // the one sector inside, in one read

    r.disk->ResetReadCount();
    EXPECT_EQ(disk::ReadSectorsCounted(r.state, 4000000, 1000, buf, unreadable), 0);
    EXPECT_EQ(unreadable, 1000u);
    EXPECT_EQ(r.disk->ReadCount(), 0u);
}

TEST(ReadSectors, CountZeroReportsTheEmptyRead)
{
    Reader r(4);
    std::vector<std::uint8_t> buf;
    EXPECT_EQ(disk::ReadSectors(r.state, 0, 0, buf), 1);
}

TEST(ReadSectors, BufferShorterThanTheRequestIsNeverOverrun)
{
    Reader r(4);
    std::vector<std::uint8_t> buf(kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(r.state, 0, 2, buf), 0);
    EXPECT_EQ(r.disk->ReadCount(), 0u);
}

TEST(ReadSectors, SectorWhoseByteOffsetOverflowsIsNotReadFromTheStart)
{
    Reader r(4);
    std::vector<std::uint8_t> buf(kSector, 0x55);
    // 2^55 * 512 wraps to byte 0 in 64 bits.
    EXPECT_EQ(disk::ReadSectors(r.state, std::uint64_t{1} << 55, 1, buf), 0);
    EXPECT_TRUE(SectorIs(buf, 0, 0));
}

// Mode F: what reaches ReadDisk32.
struct BiosCall
{
    std::uint8_t drive;
    std::uint32_t cylinder, head, sector, count, lba;
    std::int32_t ext;
};
BiosCall g_lastCall;
int g_biosResult = 1;

int FakeReadDisk32(std::uint8_t drive, std::uint32_t cylinder, std::uint32_t head, std::uint32_t sector,
                   std::uint32_t count, void* buffer, std::uint32_t lba, std::int32_t ext)
{
    g_lastCall = {drive, cylinder, head, sector, count, lba, ext};
    std::fill_n(static_cast<std::uint8_t*>(buffer), std::size_t{count} * kSector, std::uint8_t{0xAB});
    return g_biosResult;
}

struct ChsCase
{
    std::uint32_t lba, cylinder, head, sector;
};

class ModeFTranslation : public ::testing::TestWithParam<ChsCase>
{
};

TEST_P(ModeFTranslation, PassesTheFixedSixteenHeadGeometry)
{
    disk::BiosLibraries bios;
    bios.ReadDisk32 = FakeReadDisk32;
    bios.hasInt13Extensions[2] = 7;
    disk::DiskState state;
    state.accessMode = 'F';
    state.bios = &bios;
    state.selectedDrive = 2;
    g_biosResult = 1;
    std::vector<std::uint8_t> buf(3 * kSector);
    const ChsCase c = GetParam();
    EXPECT_EQ(disk::ReadSectors(state, c.lba, 3, buf), 1);
    EXPECT_EQ(g_lastCall.drive, 0x82);
    EXPECT_EQ(g_lastCall.cylinder, c.cylinder);
    EXPECT_EQ(g_lastCall.head, c.head);
    EXPECT_EQ(g_lastCall.sector, c.sector);
    EXPECT_EQ(g_lastCall.count, 3u);
    EXPECT_EQ(g_lastCall.lba, c.lba);
    EXPECT_EQ(g_lastCall.ext, 7);
}

INSTANTIATE_TEST_SUITE_P(Lba, ModeFTranslation,
                         ::testing::Values(ChsCase{0, 0, 0, 1}, ChsCase{62, 0, 0, 63}, ChsCase{63, 0, 1, 1},
                                           ChsCase{1008, 1, 0, 1}, ChsCase{1007, 0, 15, 63},
                                           ChsCase{1008 * 1023 + 63 * 3 + 5, 1023, 3, 6}));

TEST(ReadSectorsModeF, LibraryFailureLeavesZerosAndReportsZero)
{
    disk::BiosLibraries bios;
    bios.ReadDisk32 = FakeReadDisk32;
    disk::DiskState state;
    state.accessMode = 'F';
    state.bios = &bios;
    g_biosResult = 0;
    std::vector<std::uint8_t> buf(kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(state, 5, 1, buf), 0);
    EXPECT_TRUE(SectorIs(buf, 0, 0));
    g_biosResult = 1;
}

TEST(ReadSectorsModeF, SectorsBeyondThirtyTwoBitsAreNotTruncated)
{
    disk::BiosLibraries bios;
    bios.ReadDisk32 = FakeReadDisk32;
    disk::DiskState state;
    state.accessMode = 'F';
    state.bios = &bios;
    g_lastCall = {};
    std::vector<std::uint8_t> buf(kSector, 0x55);
    EXPECT_EQ(disk::ReadSectors(state, (std::uint64_t{1} << 32) + 5, 1, buf), 0);
    EXPECT_EQ(g_lastCall.count, 0u);  // never reached the library
    EXPECT_TRUE(SectorIs(buf, 0, 0));
}

}  // namespace

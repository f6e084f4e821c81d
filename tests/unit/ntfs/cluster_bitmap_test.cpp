// The cluster bitmap's free counts and the recoverability tally over built FILE records.
#include <gtest/gtest.h>

#include <vector>

#include "catalog/catalog.h"
#include "ntfs/cluster_bitmap.h"
#include "support/ntfs_builder.h"

namespace {

using ntfs::ClusterBitmap;
using ntfs::RecoverableTally;
using testing_support::ByteBuffer;
using testing_support::EncodeRunList;
using testing_support::FileRecordBuilder;
using testing_support::NonResidentSpec;
using testing_support::RunSpec;

// 256 clusters: 0..63 used, 64..127 free, 128..191 alternate (even ones used), 192..255 free.
ClusterBitmap Volume()
{
    std::vector<std::uint8_t> bytes(32, 0);
    for (std::size_t i = 0; i < 8; ++i)
        bytes[i] = 0xFF;
    for (std::size_t i = 16; i < 24; ++i)
        bytes[i] = 0x55;
    return ClusterBitmap::FromBytes(bytes);
}

struct FreeCase
{
    const char* name;
    std::uint64_t lcn;
    std::uint64_t count;
    std::optional<std::uint64_t> free;
};

class BitmapFree : public ::testing::TestWithParam<FreeCase>
{
};

TEST_P(BitmapFree, CountsTheClearBits)
{
    ClusterBitmap bitmap = Volume();
    EXPECT_EQ(bitmap.FreeClusters(GetParam().lcn, GetParam().count), GetParam().free);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, BitmapFree,
    ::testing::Values(FreeCase{"AllUsed", 0, 64, 0}, FreeCase{"AllFree", 64, 64, 64},
                      FreeCase{"StraddlesUsedAndFree", 60, 8, 4}, FreeCase{"OddStartInsideAByte", 3, 2, 0},
                      FreeCase{"Alternating", 128, 64, 32}, FreeCase{"AlternatingOddStart", 129, 3, 2},
                      FreeCase{"Empty", 10, 0, 0}, FreeCase{"LastCluster", 255, 1, 1},
                      FreeCase{"PastTheEnd", 250, 7, std::nullopt}, FreeCase{"FarPastTheEnd", 1000, 1, std::nullopt},
                      FreeCase{"LengthOverflows", 5, UINT64_MAX, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClusterBitmap, AnEmptyBitmapAnswersNothing)
{
    ClusterBitmap bitmap;
    EXPECT_FALSE(bitmap.Usable());
    EXPECT_EQ(bitmap.FreeClusters(0, 1), std::nullopt);
}

ByteBuffer DeletedRecord(const std::vector<RunSpec>& runs)
{
    NonResidentSpec data;
    data.runs = EncodeRunList(runs);
    return FileRecordBuilder().Flags(0).NonResident(data).BuildFixedUp();
}

struct TallyCase
{
    const char* name;
    std::vector<RunSpec> runs;
    std::uint8_t rating;
};

class Tally : public ::testing::TestWithParam<TallyCase>
{
};

TEST_P(Tally, RatesTheRunsAgainstTheBitmap)
{
    ClusterBitmap bitmap = Volume();
    RecoverableTally tally;
    tally.Add(bitmap, DeletedRecord(GetParam().runs));
    EXPECT_EQ(tally.Rating(), GetParam().rating);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Tally,
    ::testing::Values(TallyCase{"Untouched", {{8, 64}}, 100}, TallyCase{"Reused", {{8, 0}}, 0},
                      TallyCase{"HalfReused", {{4, 60}, {4, 64}}, 50},
                      // 1 of 3 clusters free: 33.3 % is shown as 33 (rounded down, as ntfsundelete does).
                      TallyCase{"RoundedDown", {{2, 62}, {1, 64}}, 33},
                      TallyCase{"SparseRunsDoNotCount", {{4, 64}, {100, std::nullopt}, {4, 0}}, 50},
                      TallyCase{"OnlySparseIsNotRated", {{16, std::nullopt}}, catalog::kRecoverableNotRated},
                      TallyCase{"NoRunsIsNotRated", {}, catalog::kRecoverableNotRated},
                      TallyCase{"BeyondTheVolumeIsUnknown", {{4, 64}, {4, 300}}, catalog::kRecoverableUnknown}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecoverableTally, ResidentDataIsWhole)
{
    ClusterBitmap bitmap = Volume();
    const ByteBuffer text = {'h', 'i'};
    RecoverableTally tally;
    tally.Add(bitmap, FileRecordBuilder().Flags(0).ResidentData(text).BuildFixedUp());
    EXPECT_EQ(tally.Rating(), 100);
}

TEST(RecoverableTally, ExtentsOfSeveralRecordsAddUp)
{
    ClusterBitmap bitmap = Volume();
    RecoverableTally tally;
    tally.Add(bitmap, DeletedRecord({{4, 0}}));
    tally.Add(bitmap, DeletedRecord({{12, 64}}));
    EXPECT_EQ(tally.Rating(), 75);
}

TEST(RecoverableTally, WithoutABitmapADeletedFileIsUnknown)
{
    ClusterBitmap none;
    RecoverableTally tally;
    tally.Add(none, DeletedRecord({{4, 64}}));
    EXPECT_EQ(tally.Rating(), catalog::kRecoverableUnknown);
}

TEST(RecoverableTally, ARecordWithoutDataAddsNothing)
{
    ClusterBitmap bitmap = Volume();
    RecoverableTally tally;
    tally.Add(bitmap, ByteBuffer(1024, 0));
    tally.Add(bitmap, ByteBuffer(10, 0xFF));
    EXPECT_EQ(tally.Rating(), catalog::kRecoverableNotRated);
}

}  // namespace

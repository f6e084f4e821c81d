// Data runs (mapping pairs).
#include <gtest/gtest.h>

#include <vector>

#include "ntfs/data_runs.h"
#include "support/ntfs_builder.h"

namespace {

using ntfs::DecodeRunList;
using ntfs::RunListStatus;
using testing_support::ByteBuffer;

TEST(DataRuns, OneByteOffsetOfFFIsOneClusterBack)
{
    const ByteBuffer bytes = {0x11, 0x04, 0x40, 0x11, 0x02, 0xFF, 0x00};
    const auto list = DecodeRunList(bytes);
    EXPECT_EQ(list.status, RunListStatus::Complete);
    ASSERT_EQ(list.runs.size(), 2u);
    EXPECT_EQ(list.runs[0].lcn, 0x40);
    EXPECT_EQ(list.runs[0].lengthClusters, 4u);
    EXPECT_EQ(list.runs[1].lcn, 0x3F);
    EXPECT_EQ(list.bytesUsed, bytes.size());
    EXPECT_FALSE(list.wideField);
}

TEST(DataRuns, FourByteOffsetFirstIsAbsoluteLaterIsDelta)
{
    const ByteBuffer bytes = {0x41, 0x01, 0x00, 0x00, 0x80, 0x00, 0x41, 0x01, 0x00, 0x00, 0x80, 0x00, 0x00};
    const auto list = DecodeRunList(bytes);
    ASSERT_EQ(list.runs.size(), 2u);
    EXPECT_EQ(list.runs[0].lcn, 8388608);
    EXPECT_EQ(list.runs[1].lcn, 2 * 8388608);
    EXPECT_EQ(list.status, RunListStatus::Complete);
    // A four-byte delta is the plain 32-bit two's-complement value.
    const ByteBuffer back = {0x41, 0x01, 0x00, 0x00, 0x80, 0x00, 0x41, 0x01, 0x00, 0x00, 0xF0, 0xFF, 0x00};
    EXPECT_EQ(DecodeRunList(back).runs[1].lcn, 8388608 - 0x100000);
}

TEST(DataRuns, ZeroHeaderEndsTheListEvenWithBytesAfterIt)
{
    const ByteBuffer bytes = {0x11, 0x04, 0x40, 0x00, 0x11, 0x02, 0x10, 0x00};
    const auto list = DecodeRunList(bytes);
    EXPECT_EQ(list.status, RunListStatus::Complete);
    EXPECT_EQ(list.runs.size(), 1u);
    EXPECT_EQ(list.bytesUsed, 4u);
}

TEST(DataRuns, SparseRunKeepsTheBaseOfTheNextDelta)
{
    const auto bytes = testing_support::EncodeRunList({{4, 100}, {8, std::nullopt}, {2, 90}});
    const auto list = DecodeRunList(bytes);
    ASSERT_EQ(list.runs.size(), 3u);
    EXPECT_TRUE(list.runs[1].sparse);
    EXPECT_EQ(list.runs[1].lengthClusters, 8u);
    EXPECT_EQ(list.runs[2].lcn, 90);
    EXPECT_FALSE(list.runs[2].sparse);
}

TEST(DataRuns, WideFieldsAreDecodedAndReported)
{
    const auto bytes = testing_support::EncodeRunList({{0x1'0000'0000ULL, 0x12'3456'789AULL}});
    const auto list = DecodeRunList(bytes);
    EXPECT_EQ(list.status, RunListStatus::Complete);
    EXPECT_TRUE(list.wideField);
    ASSERT_EQ(list.runs.size(), 1u);
    EXPECT_EQ(list.runs[0].lengthClusters, 0x1'0000'0000ULL);
    EXPECT_EQ(list.runs[0].lcn, 0x12'3456'789ALL);
    // Eight-byte length: unsigned.
    const ByteBuffer eight = {0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(DecodeRunList(eight).runs.at(0).lengthClusters, ~std::uint64_t{0});
}

struct BadRun
{
    const char* what;
    ByteBuffer bytes;
    RunListStatus status;
    std::size_t runsKept;
};

class DataRunsBroken : public ::testing::TestWithParam<BadRun>
{
};

TEST_P(DataRunsBroken, EndsWithStatusAndKeepsEarlierRuns)
{
    const BadRun& c = GetParam();
    const auto list = DecodeRunList(c.bytes);
    EXPECT_EQ(list.status, c.status);
    EXPECT_EQ(list.runs.size(), c.runsKept);
    EXPECT_LE(list.bytesUsed, c.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataRunsBroken,
    ::testing::Values(
        BadRun{"empty", {}, RunListStatus::Truncated, 0},
        BadRun{"no terminator", {0x11, 0x04, 0x40}, RunListStatus::Truncated, 1},
        BadRun{"fields past the end", {0x11, 0x04, 0x40, 0x44, 0x01}, RunListStatus::Truncated, 1},
        BadRun{"length field of 0 bytes", {0x10, 0x40, 0x00}, RunListStatus::BadHeader, 0},
        BadRun{"length field of 9 bytes", {0x19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}, RunListStatus::BadHeader, 0},
        BadRun{"offset field of 9 bytes", {0x91, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x00}, RunListStatus::BadHeader, 0},
        BadRun{"negative first cluster", {0x11, 0x01, 0xFF, 0x00}, RunListStatus::NegativeLcn, 0},
        BadRun{"delta below cluster 0", {0x11, 0x01, 0x10, 0x11, 0x01, 0xE0, 0x00}, RunListStatus::NegativeLcn, 1},
        BadRun{"delta overflows",
               {0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x11, 0x01, 0x01, 0x00},
               RunListStatus::LcnOverflow, 1}),
    [](const ::testing::TestParamInfo<BadRun>& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(DataRuns, RunLimitIsHonoured)
{
    const auto bytes = testing_support::EncodeRunList({{1, 10}, {1, 20}, {1, 30}});
    const auto list = DecodeRunList(bytes, 2);
    EXPECT_EQ(list.status, RunListStatus::TooManyRuns);
    EXPECT_EQ(list.runs.size(), 2u);
}

TEST(DataRuns, EncoderRoundTrip)
{
    const std::vector<testing_support::RunSpec> runs = {
        {1, 0x7F}, {2, 0x80}, {3, 0x10}, {300, 0x12345678}, {5, std::nullopt}, {7, 1}};
    const auto list = DecodeRunList(testing_support::EncodeRunList(runs));
    ASSERT_EQ(list.runs.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(list.runs[i].lengthClusters, runs[i].length);
        EXPECT_EQ(list.runs[i].sparse, !runs[i].lcn.has_value());
        if (runs[i].lcn) {
            EXPECT_EQ(list.runs[i].lcn, *runs[i].lcn);
        }
    }
}

}  // namespace

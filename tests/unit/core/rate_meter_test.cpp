// Rate and time left beside the progress: from reported amounts, from the percentage alone, and
// the durations they are written as.
#include "core/rate_meter.h"

#include <gtest/gtest.h>

namespace core {
namespace {

TEST(RateMeter, BytesGiveMegabytesPerSecondAndTheTimeLeftOfTheTotal)
{
    RateMeter meter;
    meter.Start(100.0);
    meter.Percent(10);
    meter.Amount(0, 1'000'000'000, AmountUnit::Bytes, 100.0);
    meter.Amount(50'000'000, 1'000'000'000, AmountUnit::Bytes, 102.0);  // 25 MB/s
    EXPECT_EQ(meter.RateText(102.0), "25.0 MB/s");
    ASSERT_TRUE(meter.SecondsLeft(102.0));
    EXPECT_DOUBLE_EQ(*meter.SecondsLeft(102.0), 38.0);
    EXPECT_EQ(meter.Line(102.0), "10%  25.0 MB/s  0:02 elapsed  0:38 left");
}

TEST(RateMeter, RecordsGiveRecordsPerSecondAndARestartedCountStartsTheRateAgain)
{
    RateMeter meter;
    meter.Start(0.0);
    meter.Amount(1000, 0, AmountUnit::Records, 1.0);
    meter.Amount(5000, 0, AmountUnit::Records, 3.0);
    EXPECT_EQ(meter.RateText(3.0), "2000 records/s");
    // A later phase counting from 0 again (the next run, another unit) is not a negative rate.
    meter.Amount(10, 0, AmountUnit::Bytes, 4.0);
    EXPECT_EQ(meter.RateText(4.0), "");
}

TEST(RateMeter, WithoutAmountsTheTimeLeftFollowsThePercentageAndNothingIsGuessedTooEarly)
{
    RateMeter meter;
    meter.Start(10.0);
    meter.Percent(25);
    EXPECT_FALSE(meter.SecondsLeft(10.2));  // too early to say
    ASSERT_TRUE(meter.SecondsLeft(18.0));
    EXPECT_DOUBLE_EQ(*meter.SecondsLeft(18.0), 24.0);
    EXPECT_EQ(meter.Line(18.0), "25%  0:08 elapsed  0:24 left");
    meter.Percent(0);
    EXPECT_FALSE(meter.SecondsLeft(18.0));
}

TEST(FormatDuration, MinutesAndSecondsThenHoursAndAbsurdValuesBounded)
{
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(7.4), "0:07");
    EXPECT_EQ(FormatDuration(754), "12:34");
    EXPECT_EQ(FormatDuration(3723), "1:02:03");
    EXPECT_EQ(FormatDuration(-5), "0:00");
    EXPECT_EQ(FormatDuration(1e300), "99:59:59");
}

}  // namespace
}  // namespace core

// Date texts of the listing.
#include <gtest/gtest.h>

#include "core/filetime.h"

namespace {

TEST(FormatFileTime, CalendarFieldsWithoutLeadingZeros)
{
    EXPECT_EQ(core::FormatFileTime(0), "1-1-1601 0:0:0");
    // 2005-03-07 14:05:09 UTC = Unix 1110204309.
    const std::uint64_t ft = (1110204309ULL + 11644473600ULL) * 10'000'000ULL + 1234567;
    EXPECT_EQ(core::FormatFileTime(ft), "7-3-2005 14:5:9");
    // Leap day, and the last second of a year.
    EXPECT_EQ(core::FormatFileTime((951782400ULL + 11644473600ULL) * 10'000'000ULL), "29-2-2000 0:0:0");
    EXPECT_EQ(core::FormatFileTime((1704067199ULL + 11644473600ULL) * 10'000'000ULL), "31-12-2023 23:59:59");
}

TEST(FormatFileTime, RejectedValuesGiveTheFixedText)
{
    EXPECT_EQ(core::FormatFileTime(1ULL << 63), core::kInvalidFileTimeText);
    EXPECT_EQ(core::FormatFileTime(~0ULL), core::kInvalidFileTimeText);
    EXPECT_NE(core::FormatFileTime((1ULL << 63) - 1), core::kInvalidFileTimeText);
}

TEST(FormatFatDate, TwoDigitDayMonthAndTrailingBlank)
{
    const auto date = static_cast<std::uint16_t>((25u << 9) | (3u << 5) | 7u);
    EXPECT_EQ(core::FormatFatDate(date), "07-03-2005 ");
    EXPECT_EQ(core::FormatFatDate(0), "00-00-1980 ");
}

}  // namespace

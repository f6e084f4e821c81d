// Date texts of the listing.
#include "core/filetime.h"

#include <cstdio>

namespace core {

namespace {

struct CivilDate
{
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's civil_from_days).
CivilDate CivilFromDays(std::int64_t z) noexcept
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {m <= 2 ? y + 1 : y, m, d};
}

}  // namespace

std::string FormatFileTime(std::uint64_t fileTime)
{
    if (fileTime >= (std::uint64_t{1} << 63)) {
        return kInvalidFileTimeText;
    }
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kDaysFrom1601To1970 = 134774;
    const auto seconds = static_cast<std::int64_t>(fileTime) / kTicksPerSecond;
    const std::int64_t days = seconds / 86400;
    const std::int64_t secondOfDay = seconds % 86400;
    const CivilDate date = CivilFromDays(days - kDaysFrom1601To1970);
    char text[64];
    std::snprintf(text, sizeof text, "%u-%u-%lld %lld:%lld:%lld", date.day, date.month,
                  static_cast<long long>(date.year), static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60), static_cast<long long>(secondOfDay % 60));
    return text;
}

std::string FormatFatDate(std::uint16_t date)
{
    const unsigned day = date & 0x1Fu;
    const unsigned month = (date >> 5) & 0x0Fu;
    const unsigned year = 1980u + (static_cast<unsigned>(date) >> 9);
    char text[32];
    std::snprintf(text, sizeof text, "%02u-%02u-%u ", day, month, year);
    return text;
}

}  // namespace core

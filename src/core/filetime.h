// Date texts of the listing: NTFS FILETIME values and FAT date words.
#pragma once

#include <cstdint>
#include <string>

namespace core {

// Text shown for a FILETIME the calendar conversion rejects (2^63 and above).
inline constexpr const char* kInvalidFileTimeText = "-";

// FILETIME (100 ns units since 1601-01-01 UTC) as day-month-year hour:minute:second in UTC,
// every number in plain decimal without leading zeros ("7-3-2005 14:5:9"; 0 gives
// "1-1-1601 0:0:0"). Values of 2^63 and above give kInvalidFileTimeText.
std::string FormatFileTime(std::uint64_t fileTime);

// FAT date word (day bits 0-4, month bits 5-8, years since 1980 bits 9-15) as "DD-MM-YYYY "
// (two-digit day and month, and a trailing blank).
std::string FormatFatDate(std::uint16_t date);

}  // namespace core

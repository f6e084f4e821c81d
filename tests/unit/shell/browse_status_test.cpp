// The browse status line: human sizes and the counts of a listing and its selection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/browse_status.h"

namespace {

struct SizeCase
{
    std::uint64_t bytes;
    const char* text;
};

class HumanSizes : public ::testing::TestWithParam<SizeCase>
{
};

TEST_P(HumanSizes, OneDecimalInUnitsOf1024)
{
    EXPECT_EQ(shell::HumanSize(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HumanSizes,
                         ::testing::Values(SizeCase{0, "0 bytes"}, SizeCase{1023, "1023 bytes"}, SizeCase{1024, "1.0 KB"},
                                           SizeCase{1536, "1.5 KB"}, SizeCase{1048575, "1024.0 KB"},
                                           SizeCase{1048576, "1.0 MB"}, SizeCase{std::uint64_t{3} << 40, "3.0 TB"},
                                           SizeCase{UINT64_MAX, "16384.0 PB"}));

ntfs::ListRow Row(bool folder, bool deleted, std::uint64_t size)
{
    ntfs::ListRow row;
    row.folder = folder;
    row.deleted = deleted;
    row.sizeBytes = size;
    return row;
}

TEST(BrowseStatus, CountsTheListingThenTheSelection)
{
    const std::vector<ntfs::ListRow> rows = {Row(true, false, 0), Row(true, true, 0), Row(false, false, 2048),
                                             Row(false, true, 1024)};
    EXPECT_EQ(shell::BrowseStatusText(rows, {}), "2 folders, 2 files (2 deleted), 3.0 KB");
    // A position past the end (a stale selection) is passed over.
    EXPECT_EQ(shell::BrowseStatusText(rows, {3, 9}),
              "2 folders, 2 files (2 deleted), 3.0 KB    Selected: 0 folders, 1 file (1 deleted), 1.0 KB");
    EXPECT_EQ(shell::BrowseStatusText({}, {}), "0 folders, 0 files, 0 bytes");
}

}  // namespace

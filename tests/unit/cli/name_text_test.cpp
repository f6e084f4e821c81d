// Names in dravik-cli's text output: control characters escaped in every printer of names, the
// JSON forms left to JSON's own escaping.
#include "cli/name_text.h"

#include <gtest/gtest.h>

#include "cli/tree_print.h"
#include "ntfs/tree_builder.h"

namespace cli {
namespace {

struct EscapeCase
{
    const char* label;
    std::string text;
    std::string shown;
};

class EscapeControlsTest : public ::testing::TestWithParam<EscapeCase>
{
};

TEST_P(EscapeControlsTest, ControlsBecomeHexEscapesAndTheRestStays)
{
    EXPECT_EQ(EscapeControls(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, EscapeControlsTest,
    ::testing::Values(EscapeCase{"Plain", "report.doc", "report.doc"},
                      EscapeCase{"Nul", std::string("a\0b", 3), "a\\x00b"},
                      EscapeCase{"TabAndLineBreak", "a\tb\nc", "a\\x09b\\x0ac"},
                      EscapeCase{"TerminalEscape", "\x1b]0;title\x07", "\\x1b]0;title\\x07"},
                      EscapeCase{"UnitSeparatorAndDelete", "\x1f\x7f", "\\x1f\\x7f"},
                      EscapeCase{"Utf8AndBackslashKept", "\\caf\xC3\xA9\xE2\x82\xAC", "\\caf\xC3\xA9\xE2\x82\xAC"},
                      EscapeCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(EscapeControls, TreeAndListingShowNamesOnOneLineAndInTheirColumn)
{
    ntfs::FolderTree tree;
    tree.Insert(tree.Root(), "two\nlines", ntfs::kTreeImageFolder, ntfs::kTreeImageFolderOpen);
    EXPECT_EQ(FormatTree(tree), "Root\n  two\\x0alines\n");

    std::vector<ntfs::ListRow> rows(1);
    rows[0] = {"a\tb.\x1b", "\x1b File", "3", "", "", "", false, false};
    EXPECT_EQ(FormatRows(rows), "Name\tType\tSize\tCreated\tModified\tID\n"
                                "a\\x09b.\\x1b\t\\x1b File\t3\t\t\t\n");
    JsonWriter json;
    WriteRowsJson(json, rows);
    EXPECT_NE(json.Text().find("\"name\":\"a\\tb.\\u001b\""), std::string::npos) << json.Text();
}

}  // namespace
}  // namespace cli

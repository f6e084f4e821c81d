// dravik-cli ls on the ntfs_basic fixture: row order and columns, paths through placeholders,
// filters, deleted types and JSON.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

using testing_support::CliRun;

// Runs dravik-cli on the image with `args`; stdout only.
CliRun Ls(const std::string& image, const std::string& args)
{
    return testing_support::RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " +
                                       testing_support::Quoted(image) + " ls --partition 1 " + args + " 2>/dev/null");
}

std::vector<std::vector<std::string>> Rows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            cells.push_back(line.substr(start, tab - start));
        cells.push_back(line.substr(start));
        rows.push_back(std::move(cells));
    }
    return rows;
}

class CliLs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = testing_support::FixturePath("ntfs_basic.img").string();
    }
    std::string m_image;
};

TEST_F(CliLs, RootFoldersFirstWithPlaceholderRows)
{
    const CliRun run = Ls(m_image, "");
    ASSERT_EQ(run.exitCode, 0);
    const auto rows = Rows(run.out);
    ASSERT_GT(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Name", "Type", "Size", "Created", "Modified", "ID"}));
    bool seenFile = false;
    bool seenPlaceholder = false;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 6u) << run.out;
        const bool folder = rows[i][1].ends_with("Folder");
        EXPECT_FALSE(folder && seenFile) << rows[i][0] << " listed after a file";
        seenFile = seenFile || !folder;
        if (folder)
            EXPECT_EQ(rows[i][2], "0");
        if (rows[i][0] == "Dir0") {
            seenPlaceholder = true;
            EXPECT_EQ(rows[i][3], "1-1-1601 0:0:0");
            EXPECT_EQ(rows[i][4], "1-1-1601 0:0:0");
        }
    }
    EXPECT_TRUE(seenFile);
    EXPECT_TRUE(seenPlaceholder);
}

TEST_F(CliLs, PathsFiltersAndDeletedTypes)
{
    const CliRun reports = Ls(m_image, "/Documents//Reports/");
    ASSERT_EQ(reports.exitCode, 0);
    EXPECT_NE(reports.out.find("\nreadme.txt\tTXT File\t690\t"), std::string::npos) << reports.out;

    const CliRun cafe = Ls(m_image, "'Caf\xC3\xA9' --filter '*.TXT'");
    ASSERT_EQ(cafe.exitCode, 0);
    bool deleted = false;
    for (const auto& row : Rows(cafe.out)) {
        if (row[0] == "Name" || row[1].ends_with("Folder"))
            continue;
        EXPECT_TRUE(row[0].ends_with(".txt")) << row[0];
        deleted = deleted || row[1] == "Deleted TXT File";
    }
    EXPECT_TRUE(deleted) << cafe.out;

    const CliRun placeholder = Ls(m_image, "Dir0 --json");
    ASSERT_EQ(placeholder.exitCode, 0);
    EXPECT_EQ(placeholder.out.rfind("{\"drive\":0,\"partition\":1,\"path\":\"Dir0\",\"rows\":[", 0), 0u)
        << placeholder.out;

    EXPECT_EQ(Ls(m_image, "Documents/none").exitCode, 1);
}

}  // namespace

// "recover --report": the report of a Recover All lists every recovered file with the SHA-256 of
// its output as it lies on disk (CSV and JSON Lines alike), and files passed over with their reason.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FixturePath;
using testing_support::HashTree;
using testing_support::Quoted;
using testing_support::RunCommand;

const std::vector<std::string> kColumns = {"source", "output", "size", "status", "unreadableSectors", "sha256"};

using Row = std::map<std::string, std::string>;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// RFC 4180 records (CRLF line ends, quoted fields with doubled quotes and embedded line ends).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && record.empty()) << "the report does not end with a line end";
    return records;
}

std::vector<Row> CsvRows(const fs::path& file)
{
    const auto records = ParseCsv(ReadAll(file));
    EXPECT_FALSE(records.empty());
    if (records.empty()) {
        return {};
    }
    EXPECT_EQ(records.front(), kColumns);
    std::vector<Row> rows;
    for (std::size_t r = 1; r < records.size(); ++r) {
        EXPECT_EQ(records[r].size(), kColumns.size()) << "record " << r;
        Row row;
        for (std::size_t c = 0; c < kColumns.size() && c < records[r].size(); ++c) {
            row[kColumns[c]] = records[r][c];
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// The flat objects of a JSON Lines report: string values unescaped, numbers as written.
std::vector<Row> JsonRows(const fs::path& file)
{
    std::vector<Row> rows;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        Row row;
        std::size_t i = 1;
        EXPECT_EQ(line.front(), '{');
        EXPECT_EQ(line.back(), '}');
        const auto readString = [&line, &i] {
            std::string s;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] != '\\') {
                    s += line[i];
                    continue;
                }
                const char e = line[++i];
                if (e == 'u') {
                    s += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
                    i += 4;
                } else {
                    s += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
                }
            }
            ++i;
            return s;
        };
        while (i < line.size() && line[i] == '"') {
            const std::string key = readString();
            ++i; // ':'
            if (line[i] == '"') {
                row[key] = readString();
            } else {
                const std::size_t end = line.find_first_of(",}", i);
                row[key] = line.substr(i, end - i);
                i = end;
            }
            if (line[i] == ',') {
                ++i;
            }
        }
        EXPECT_EQ(row.size(), kColumns.size()) << line;
        rows.push_back(std::move(row));
    }
    return rows;
}

class RecoveryReport : public ::testing::TestWithParam<const char*>
{
};

TEST_P(RecoveryReport, ListsEveryFileWithTheHashOfItsOutput)
{
    const fs::path image = FixturePath(std::string(GetParam()) + ".img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const fs::path dir = fs::temp_directory_path() / ("dravik-report-" + std::to_string(::getpid()) + "-" + GetParam());
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path out = dir / "out";
    const std::string cli = std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) +
                            " recover --partition 1 --all --to " + Quoted(out.string());

    const auto run = RunCommand(cli + " --report " + Quoted((dir / "r.csv").string()) + " 2>/dev/null");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const auto hashes = HashTree(out);
    ASSERT_FALSE(hashes.empty());
    const std::vector<Row> rows = CsvRows(dir / "r.csv");

    std::map<std::string, std::string> listed; // output path below `out` -> sha256 of the report
    for (const Row& row : rows) {
        const std::string& status = row.at("status");
        if (status == "written" || status == "renamed") {
            const fs::path output(row.at("output"));
            const std::string relative = output.lexically_relative(out).generic_string();
            EXPECT_EQ(row.at("size"), std::to_string(fs::file_size(output))) << relative;
            EXPECT_TRUE(listed.emplace(relative, row.at("sha256")).second) << relative << " listed twice";
        } else {
            EXPECT_TRUE(row.at("sha256").empty()) << row.at("source");
            EXPECT_TRUE(status.rfind("skipped: ", 0) == 0 || status.rfind("error: ", 0) == 0) << status;
        }
    }
    EXPECT_EQ(listed, hashes);

    // The same run as JSON Lines gives the same rows.
    const fs::path again = dir / "again";
    const auto jsonRun = RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) +
                                    " recover --partition 1 --all --jobs 1 --to " + Quoted(again.string()) +
                                    " --report " + Quoted((dir / "r.jsonl").string()) + " 2>/dev/null");
    EXPECT_EQ(jsonRun.exitCode, 0);
    std::vector<Row> jsonRows = JsonRows(dir / "r.jsonl");
    ASSERT_EQ(jsonRows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Row expected = rows[i];
        if (!expected["output"].empty()) {
            expected["output"] = (again / fs::path(expected["output"]).lexically_relative(out)).string();
        }
        EXPECT_EQ(jsonRows[i], expected) << i;
    }

    // Again into the same folder, duplicates skipped: every file is listed with its reason and no hash.
    const auto skipRun =
        RunCommand(cli + " --duplicates skip --report " + Quoted((dir / "skip.csv").string()) + " 2>/dev/null");
    EXPECT_EQ(skipRun.exitCode, 0);
    std::size_t duplicates = 0;
    for (const Row& row : CsvRows(dir / "skip.csv")) {
        EXPECT_TRUE(row.at("sha256").empty()) << row.at("source");
        EXPECT_EQ(row.at("size"), "0");
        duplicates += row.at("status") == "skipped: duplicate" ? 1 : 0;
    }
    EXPECT_EQ(duplicates, listed.size());
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RecoveryReport, ::testing::Values("ntfs_basic", "compressed", "unicode"));

TEST(RecoveryReportCli, ReportThatCannotBeMadeStopsBeforeTheCopy)
{
    const fs::path image = FixturePath("ntfs_basic.img");
    if (!fs::exists(image)) {
        GTEST_SKIP() << image << " missing";
    }
    const fs::path out = fs::temp_directory_path() / ("dravik-report-none-" + std::to_string(::getpid()));
    fs::remove_all(out);
    const auto run =
        RunCommand(std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) +
                   " recover --partition 1 --all --to " + Quoted(out.string()) + " --report /nonexistent-folder/r.csv");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("The report could not be written: /nonexistent-folder/r.csv"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out / "Documents"));
    fs::remove_all(out);
}

} // namespace

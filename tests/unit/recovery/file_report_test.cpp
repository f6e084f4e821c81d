// The per-file recovery report: CSV quoting of hostile names, JSON Lines escaping, the status
// words each outcome gives, and the file the report is saved to.
#include "recovery/file_report.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;
using recovery::ExtractOutcome;
using recovery::ReportFormat;

recovery::BatchEvent Event(std::string path, ExtractOutcome outcome)
{
    recovery::BatchEvent event;
    event.relativePath = std::move(path);
    event.result.outcome = outcome;
    return event;
}

struct LineCase
{
    const char* label;
    recovery::BatchEvent event;
    std::string csv;
    std::string json;
};

class ReportLines : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(ReportLines, CsvAndJsonLines)
{
    EXPECT_EQ(recovery::ReportLine(GetParam().event, ReportFormat::Csv), GetParam().csv);
    EXPECT_EQ(recovery::ReportLine(GetParam().event, ReportFormat::JsonLines), GetParam().json);
}

// A digest whose hex form starts with `first` and then repeats "00".
core::Sha256::Digest Digest(std::uint8_t first)
{
    core::Sha256::Digest d{};
    d[0] = first;
    return d;
}
const std::string kZeros62(62, '0');

recovery::BatchEvent Written(std::string path, std::string output, std::uint64_t size,
                             std::optional<core::Sha256::Digest> hash)
{
    recovery::BatchEvent e = Event(std::move(path), ExtractOutcome::Written);
    e.result.path = output;
    e.result.bytesWritten = size;
    e.result.sha256 = hash;
    return e;
}

recovery::BatchEvent Modified(recovery::BatchEvent e, bool renamed, bool incomplete, std::uint64_t unreadable)
{
    e.result.renamed = renamed;
    e.result.incomplete = incomplete;
    e.result.unreadableSectors = unreadable;
    return e;
}

recovery::BatchEvent Folder(std::string path)
{
    recovery::BatchEvent e = Event(std::move(path), ExtractOutcome::CreateFailed);
    e.folder = true;
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Events, ReportLines,
    ::testing::Values(
        LineCase{
            "plain", Written("a/b.txt", "/out/a/b.txt", 12, Digest(0xab)),
            "a/b.txt,/out/a/b.txt,12,written,0,ab" + kZeros62 + "\r\n",
            R"({"source":"a/b.txt","output":"/out/a/b.txt","size":12,"status":"written","unreadableSectors":0,"sha256":"ab)" +
                kZeros62 +
                R"("})"
                "\n"},
        LineCase{
            "comma_quote_newline", Written("x,\"y\"\nz", "/o/x,\"y\"\nz", 1, Digest(0xff)),
            "\"x,\"\"y\"\"\nz\",\"/o/x,\"\"y\"\"\nz\",1,written,0,ff" + kZeros62 + "\r\n",
            R"({"source":"x,\"y\"\nz","output":"/o/x,\"y\"\nz","size":1,"status":"written","unreadableSectors":0,"sha256":"ff)" +
                kZeros62 +
                R"("})"
                "\n"},
        LineCase{"utf8_and_cr", Written("caf\xc3\xa9\r.txt", "/o/c", 0, std::nullopt),
                 "\"caf\xc3\xa9\r.txt\",/o/c,0,written,0,\r\n",
                 "{\"source\":\"caf\xc3\xa9\\r.txt\",\"output\":\"/o/c\",\"size\":0,\"status\":\"written\","
                 "\"unreadableSectors\":0,\"sha256\":\"\"}\n"},
        LineCase{
            "renamed_unreadable", Modified(Written("d", "/o/Copy (1 ) of d", 5, Digest(0xaa)), true, false, 3),
            "d,/o/Copy (1 ) of d,5,renamed,3,aa" + kZeros62 + "\r\n",
            R"({"source":"d","output":"/o/Copy (1 ) of d","size":5,"status":"renamed","unreadableSectors":3,"sha256":"aa)" +
                kZeros62 +
                R"("})"
                "\n"},
        LineCase{"incomplete", Modified(Written("i", "/o/i", 9, Digest(0xbb)), true, true, 0),
                 "i,/o/i,9,incomplete,0,bb" + kZeros62 + "\r\n",
                 R"({"source":"i","output":"/o/i","size":9,"status":"incomplete","unreadableSectors":0,"sha256":"bb)" +
                     kZeros62 +
                     R"("})"
                     "\n"},
        LineCase{
            "duplicate", Event("s", ExtractOutcome::DuplicateSkipped), "s,,0,skipped: duplicate,0,\r\n",
            R"({"source":"s","output":"","size":0,"status":"skipped: duplicate","unreadableSectors":0,"sha256":""})"
            "\n"},
        LineCase{
            "write_failed", Event("w", ExtractOutcome::WriteFailed), "w,,0,error: write failed,0,\r\n",
            R"({"source":"w","output":"","size":0,"status":"error: write failed","unreadableSectors":0,"sha256":""})"
            "\n"},
        LineCase{"cut_short", Event("k", ExtractOutcome::CutBySkip), "k,,0,cut short,0,\r\n",
                 R"({"source":"k","output":"","size":0,"status":"cut short","unreadableSectors":0,"sha256":""})"
                 "\n"},
        LineCase{
            "folder_not_made", Folder("f/g"), "f/g,,0,error: folder not made,0,\r\n",
            R"({"source":"f/g","output":"","size":0,"status":"error: folder not made","unreadableSectors":0,"sha256":""})"
            "\n"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.label); });

TEST(FileReport, FormatFollowsTheFileName)
{
    EXPECT_EQ(recovery::ReportFormatFor("r.jsonl"), ReportFormat::JsonLines);
    EXPECT_EQ(recovery::ReportFormatFor("/a.jsonl/r.csv"), ReportFormat::Csv);
    EXPECT_EQ(recovery::ReportFormatFor("r.json"), ReportFormat::Csv);
    EXPECT_EQ(recovery::ReportFormatFor("r"), ReportFormat::Csv);
}

TEST(FileReport, SavesHeaderAndEveryEventInOrder)
{
    const fs::path dir = fs::temp_directory_path() / ("dravik-file-report-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    recovery::FileReport report;
    report.Add(Written("a", "/o/a", 1, Digest(0x01)));
    report.Add(Event("b", ExtractOutcome::FilteredOut));
    ASSERT_TRUE(report.Save(dir / "r.csv"));
    ASSERT_TRUE(report.Save(dir / "r.jsonl"));
    const auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read(dir / "r.csv"), "source,output,size,status,unreadableSectors,sha256\r\n"
                                   "a,/o/a,1,written,0,01" +
                                       kZeros62 +
                                       "\r\n"
                                       "b,,0,skipped: filtered out,0,\r\n");
    const std::string json = read(dir / "r.jsonl");
    EXPECT_EQ(json.substr(0, json.find('\n')),
              R"({"source":"a","output":"/o/a","size":1,"status":"written","unreadableSectors":0,"sha256":"01)" +
                  kZeros62 + R"("})");
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 2);
    EXPECT_FALSE(report.Save(dir / "missing" / "r.csv"));
    fs::remove_all(dir);
}

} // namespace

// File search: matching, the list each file system and scan method search, the path column and
// stopping or pausing the search.
#include "shell/find_files.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/case_map.h"
#include "core/types.h"
#include "catalog/catalog.h"
#include "shell/name_patterns.h"

namespace shell {
namespace {

struct Hits
{
    std::vector<FindRow> rows;
    FindResult result;
};

Hits Find(const catalog::Catalog& c, std::string_view pattern, int scanMethod = 1)
{
    Hits h;
    core::PauseGate gate;
    core::StopFlag stop;
    h.result = FindFiles(
        c, {pattern, scanMethod},
        [&](const FindRow& row, std::size_t soFar) {
            h.rows.push_back(row);
            EXPECT_EQ(soFar, h.rows.size());
        },
        gate, stop);
    EXPECT_EQ(h.result.rows, h.rows.size());
    return h;
}

std::vector<std::string> Names(const Hits& h)
{
    std::vector<std::string> names;
    for (const FindRow& r : h.rows) {
        names.push_back(r.name);
    }
    return names;
}

void AddFile(catalog::Catalog& c, std::string name, std::uint32_t parent, std::uint64_t size = 1,
             std::uint32_t deleted = 0)
{
    c.AddNtfsFile({.name = std::move(name), .record = 100 + c.fileCount, .parent = parent, .size = size,
                   .deleted = deleted});
    ++c.fileCount;
}

void AddFolder(catalog::Catalog& c, std::string name, std::uint32_t record, std::uint32_t parent)
{
    c.AddNtfsFolder({std::move(name), record, parent, 0, 0, 0, 0, 0});
}

// \DOCS\2005 and a placeholder Dir0 standing for the missing folder record 77.
void FillNtfs(catalog::Catalog& c)
{
    c.volumeParams.type = core::kFsNtfs;
    AddFolder(c, "DOCS", 40, 5);
    AddFolder(c, "2005", 41, 40);
    AddFolder(c, "Dir0", 77, 5);
    AddFile(c, "a.doc", 5, 10);
    AddFile(c, "Report.DOC", 41, 0x1'0000'0000ULL, 1);  // deleted entries are searched too
    AddFile(c, "a.docx", 40);
    AddFile(c, "myreport.txt", 77);
    AddFile(c, "README", 5);
}

TEST(FindFilesMatching, PatternsAreUpperCasedAndRowsShowUpperCaseNames)
{
    catalog::Catalog c;
    FillNtfs(c);
    EXPECT_EQ(Names(Find(c, "*.DOC")), (std::vector<std::string>{"A.DOC", "REPORT.DOC"}));
    EXPECT_EQ(Names(Find(c, "*.doc")), (std::vector<std::string>{"A.DOC", "REPORT.DOC"}));
    EXPECT_EQ(Names(Find(c, "report")), (std::vector<std::string>{"REPORT.DOC", "MYREPORT.TXT"}));
    EXPECT_EQ(Find(c, "*.*").rows.size(), 4u);  // README has no full stop
    EXPECT_EQ(Find(c, "*").rows.size(), 5u);
    const Hits none = Find(c, "");
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.result.outcome, FindOutcome::Completed);
}

TEST(FindFilesPath, RootSubfoldersAndPlaceholders)
{
    catalog::Catalog c;
    FillNtfs(c);
    const Hits h = Find(c, "*");
    ASSERT_EQ(h.rows.size(), 5u);
    EXPECT_EQ(h.rows[0].path, "\\");
    EXPECT_EQ(h.rows[0].size, 10u);
    EXPECT_EQ(h.rows[1].path, "\\DOCS\\2005");
    EXPECT_EQ(h.rows[1].size, 0x1'0000'0000ULL);
    EXPECT_EQ(h.rows[2].path, "\\DOCS");
    EXPECT_EQ(h.rows[3].path, "\\Dir0");
    EXPECT_EQ(h.rows[4].path, "\\");
}

TEST(FindFilesPath, BrokenCyclicAndDeepChainsEnd)
{
    catalog::Catalog c;
    c.volumeParams.type = core::kFsNtfs;
    AddFolder(c, "A", 10, 11);  // A and B are each other's parent
    AddFolder(c, "B", 11, 10);
    AddFolder(c, "SELF", 12, 12);
    AddFolder(c, "LOST", 13, 999);  // no folder carries 999
    EXPECT_EQ(NtfsFolderPath(c, 10), "\\B\\A");  // the parent comes last, the loop stops at it
    EXPECT_EQ(NtfsFolderPath(c, 11), "\\A\\B");
    EXPECT_EQ(NtfsFolderPath(c, 12), "\\SELF");
    EXPECT_EQ(NtfsFolderPath(c, 13), "\\LOST");
    EXPECT_EQ(NtfsFolderPath(c, 5), "\\");
    EXPECT_EQ(NtfsFolderPath(c, 4242), "\\");

    catalog::Catalog deep;
    const std::uint32_t depth = static_cast<std::uint32_t>(kMaxPathDepth) + 500;
    for (std::uint32_t i = 0; i < depth; ++i) {
        AddFolder(deep, "D", 1000 + i, i == 0 ? 5 : 999 + i);
    }
    const std::string path = NtfsFolderPath(deep, 999 + depth);
    EXPECT_EQ(path.size(), 2 * kMaxPathDepth);
}

TEST(FindFilesLists, StandardScanSearchesNtfsFilesOnly)
{
    catalog::Catalog c;
    FillNtfs(c);
    c.AddFoundFile({"found.doc", 100, 5, 0, 0, 0, 1, 0, 0});
    EXPECT_EQ(Names(Find(c, "FOUND")), std::vector<std::string>{});
    c.volumeParams.type = 0;  // no file system shown: no list
    EXPECT_TRUE(Find(c, "*").rows.empty());
}

TEST(FindFilesLists, AdvanceScanSearchesFoundFilesInsideTheVolume)
{
    catalog::Catalog c;
    c.volumeParams.type = core::kFsNtfs;
    c.volumeParams.clusterBase = 1000;
    c.volumeParams.endSector = 2000;
    AddFolder(c, "MOUNTED", 40, 5);
    AddFile(c, "catalog.txt", 5);  // NTFS file entries are not searched in Advance mode
    for (const core::Sector sector : {999u, 1000u, 1500u, 2000u, 2001u}) {
        c.AddFoundFile({"F" + std::to_string(sector) + ".TXT", sector, 40, 0, 0, 0, sector, 0, 0});
    }
    // The files the listing of the mount shows: the volume's first sector (its boot sector) is
    // not part of it.
    const Hits h = Find(c, "*.txt", 2);
    EXPECT_EQ(Names(h), (std::vector<std::string>{"F1500.TXT", "F2000.TXT"}));
    EXPECT_EQ(h.rows[0].path, "\\MOUNTED");
    EXPECT_EQ(h.rows[1].size, 2000u);
}

TEST(FindFilesLists, FatSearchesFatFilesByCluster)
{
    for (const core::FsTypeCode type : {core::kFsFat16, core::kFsFat32}) {
        catalog::Catalog c;
        c.volumeParams.type = type;
        c.AddFatFolder({"DOCS", 3, 0, 0, 0, 0, 0, 0});
        c.AddFatFolder({"2005", 9, 3, 0, 0, 0, 0, 0});
        c.AddFatFile({"ROOT.DOC", 20, 0, 0, 0, 4, 0, 0});
        c.AddFatFile({"deep.doc", 21, 9, 0, 0, 0xFFFFFFFFu, 1, 0});
        AddFile(c, "ntfs.doc", 5);  // not searched for FAT
        const Hits h = Find(c, "*.DOC", 1);
        ASSERT_EQ(Names(h), (std::vector<std::string>{"ROOT.DOC", "DEEP.DOC"}));
        EXPECT_EQ(h.rows[0].path, "\\");
        EXPECT_EQ(h.rows[1].path, "\\DOCS\\2005");
        EXPECT_EQ(h.rows[1].size, 0xFFFFFFFFu);
    }
}

TEST(FindFilesStop, StopEndsTheSearchAndKeepsTheRowsSoFar)
{
    catalog::Catalog c;
    FillNtfs(c);
    core::PauseGate gate;
    core::StopFlag stop;
    stop.Request();
    EXPECT_EQ(FindFiles(c, {"*"}, nullptr, gate, stop).outcome, FindOutcome::Stopped);

    stop.Clear();
    std::vector<std::string> seen;
    const FindResult r = FindFiles(
        c, {"*"},
        [&](const FindRow& row, std::size_t soFar) {
            seen.push_back(row.name);
            if (soFar == 2) {
                stop.Request();
            }
        },
        gate, stop);
    EXPECT_EQ(r.outcome, FindOutcome::Stopped);
    EXPECT_EQ(r.rows, 2u);
    EXPECT_EQ(seen.size(), 2u);
}

// The stop question: the window closes the gate, asks, and opens it again with the answer.
FindResult SearchWithQuestion(const catalog::Catalog& c, bool answerYes, std::vector<std::string>& seen)
{
    core::PauseGate gate;
    core::StopFlag stop;
    std::promise<void> asked;
    std::future<FindResult> done = std::async(std::launch::async, [&] {
        return FindFiles(
            c, {"*"},
            [&](const FindRow& row, std::size_t soFar) {
                seen.push_back(row.name);
                if (soFar == 1) {
                    gate.Close();
                    asked.set_value();
                }
            },
            gate, stop);
    });
    asked.get_future().wait();
    if (answerYes) {
        stop.Request();
    }
    gate.Open();
    return done.get();
}

TEST(FindFilesStop, QuestionAnsweredNoContinuesYesStopsAtTheGate)
{
    catalog::Catalog c;
    FillNtfs(c);
    std::vector<std::string> seen;
    FindResult r = SearchWithQuestion(c, false, seen);
    EXPECT_EQ(r.outcome, FindOutcome::Completed);
    EXPECT_EQ(r.rows, 5u);

    seen.clear();
    r = SearchWithQuestion(c, true, seen);
    EXPECT_EQ(r.outcome, FindOutcome::Stopped);
    EXPECT_EQ(r.rows, 1u);
    EXPECT_EQ(seen, std::vector<std::string>{"A.DOC"});
}

// A volume's $UpCase table that folds ASCII and, unlike the built-in map, Georgian Mkhedruli
// (U+10D0..) onto Mtavruli (U+1C90..); it leaves Cyrillic alone.
const core::UpCaseTable& GeorgianTable()
{
    static const core::UpCaseTable table = [] {
        std::vector<std::uint8_t> bytes(core::UpCaseTable::kBytes);
        for (std::size_t i = 0; i < core::UpCaseTable::kUnits; ++i) {
            std::size_t up = i;
            if (i >= 'a' && i <= 'z') {
                up = i - 0x20;
            } else if (i >= 0x10D0 && i <= 0x10FA) {
                up = i - 0x10D0 + 0x1C90;
            }
            bytes[2 * i] = static_cast<std::uint8_t>(up);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(up >> 8);
        }
        return *core::UpCaseTable::FromBytes(bytes);
    }();
    return table;
}

struct TableCase
{
    const char* name;      // UTF-8
    const char* pattern;   // UTF-8
    bool builtInMatches;
    bool tableMatches;
};

class FindThroughTable : public ::testing::TestWithParam<TableCase>
{
};

// The search, the file filters and the rows' names all follow the table given, and only it.
TEST_P(FindThroughTable, MatchesAsTheTableFolds)
{
    const TableCase& t = GetParam();
    ASSERT_EQ(core::SimpleUpperCase(U'\u10D0'), U'\u10D0');  // the built-in map leaves Georgian alone
    catalog::Catalog c;
    c.volumeParams.type = core::kFsNtfs;
    AddFile(c, t.name, 5);
    core::PauseGate gate;
    core::StopFlag stop;
    for (const bool withTable : {false, true}) {
        SCOPED_TRACE(withTable ? "table" : "built-in map");
        const core::UpCaseTable* table = withTable ? &GeorgianTable() : nullptr;
        const bool expected = withTable ? t.tableMatches : t.builtInMatches;
        std::vector<std::string> names;
        FindFiles(
            c, {t.pattern, 1, table}, [&](const FindRow& row, std::size_t) { names.push_back(row.name); }, gate,
            stop);
        EXPECT_EQ(names.size(), expected ? 1u : 0u);
        if (!names.empty()) {
            EXPECT_EQ(names[0], UpperCaseName(t.name, table));
        }
        FilterPatterns filters;
        ASSERT_EQ(filters.Add(t.pattern), FilterPatterns::AddOutcome::Added);
        EXPECT_EQ(AdmitByFilters(filters, t.name, table), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FindThroughTable,
    ::testing::Values(
        // ანი.txt found by *ᲐᲜᲘ* only through the table; by the name as typed either way.
        TableCase{"\xe1\x83\x90\xe1\x83\x9c\xe1\x83\x98.txt", "*\xe1\xb2\x90\xe1\xb2\x9c\xe1\xb2\x98*", false, true},
        TableCase{"\xe1\x83\x90\xe1\x83\x9c\xe1\x83\x98.txt", "\xe1\x83\x90\xe1\x83\x9c\xe1\x83\x98", true, true},
        // отчёт.doc found by ОТЧЁТ* only through the built-in map: the table leaves Cyrillic alone.
        TableCase{"\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82.doc", "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2*", true, false},
        // ASCII folds alike.
        TableCase{"report.doc", "REP*.DOC", true, true}));

}  // namespace
}  // namespace shell

// Name matcher, file-filter table and admission test.
#include "shell/name_patterns.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace shell {
namespace {

struct MatchCase
{
    const char* name;
    const char* pattern;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os)
{
    *os << '"' << c.name << "\" ~ \"" << c.pattern << "\" -> " << c.matches;
}

class MatchPatternTest : public ::testing::TestWithParam<MatchCase>
{
};

TEST_P(MatchPatternTest, GivesTheRulesAnswer)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(MatchPattern(c.name, c.pattern), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MatchPatternTest,
    ::testing::Values(
        // 1: empty name or pattern never matches, not even with "*".
        MatchCase{"", "*", false}, MatchCase{"", "", false}, MatchCase{"A.DOC", "", false},
        MatchCase{"", "*.*", false},
        // 2: without '*' a shorter name never matches.
        MatchCase{"AB", "ABC", false}, MatchCase{"AB", "A??", false}, MatchCase{"AB", "??", true},
        // 3: "*" matches every name; a run of stars is one star.
        MatchCase{"X", "*", true}, MatchCase{"NO DOT", "*", true}, MatchCase{"X", "***", true},
        // 4: "*.*" needs a full stop somewhere.
        MatchCase{"README", "*.*", false}, MatchCase{"A.B", "*.*", true}, MatchCase{".", "*.*", true},
        MatchCase{"TRAILING.", "*.*", true},
        // 5: plain text matches anywhere.
        MatchCase{"MYREPORT.DOC", "REP", true}, MatchCase{"REP", "REP", true}, MatchCase{"MYREPORT.DOC", "RPE", false},
        MatchCase{"MYREPORT.DOC", "DOC", true}, MatchCase{"MYREPORT.DOC", "myreport", false},
        // 6: '?' without '*' compares with the start of the name only.
        MatchCase{"ABC", "A?C", true}, MatchCase{"ABCD", "A?C", true}, MatchCase{"AXD", "A?C", false},
        MatchCase{"XABC", "A?C", false}, MatchCase{"A.C", "A?C", true}, MatchCase{"ABC", "???", true},
        // 7: stars with anchored head and tail.
        MatchCase{"A.DOC", "*.DOC", true}, MatchCase{".DOC", "*.DOC", true}, MatchCase{"A.DOCX", "*.DOC", false},
        MatchCase{"DOC", "*.DOC", false}, MatchCase{"REPORT.TXT", "REP*", true}, MatchCase{"REP", "REP*", true},
        MatchCase{"MYREP", "REP*", false}, MatchCase{"MYREPORT", "*REP*", true}, MatchCase{"REPORT", "*REP*", true},
        MatchCase{"MYRE", "*REP*", false}, MatchCase{"REPORT.TXT", "REP**", true},
        // head and tail may not share characters
        MatchCase{"ABC", "AB*BC", false}, MatchCase{"ABBC", "AB*BC", true}, MatchCase{"ABXBC", "AB*BC", true},
        // parts between stars in order, leftmost fit
        MatchCase{"A1B2C", "A*B*C", true}, MatchCase{"ACB", "A*B*C", false}, MatchCase{"AXBXBXC", "A*B*B*C", true},
        MatchCase{"ABC", "A*B*B*C", false}, MatchCase{"AABAB", "*AB*AB", true}, MatchCase{"ABAB", "*ABAB*", true},
        MatchCase{"A**B", "A**B", true}, MatchCase{"AB", "A**B", true},
        // '?' inside star patterns takes exactly one character
        MatchCase{"A.DOC", "?.DOC*", true}, MatchCase{".DOC", "?.DOC*", false}, MatchCase{"REPORT.TXT", "*.T?T", true},
        MatchCase{"REPORT.TX", "*.T?T", false}, MatchCase{"X", "*?", true}, MatchCase{"X", "*??", false},
        MatchCase{"AB", "?*?", true}, MatchCase{"A", "?*?", false}));

TEST(UpperCaseName, TurnsOnlyAsciiLetters)
{
    EXPECT_EQ(UpperCaseName("report.doc"), "REPORT.DOC");
    EXPECT_EQ(UpperCaseName("\xe9t\xe9-1"), "\xe9T\xe9-1");
}

TEST(FilterPatterns, StoresUpToNineteenCharactersAsTyped)
{
    FilterPatterns filters;
    const std::string nineteen(19, 'x');
    EXPECT_EQ(filters.Add(nineteen), FilterPatterns::AddOutcome::Added);
    EXPECT_EQ(filters.Add(std::string(20, 'y')), FilterPatterns::AddOutcome::TooLong);
    EXPECT_EQ(filters.Add(std::string(300, 'y')), FilterPatterns::AddOutcome::TooLong);
    EXPECT_EQ(filters.Add(""), FilterPatterns::AddOutcome::Empty);
    EXPECT_EQ(filters.Add(std::string_view("A\0B", 3)), FilterPatterns::AddOutcome::HoldsNul);
    EXPECT_EQ(filters.Add("*.Doc"), FilterPatterns::AddOutcome::Added);
    // A refused pattern leaves its neighbours intact (a long one does not spill into the next slot).
    ASSERT_EQ(filters.Count(), 2u);
    EXPECT_EQ(filters.At(0), nineteen);
    EXPECT_EQ(filters.At(1), "*.Doc");
}

TEST(FilterPatterns, HoldsNinetyNinePatternsAtMost)
{
    FilterPatterns filters;
    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(filters.Add("P" + std::to_string(i)), FilterPatterns::AddOutcome::Added) << i;
    EXPECT_EQ(filters.Add("ONE MORE"), FilterPatterns::AddOutcome::TableFull);
    EXPECT_EQ(filters.Count(), 99u);
    EXPECT_EQ(filters.At(0), "P0");
    EXPECT_EQ(filters.At(98), "P98");
    filters.Clear();
    EXPECT_EQ(filters.Count(), 0u);
    EXPECT_EQ(filters.Add("AGAIN"), FilterPatterns::AddOutcome::Added);
    EXPECT_EQ(filters.At(0), "AGAIN");
}

TEST(FilterPatterns, RemoveTakesEveryExactCopyAndKeepsOrder)
{
    FilterPatterns filters;
    for (const char* p : {"*.doc", "A", "*.DOC", "*.doc", "B"})
        filters.Add(p);
    // A longer pattern in a slot must not survive as a stale tail after a shorter one moves in.
    EXPECT_EQ(filters.Remove("*.doc"), 2u);
    ASSERT_EQ(filters.Count(), 3u);
    EXPECT_EQ(filters.At(0), "A");
    EXPECT_EQ(filters.At(1), "*.DOC");
    EXPECT_EQ(filters.At(2), "B");
    EXPECT_EQ(filters.Remove("missing"), 0u);
    EXPECT_EQ(filters.Count(), 3u);
}

TEST(AdmitByFilters, EmptyTableAdmitsEverything)
{
    const FilterPatterns filters;
    for (const char* name : {"notes.txt", "", "x"})
        EXPECT_TRUE(AdmitByFilters(filters, name)) << name;
}

TEST(AdmitByFilters, AdmitsWhenAnyPatternMatchesWithoutRegardToCase)
{
    FilterPatterns filters;
    filters.Add("*.DOC");
    filters.Add("*.xls");
    EXPECT_TRUE(AdmitByFilters(filters, "report.doc"));
    EXPECT_TRUE(AdmitByFilters(filters, "TABLE.xls"));
    EXPECT_TRUE(AdmitByFilters(filters, "Table.XLS"));
    EXPECT_FALSE(AdmitByFilters(filters, "notes.txt"));
    EXPECT_FALSE(AdmitByFilters(filters, "report.docx"));
    EXPECT_FALSE(AdmitByFilters(filters, ""));
}

}  // namespace
}  // namespace shell

// Name matcher, file-filter table and admission test.
#include "shell/name_patterns.h"

#include <gtest/gtest.h>

#include <vector>

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

// Characters, not bytes: a '?' takes a whole character (two-, three- or four-byte UTF-8, an emoji
// that is a surrogate pair on disk), and name lengths count characters.
INSTANTIATE_TEST_SUITE_P(
    CodePoints, MatchPatternTest,
    ::testing::Values(
        MatchCase{"\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC", "*\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2*", true},  // ОТЧЁТ
        MatchCase{"\xd0\xa4\xd0\x9e", "??", true}, MatchCase{"\xd0\xa4\xd0\x9e", "???", false},        // ФО is two characters
        MatchCase{"\xd0\xa4\xd0\x9e", "\xd0\xa4?", true},
        MatchCase{"\xf0\x9f\x98\x80.TXT", "?.TXT", true}, MatchCase{"\xf0\x9f\x98\x80.TXT", "??.TXT", false},
        MatchCase{"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.TXT", "*\xe8\xaa\x9e*", true},           // 語 in 日本語
        MatchCase{"\xe6\x97\xa5\xe6\x9c\xac\xe4\xba\x9e.TXT", "*\xe8\xaa\x9e*", false},          // not in 日本亞
        MatchCase{"\xe6\x97\xa5.TXT", "*?.TXT", true}, MatchCase{"\xe6\x97\xa5.TXT", "?????", true},
        MatchCase{"\xe6\x97\xa5.TXT", "??????", false},
        // The second byte of Ф is not a character of its own.
        MatchCase{"\xd0\xa4", "\xa4", false}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return "cp" + std::to_string(info.index); });

TEST(UpperCaseName, UsesTheUnicodeCaseMap)
{
    EXPECT_EQ(UpperCaseName("report.doc"), "REPORT.DOC");
    EXPECT_EQ(UpperCaseName("\xc3\xa9t\xc3\xa9-1"), "\xc3\x89T\xc3\x89-1");                       // été
    EXPECT_EQ(UpperCaseName("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82 6.doc"),
              "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC");                                // Отчёт 6.doc
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

TEST(FilterPatterns, CountsCharactersNotBytes)
{
    FilterPatterns filters;
    std::string cyrillic;  // 19 Cyrillic letters: 38 bytes
    for (int i = 0; i < 19; ++i)
        cyrillic += "\xd0\x96";
    std::string emoji;  // 19 emoji: 76 bytes, the most a slot holds
    for (int i = 0; i < 19; ++i)
        emoji += "\xf0\x9f\x98\x80";
    EXPECT_EQ(filters.Add(cyrillic), FilterPatterns::AddOutcome::Added);
    EXPECT_EQ(filters.Add(emoji), FilterPatterns::AddOutcome::Added);
    EXPECT_EQ(filters.Add(cyrillic + "\xd0\x96"), FilterPatterns::AddOutcome::TooLong);
    EXPECT_EQ(filters.Add("*.txt"), FilterPatterns::AddOutcome::Added);
    ASSERT_EQ(filters.Count(), 3u);
    EXPECT_EQ(filters.At(0), cyrillic);
    EXPECT_EQ(filters.At(1), emoji);
    EXPECT_EQ(filters.At(2), "*.txt");
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

TEST(AdmitByFilters, FoldsCaseOfEveryScriptTheMapKnows)
{
    FilterPatterns filters;
    filters.Add("*\xce\xa4\xce\x95\xce\x9b\xce\x9f\xce\xa3*");  // *ΤΕΛΟΣ*
    filters.Add("\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82*");     // отчёт*
    EXPECT_TRUE(AdmitByFilters(filters, "\xcf\x84\xce\xad\xce\xbb\xce\xbf\xcf\x82.txt") == false);  // τέλος: έ is not Ε
    EXPECT_TRUE(AdmitByFilters(filters, "\xcf\x84\xce\xb5\xce\xbb\xce\xbf\xcf\x82.txt"));            // τελος, final sigma
    EXPECT_TRUE(AdmitByFilters(filters, "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC"));
    EXPECT_FALSE(AdmitByFilters(filters, "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x95\xd0\xa2 6.DOC"));       // Е is not Ё

    // Through a volume's $UpCase table, where one was read: here one that folds only ASCII.
    std::vector<std::uint8_t> bytes(core::UpCaseTable::kBytes);
    for (std::size_t i = 0; i < core::UpCaseTable::kUnits; ++i) {
        const std::size_t up = i >= 'a' && i <= 'z' ? i - 0x20 : i;
        bytes[2 * i] = static_cast<std::uint8_t>(up);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(up >> 8);
    }
    const auto asciiOnly = core::UpCaseTable::FromBytes(bytes);
    ASSERT_TRUE(asciiOnly);
    EXPECT_FALSE(AdmitByFilters(filters, "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC", &*asciiOnly));
    EXPECT_TRUE(AdmitByFilters(filters, "\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82 6.DOC", &*asciiOnly));
}

}  // namespace
}  // namespace shell

// NTFS names from UTF-16LE to UTF-8, the UTF-8 helpers and the upper-case maps.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/case_map.h"
#include "core/ntfs_names.h"

namespace {

std::vector<std::uint8_t> Utf16Le(std::u16string_view units)
{
    std::vector<std::uint8_t> bytes;
    for (const char16_t u : units) {
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return bytes;
}

struct Utf16Case
{
    const char* label;
    std::u16string units;
    std::string utf8;
};

class NameFromUtf16Test : public ::testing::TestWithParam<Utf16Case>
{
};

TEST_P(NameFromUtf16Test, DecodesToUtf8)
{
    const Utf16Case& c = GetParam();
    const auto bytes = Utf16Le(c.units);
    EXPECT_EQ(core::NameFromUtf16(bytes, c.units.size()), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameFromUtf16Test,
    ::testing::Values(
        Utf16Case{"ascii", u"readme.txt", "readme.txt"},
        Utf16Case{"latin1", u"caf\u00e9 \u00ff", "caf\xc3\xa9 \xc3\xbf"},
        Utf16Case{"cyrillic", u"\u0424\u043e\u0442\u043e", "\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe"},
        Utf16Case{"cjk", u"\u65e5\u672c\u8a9e", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
        Utf16Case{"surrogate_pair", u"\xd83d\xde00.txt", "\xf0\x9f\x98\x80.txt"},
        Utf16Case{"highest_pair", u"\xdbff\xdfff", "\xf4\x8f\xbf\xbf"},
        Utf16Case{"lone_high_then_text", u"a\xd83d" u"b", "a\xef\xbf\xbd" "b"},
        Utf16Case{"lone_high_at_end", u"a\xd83d", "a\xef\xbf\xbd"},
        Utf16Case{"lone_low", u"\xde00x", "\xef\xbf\xbdx"},
        Utf16Case{"two_highs_then_low", u"\xd83d\xd83d\xde00", "\xef\xbf\xbd\xf0\x9f\x98\x80"},
        Utf16Case{"reversed_pair", u"\xde00\xd83d", "\xef\xbf\xbd\xef\xbf\xbd"},
        Utf16Case{"bmp_edge", u"\u07ff\u0800\uffff", "\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf"},
        Utf16Case{"nul_kept", std::u16string(u"a\0b", 3), std::string("a\0b", 3)}),
    [](const ::testing::TestParamInfo<Utf16Case>& info) { return std::string(info.param.label); });

TEST(NameFromUtf16, NeverReadsPastTheBytesOrTheLimit)
{
    const auto bytes = Utf16Le(u"abc");
    EXPECT_EQ(core::NameFromUtf16(bytes, 100), "abc");
    EXPECT_EQ(core::NameFromUtf16(std::span(bytes).first(5), 3), "ab");  // half a unit is dropped
    EXPECT_EQ(core::NameFromUtf16({}, 3), "");

    // 300 units given: 255 are a name.
    const auto many = Utf16Le(std::u16string(300, u'\u0416'));
    EXPECT_EQ(core::CodePointCount(core::NameFromUtf16(many, 300)), 255u);

    // A pair cut by the 255-unit limit leaves its high half alone.
    std::u16string cut(254, u'x');
    cut += u"\xd83d\xde00";
    const std::string name = core::NameFromUtf16(Utf16Le(cut), cut.size());
    EXPECT_EQ(name, std::string(254, 'x') + "\xef\xbf\xbd");
}

TEST(NameFromUtf16, DistinctLowBytesStayDistinct)
{
    // U+8A9E and U+4E9E share their low byte: names keeping only low bytes could not tell these apart.
    const auto a = Utf16Le(u"\u65e5\u672c\u8a9e.txt");
    const auto b = Utf16Le(u"\u65e5\u672c\u4e9e.txt");
    EXPECT_NE(core::NameFromUtf16(a, 7), core::NameFromUtf16(b, 7));
}

struct Utf8Case
{
    const char* label;
    std::string bytes;
    std::u32string codePoints;
};

class NextCodePointTest : public ::testing::TestWithParam<Utf8Case>
{
};

TEST_P(NextCodePointTest, DecodesOrReplaces)
{
    const Utf8Case& c = GetParam();
    std::u32string got;
    for (std::size_t at = 0; at < c.bytes.size();) {
        const std::size_t before = at;
        got.push_back(core::NextCodePoint(c.bytes, at));
        ASSERT_GT(at, before);
        ASSERT_LE(at, c.bytes.size());
    }
    EXPECT_EQ(got, c.codePoints);
    EXPECT_EQ(core::CodePointCount(c.bytes), c.codePoints.size());
}

INSTANTIATE_TEST_SUITE_P(
    Utf8, NextCodePointTest,
    ::testing::Values(Utf8Case{"ascii", "aZ", U"aZ"}, Utf8Case{"two_byte", "\xc3\xa9", U"\u00e9"},
                      Utf8Case{"four_byte", "\xf0\x9f\x98\x80", U"\U0001F600"},
                      Utf8Case{"overlong", "\xc0\xaf", U"\ufffd\ufffd"},
                      Utf8Case{"overlong_three", "\xe0\x80\xaf", U"\ufffd\ufffd\ufffd"},
                      Utf8Case{"encoded_surrogate", "\xed\xa0\x80", U"\ufffd\ufffd\ufffd"},
                      Utf8Case{"past_max", "\xf4\x90\x80\x80", U"\ufffd\ufffd\ufffd\ufffd"},
                      Utf8Case{"cut_short", "a\xe6\x97", U"a\ufffd\ufffd"},
                      Utf8Case{"stray_continuation", "\x80z", U"\ufffdz"},
                      Utf8Case{"latin1_byte", "caf\xe9", U"caf\ufffd"}),
    [](const ::testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.label); });

TEST(Utf8, FirstCodePointsCutsBetweenCharacters)
{
    const std::string text = "\xd0\xa4x\xf0\x9f\x98\x80y";
    EXPECT_EQ(core::FirstCodePoints(text, 0), "");
    EXPECT_EQ(core::FirstCodePoints(text, 1), "\xd0\xa4");
    EXPECT_EQ(core::FirstCodePoints(text, 3), "\xd0\xa4x\xf0\x9f\x98\x80");
    EXPECT_EQ(core::FirstCodePoints(text, 10), text);
}

TEST(Utf8, Latin1RoundTripAndRefusal)
{
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
    }
    const std::string utf8 = core::Latin1ToUtf8(all);
    EXPECT_EQ(core::Latin1ToUtf8("a\xE9"), "a\xC3\xA9");
    EXPECT_EQ(core::Utf8ToLatin1(utf8), all);
    EXPECT_FALSE(core::Utf8ToLatin1("\xd0\xa4"));          // U+0424
    EXPECT_FALSE(core::Utf8ToLatin1("\xef\xbf\xbd"));      // U+FFFD, a replaced surrogate
    EXPECT_FALSE(core::Utf8ToLatin1("caf\xe9"));           // not UTF-8
    EXPECT_EQ(core::Utf8ToLatin1(""), "");
}

struct UpperCase
{
    const char* label;
    std::string in;
    std::string out;
};

class SimpleUpperCaseTest : public ::testing::TestWithParam<UpperCase>
{
};

TEST_P(SimpleUpperCaseTest, Maps)
{
    EXPECT_EQ(core::UpperCaseUtf8(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, SimpleUpperCaseTest,
    ::testing::Values(UpperCase{"ascii", "report 6.doc", "REPORT 6.DOC"},
                      UpperCase{"latin1", "caf\xc3\xa9 \xc3\xbf", "CAF\xc3\x89 \xc5\xb8"},
                      UpperCase{"sharp_s_stays", "stra\xc3\x9f" "e", "STRA\xc3\x9f" "E"},  // 1:2 mapping left out
                      UpperCase{"latin_ext_a", "\xc4\x81\xc5\xbe", "\xc4\x80\xc5\xbd"},         // ā ž
                      UpperCase{"cyrillic", "\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82", "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2"},
                      UpperCase{"greek_final_sigma", "\xcf\x82\xce\xac", "\xce\xa3\xce\x86"},   // ς ά
                      UpperCase{"armenian", "\xd5\xa2", "\xd4\xb2"},                           // բ
                      UpperCase{"fullwidth", "\xef\xbd\x97", "\xef\xbc\xb7"},                   // ｗ
                      UpperCase{"cjk_unchanged", "\xe6\x97\xa5", "\xe6\x97\xa5"},
                      UpperCase{"emoji_unchanged", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"}),
    [](const ::testing::TestParamInfo<UpperCase>& info) { return std::string(info.param.label); });

TEST(SimpleUpperCase, EveryMappedCharacterIsAFixedPointOfItsUpperCase)
{
    // Upper-casing twice changes nothing: the table never maps to a character it maps again.
    for (char32_t c = 0; c < 0x10000; ++c) {
        const char32_t up = core::SimpleUpperCase(c);
        ASSERT_EQ(core::SimpleUpperCase(up), up) << std::hex << static_cast<std::uint32_t>(c);
    }
}

TEST(UpCaseTable, UsedWhereGiven)
{
    std::vector<std::uint8_t> bytes(core::UpCaseTable::kBytes);
    for (std::size_t i = 0; i < core::UpCaseTable::kUnits; ++i) {
        std::size_t up = i;
        if (i >= 'a' && i <= 'z')
            up = i - 0x20;
        if (i == 0x00E9)  // é stays é on this volume
            up = i;
        if (i == 0x0434)  // д -> Д
            up = 0x0414;
        if (i == 0x0101)  // a surrogate target is refused
            up = 0xD800;
        bytes[2 * i] = static_cast<std::uint8_t>(up & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(up >> 8);
    }
    const auto table = core::UpCaseTable::FromBytes(bytes);
    ASSERT_TRUE(table);
    EXPECT_EQ(core::UpperCaseUtf8("ab\xc3\xa9\xd0\xb4\xc4\x81\xf0\x9f\x98\x80", &*table),
              "AB\xc3\xa9\xd0\x94\xc4\x81\xf0\x9f\x98\x80");

    EXPECT_FALSE(core::UpCaseTable::FromBytes(std::span(bytes).first(core::UpCaseTable::kBytes - 1)));
    std::vector<std::uint8_t> zeros(core::UpCaseTable::kBytes);
    EXPECT_FALSE(core::UpCaseTable::FromBytes(zeros));
}

}  // namespace

// LZNT1 decompression on hand-made chunks: literals, back-references on both sides of every
// change of the displacement/length split, stored chunks, the end of a unit, and malformed chunks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/lznt1.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using recovery::DecompressLznt1;
using recovery::kLznt1ChunkBytes;

// One token of a compressed chunk: a literal byte or a back-reference word as stored.
struct Token
{
    bool reference = false;
    std::uint16_t value = 0;
};

Token Lit(char c) { return {false, static_cast<std::uint8_t>(c)}; }
Token Ref(std::uint16_t word) { return {true, word}; }

std::vector<Token> Lits(const std::string& text)
{
    std::vector<Token> tokens;
    for (const char c : text) {
        tokens.push_back(Lit(c));
    }
    return tokens;
}

// The body of a compressed chunk: a flag byte before every 8 tokens.
Bytes Body(const std::vector<Token>& tokens)
{
    Bytes body;
    for (std::size_t i = 0; i < tokens.size(); i += 8) {
        const std::size_t flagAt = body.size();
        body.push_back(0);
        for (std::size_t j = i; j < tokens.size() && j < i + 8; ++j) {
            if (tokens[j].reference) {
                body[flagAt] = static_cast<std::uint8_t>(body[flagAt] | (1U << (j - i)));
                body.push_back(static_cast<std::uint8_t>(tokens[j].value));
                body.push_back(static_cast<std::uint8_t>(tokens[j].value >> 8));
            } else {
                body.push_back(static_cast<std::uint8_t>(tokens[j].value));
            }
        }
    }
    return body;
}

// A chunk: header (stored length - 3, signature 3, compressed bit) then the body.
Bytes Chunk(const Bytes& body, bool compressed = true)
{
    const unsigned header = static_cast<unsigned>(body.size() + 2 - 3) | 0x3000U | (compressed ? 0x8000U : 0U);
    Bytes chunk{static_cast<std::uint8_t>(header), static_cast<std::uint8_t>(header >> 8)};
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Text(const Bytes& out, std::size_t n) { return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)); }

bool AllZero(const Bytes& out, std::size_t from)
{
    for (std::size_t i = from; i < out.size(); ++i) {
        if (out[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(Lznt1, PublishedExampleDecodes)
{
    // The worked example of the LZNT1 description: one 59-byte chunk of a 142-byte string.
    const Bytes in{0x38, 0xb0, 0x88, 0x46, 0x23, 0x20, 0x00, 0x20, 0x47, 0x20, 0x41, 0x00, 0x10, 0xa2, 0x47,
                   0x01, 0xa0, 0x45, 0x20, 0x44, 0x00, 0x08, 0x45, 0x01, 0x50, 0x79, 0x00, 0xc0, 0x45, 0x20,
                   0x05, 0x24, 0x13, 0x88, 0x05, 0xb4, 0x02, 0x4a, 0x44, 0xef, 0x03, 0x58, 0x02, 0x8c, 0x09,
                   0x16, 0x01, 0x48, 0x45, 0x00, 0xbe, 0x00, 0x9e, 0x00, 0x04, 0x01, 0x18, 0x90, 0x00};
    std::string expected = "F# F# G A A G F# E D D E F# F# E E F# F# G A A G F# E D D E F# E D D E E F# D E F# G "
                           "F# D E F# G F# E D E A F# F# G A A G F# E D D E F# E D D";
    expected.push_back('\0');
    ASSERT_EQ(expected.size(), 142u);
    Bytes out(kLznt1ChunkBytes, 0xEE);
    ASSERT_TRUE(DecompressLznt1(in, out));
    EXPECT_EQ(Text(out, 142), expected);
    EXPECT_TRUE(AllZero(out, 142));
}

TEST(Lznt1, OverlappingReferenceRepeatsItsPattern)
{
    // "ab" then displacement 2, length 9 (4-bit displacement, 12-bit length at position 2).
    std::vector<Token> tokens = Lits("ab");
    tokens.push_back(Ref((1U << 12) | (9 - 3)));
    Bytes out(kLznt1ChunkBytes);
    ASSERT_TRUE(DecompressLznt1(Chunk(Body(tokens)), out));
    EXPECT_EQ(Text(out, 11), "ababababab" "a");
}

// A back-reference after `literals` literal bytes: the same word read with the split that
// position calls for gives displacement `displacement` and length `length`.
struct SplitCase
{
    std::size_t literals;
    unsigned displacementBits;
    std::size_t displacement;
    std::size_t length;
};

class Lznt1Split : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(Lznt1Split, DisplacementBitsFollowThePositionInTheChunk)
{
    const SplitCase& c = GetParam();
    std::string text;
    for (std::size_t i = 0; i < c.literals; ++i) {
        text.push_back(static_cast<char>('A' + (i * 7 + i / 26) % 26));
    }
    std::vector<Token> tokens = Lits(text);
    const unsigned lengthBits = 16 - c.displacementBits;
    tokens.push_back(Ref(static_cast<std::uint16_t>(((c.displacement - 1) << lengthBits) | (c.length - 3))));
    Bytes out(kLznt1ChunkBytes);
    ASSERT_TRUE(DecompressLznt1(Chunk(Body(tokens)), out));
    std::string expected = text;
    for (std::size_t i = 0; i < c.length; ++i) {
        expected.push_back(expected[c.literals - c.displacement + i]);
    }
    EXPECT_EQ(Text(out, expected.size()), expected);
    EXPECT_TRUE(AllZero(out, c.literals + c.length));
}

INSTANTIATE_TEST_SUITE_P(Boundaries, Lznt1Split,
                         ::testing::Values(SplitCase{1, 4, 1, 3}, SplitCase{16, 4, 16, 3}, SplitCase{16, 4, 2, 200},
                                           SplitCase{17, 5, 17, 3}, SplitCase{32, 5, 32, 5}, SplitCase{33, 6, 33, 3},
                                           SplitCase{64, 6, 64, 66}, SplitCase{65, 7, 65, 3},
                                           SplitCase{128, 7, 100, 130}, SplitCase{129, 8, 129, 3},
                                           SplitCase{512, 9, 512, 3}, SplitCase{513, 10, 513, 3},
                                           SplitCase{1024, 10, 1024, 3}, SplitCase{1025, 11, 1025, 18},
                                           SplitCase{2048, 11, 2048, 34}, SplitCase{2049, 12, 2049, 18},
                                           SplitCase{3600, 12, 3600, 18}, SplitCase{3600, 12, 1, 18}));

TEST(Lznt1, StoredChunkIsCopiedAsIs)
{
    Bytes raw(kLznt1ChunkBytes);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    Bytes out(2 * kLznt1ChunkBytes, 0xEE);
    ASSERT_TRUE(DecompressLznt1(Chunk(raw, false), out));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4096), raw);
    EXPECT_TRUE(AllZero(out, 4096));
}

TEST(Lznt1, EveryChunkFillsItsOwn4096Bytes)
{
    // A short first chunk is padded with zeros; the second starts at 4096; a zero header ends the
    // unit even with bytes after it.
    const Bytes in = Cat(Cat(Chunk(Body(Lits("first"))), Chunk(Body(Lits("second")))), Bytes{0, 0, 0x41, 0xB0, 'x'});
    Bytes out(4 * kLznt1ChunkBytes, 0xEE);
    ASSERT_TRUE(DecompressLznt1(in, out));
    EXPECT_EQ(Text(out, 5), "first");
    EXPECT_EQ(std::string(out.begin() + 4096, out.begin() + 4102), "second");
    out[4096] = 0;
    out[0] = out[1] = out[2] = out[3] = out[4] = 0;
    for (std::size_t i = 4097; i < 4102; ++i) {
        out[i] = 0;
    }
    EXPECT_TRUE(AllZero(out, 0));
}

TEST(Lznt1, EmptyInputAndFullOutputEndTheUnit)
{
    Bytes out(kLznt1ChunkBytes, 0xEE);
    ASSERT_TRUE(DecompressLznt1(Bytes{}, out));
    EXPECT_TRUE(AllZero(out, 0));
    // More chunks than the output holds: the ones that fit are decoded.
    const Bytes two = Cat(Chunk(Body(Lits("one"))), Chunk(Body(Lits("two"))));
    ASSERT_TRUE(DecompressLznt1(two, out));
    EXPECT_EQ(Text(out, 3), "one");
}

struct BadCase
{
    const char* name;
    Bytes in;
    std::size_t outBytes;
};

class Lznt1Malformed : public ::testing::TestWithParam<BadCase>
{
};

TEST_P(Lznt1Malformed, IsRejectedWithoutLeavingItsBuffers)
{
    // The input is copied to a buffer of its exact size so that AddressSanitizer sees any read past it.
    const Bytes in = GetParam().in;
    Bytes out(GetParam().outBytes);
    EXPECT_FALSE(DecompressLznt1(in, out));
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, Lznt1Malformed,
    ::testing::Values(
        BadCase{"LengthPastInput", Bytes{0x10, 0xB0, 0x00, 'a', 'b'}, 4096},
        BadCase{"ReferenceAtChunkStart", Chunk(Body({Ref(0x0000)})), 4096},
        BadCase{"DisplacementBeforeChunk", Chunk(Body({Lit('a'), Lit('b'), Ref(0x2000)})), 4096},
        BadCase{"LengthPast4096", Chunk(Body({Lit('a'), Ref(0x0FFF), Ref(0x0FFF)})), 8192},
        BadCase{"ReferenceCutOff", Chunk(Bytes{0x02, 'a', 0x00}), 4096},
        BadCase{"LiteralPast4096", Chunk(Body({Lit('a'), Ref(0x0FFC), Lit('b')})), 8192},
        BadCase{"StoredChunkLongerThanOutput", Chunk(Bytes(4096, 'q'), false), 2048},
        BadCase{"SecondChunkBad", Cat(Chunk(Body(Lits("ok"))), Chunk(Body({Ref(0)}))), 8192}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// SHA-256 against the FIPS 180-4 / NIST example messages, fed whole and in odd pieces.
#include "core/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Vector
{
    const char* label;
    std::string message;
    const char* digest;
};

std::span<const std::uint8_t> Bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

class Sha256Vectors : public ::testing::TestWithParam<Vector>
{
};

TEST_P(Sha256Vectors, WholeMessage)
{
    core::Sha256 hash;
    hash.Update(Bytes(GetParam().message));
    EXPECT_EQ(core::Sha256::Hex(hash.Final()), GetParam().digest);
}

// Pieces of 1, 63, 64 and 65 bytes cross the block boundary at every offset the buffering has.
TEST_P(Sha256Vectors, PiecesOfEverySize)
{
    const std::string& m = GetParam().message;
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{65}, std::size_t{1000}}) {
        core::Sha256 hash;
        for (std::size_t at = 0; at < m.size(); at += piece) {
            hash.Update(Bytes(m).subspan(at, std::min(piece, m.size() - at)));
        }
        EXPECT_EQ(core::Sha256::Hex(hash.Final()), GetParam().digest) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fips180, Sha256Vectors,
    ::testing::Values(Vector{"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
                      Vector{"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                      Vector{"bits448", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                             "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
                      Vector{"bits896",
                             "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
                             "mnopqrsmnopqrstnopqrstu",
                             "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
                      Vector{"millionA", std::string(1000000, 'a'),
                             "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}),
    [](const ::testing::TestParamInfo<Vector>& info) { return std::string(info.param.label); });

TEST(Sha256, ZerosHashLikeWrittenZeros)
{
    const std::vector<std::uint8_t> zeros(10000, 0);
    core::Sha256 written;
    written.Update(std::span<const std::uint8_t>(zeros).first(3));
    written.Update(std::span<const std::uint8_t>(zeros).subspan(3));
    core::Sha256 counted;
    counted.Update(std::span<const std::uint8_t>(zeros).first(3));
    counted.UpdateZeros(zeros.size() - 3);
    EXPECT_EQ(written.Final(), counted.Final());
}

TEST(Sha256, FinalStartsANewMessage)
{
    core::Sha256 hash;
    hash.Update(Bytes("something"));
    hash.Final();
    hash.Update(Bytes("abc"));
    EXPECT_EQ(core::Sha256::Hex(hash.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

} // namespace

// Bounds-checked little-endian view and checked arithmetic.
#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "core/checked_math.h"
#include "core/le_view.h"
#include "core/ntfs_names.h"

namespace {

TEST(LeView, ReadsLittleEndianAndFailsOutOfRange)
{
    const std::array<std::uint8_t, 6> bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0x80};
    core::LeView v(bytes);
    EXPECT_EQ(v.U16(0), 0x0201);
    EXPECT_EQ(v.U32(0), 0x04030201u);
    EXPECT_EQ(v.UVar(4, 2), 0x80FFu);
    EXPECT_TRUE(v.Ok());
    EXPECT_EQ(v.U32(3), 0u);  // straddles the end
    EXPECT_FALSE(v.Ok());
    core::LeView w(bytes);
    EXPECT_EQ(w.U8(std::numeric_limits<std::size_t>::max()), 0);
    EXPECT_FALSE(w.Ok());
}

TEST(LeView, SignExtendsEveryWidth)
{
    const std::array<std::uint8_t, 8> bytes{0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0x00};
    core::LeView v(bytes);
    EXPECT_EQ(v.SVar(0, 1), -1);
    EXPECT_EQ(v.SVar(0, 3), -1);
    EXPECT_EQ(v.SVar(0, 4), 0x7FFFFFFF);
    EXPECT_EQ(v.SVar(4, 4), 0x00800000);
    EXPECT_EQ(v.SVar(0, 8), 0x00800000'7FFFFFFF);
}

TEST(LeView, SubViewsNeverLeaveTheParent)
{
    const std::array<std::uint8_t, 4> bytes{'F', 'I', 'L', 'E'};
    const core::LeView v(bytes);
    EXPECT_TRUE(v.Matches(0, "FILE"));
    EXPECT_FALSE(v.Matches(1, "FILE"));
    EXPECT_TRUE(v.Sub(2, 2).has_value());
    EXPECT_FALSE(v.Sub(3, 2).has_value());
    EXPECT_FALSE(v.Sub(std::numeric_limits<std::size_t>::max(), 2).has_value());
}

TEST(CheckedMath, RefusesOverflow)
{
    EXPECT_EQ(core::CheckedAdd<std::uint32_t>(1, 2), 3u);
    EXPECT_FALSE(core::CheckedAdd<std::uint32_t>(0xFFFFFFFF, 1));
    EXPECT_FALSE(core::CheckedMul<std::int64_t>(std::numeric_limits<std::int64_t>::max(), 2));
    EXPECT_FALSE(core::CheckedSub<std::uint32_t>(0, 1));
}

}  // namespace

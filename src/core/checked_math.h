// Checked arithmetic for values taken from disk or from snapshot files.
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>

namespace core {

// a + b, or empty when the result does not fit T.
template <typename T>
constexpr std::optional<T> CheckedAdd(T a, T b) noexcept
{
    static_assert(std::is_integral_v<T>);
    T out{};
    if (__builtin_add_overflow(a, b, &out)) {
        return std::nullopt;
    }
    return out;
}

// a * b, or empty when the result does not fit T.
template <typename T>
constexpr std::optional<T> CheckedMul(T a, T b) noexcept
{
    static_assert(std::is_integral_v<T>);
    T out{};
    if (__builtin_mul_overflow(a, b, &out)) {
        return std::nullopt;
    }
    return out;
}

// a - b, or empty when the result does not fit T.
template <typename T>
constexpr std::optional<T> CheckedSub(T a, T b) noexcept
{
    static_assert(std::is_integral_v<T>);
    T out{};
    if (__builtin_sub_overflow(a, b, &out)) {
        return std::nullopt;
    }
    return out;
}

}  // namespace core

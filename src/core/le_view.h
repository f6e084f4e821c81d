// Little-endian reads from untrusted bytes: every read is bounds-checked; a read that does not fit
// yields 0 and marks the view failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace core {

// True when [off, off + len) lies inside a buffer of `size` bytes. Cannot overflow.
constexpr bool InRange(std::size_t size, std::size_t off, std::size_t len) noexcept
{
    return off <= size && len <= size - off;
}

class LeView
{
public:
    LeView() noexcept = default;
    explicit LeView(std::span<const std::uint8_t> bytes) noexcept : m_bytes(bytes) {}

    bool Ok() const noexcept { return m_ok; }
    std::size_t Size() const noexcept { return m_bytes.size(); }
    std::span<const std::uint8_t> Bytes() const noexcept { return m_bytes; }

    std::uint8_t U8(std::size_t off) noexcept { return static_cast<std::uint8_t>(UVar(off, 1)); }
    std::uint16_t U16(std::size_t off) noexcept { return static_cast<std::uint16_t>(UVar(off, 2)); }
    std::uint32_t U32(std::size_t off) noexcept { return static_cast<std::uint32_t>(UVar(off, 4)); }
    std::uint64_t U64(std::size_t off) noexcept { return UVar(off, 8); }
    std::int16_t S16(std::size_t off) noexcept { return static_cast<std::int16_t>(SVar(off, 2)); }
    std::int32_t S32(std::size_t off) noexcept { return static_cast<std::int32_t>(SVar(off, 4)); }

    // Unsigned little-endian value of `width` bytes (1..8). Out of range: 0 and !Ok(). Inline:
    // the decoders read every field through it, and with a constant width the loop folds into
    // one load.
    std::uint64_t UVar(std::size_t off, std::size_t width) noexcept
    {
        if (width == 0 || width > 8 || !InRange(m_bytes.size(), off, width)) {
            m_ok = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;) {
            value = (value << 8) | m_bytes[off + i];
        }
        return value;
    }
    // The same value sign-extended from its top bit.
    std::int64_t SVar(std::size_t off, std::size_t width) noexcept;

    // True when the bytes at `off` equal `tag` (false, without failing the view, when out of range).
    bool Matches(std::size_t off, std::string_view tag) const noexcept;

    // A view of [off, off + len), or empty when that range does not fit.
    std::optional<LeView> Sub(std::size_t off, std::size_t len) const noexcept;

private:
    std::span<const std::uint8_t> m_bytes;
    bool m_ok = true;
};

}  // namespace core

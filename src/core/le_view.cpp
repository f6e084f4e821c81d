// Little-endian reads from untrusted bytes.
#include "core/le_view.h"

namespace core {

std::int64_t LeView::SVar(std::size_t off, std::size_t width) noexcept
{
    const std::uint64_t raw = UVar(off, width);
    if (width == 0 || width >= 8) {
        return static_cast<std::int64_t>(raw);
    }
    const std::uint64_t signBit = std::uint64_t{1} << (width * 8 - 1);
    // Two's complement of `width` bytes, sign-extended without signed overflow.
    const std::uint64_t extended = (raw ^ signBit) - signBit;
    return static_cast<std::int64_t>(extended);
}

bool LeView::Matches(std::size_t off, std::string_view tag) const noexcept
{
    if (!InRange(m_bytes.size(), off, tag.size())) {
        return false;
    }
    for (std::size_t i = 0; i < tag.size(); ++i) {
        if (m_bytes[off + i] != static_cast<std::uint8_t>(tag[i])) {
            return false;
        }
    }
    return true;
}

std::optional<LeView> LeView::Sub(std::size_t off, std::size_t len) const noexcept
{
    if (!InRange(m_bytes.size(), off, len)) {
        return std::nullopt;
    }
    return LeView(m_bytes.subspan(off, len));
}

}  // namespace core

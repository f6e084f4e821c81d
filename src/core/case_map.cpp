// Upper-casing of names: the built-in simple case map and NTFS $UpCase tables.
#include "core/case_map.h"

#include <algorithm>

#include "core/ntfs_names.h"

namespace core {

char32_t SimpleUpperCase(char32_t c) noexcept
{
    if (c < 0x80) {
        return c >= U'a' && c <= U'z' ? c - 0x20 : c;
    }
    const std::span<const detail::CaseRange> ranges(detail::kCaseRanges, detail::kCaseRangeCount);
    // The last range starting at or before c.
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), static_cast<std::uint32_t>(c),
                                        [](std::uint32_t v, const detail::CaseRange& r) { return v < r.first; });
    if (after == ranges.begin()) {
        return c;
    }
    const detail::CaseRange& r = *(after - 1);
    const auto cp = static_cast<std::uint32_t>(c);
    if (cp > r.last || (cp - r.first) % r.step != 0) {
        return c;
    }
    return static_cast<char32_t>(static_cast<std::int64_t>(cp) + r.delta);
}

std::optional<UpCaseTable> UpCaseTable::FromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kBytes) {
        return std::nullopt;
    }
    UpCaseTable table;
    table.m_map.resize(kUnits);
    for (std::size_t i = 0; i < kUnits; ++i) {
        table.m_map[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    for (std::uint16_t c = 'a'; c <= 'z'; ++c) {
        if (table.m_map[c] != c - 0x20) {
            return std::nullopt;
        }
    }
    return table;
}

char32_t UpCaseTable::Upper(char32_t c) const noexcept
{
    if (c >= kUnits || m_map.size() != kUnits) {
        return c;
    }
    const char32_t up = m_map[c];
    // A surrogate unit is not a character: a table mapping to one is not followed.
    return up >= 0xD800 && up <= 0xDFFF ? c : up;
}

std::string UpperCaseUtf8(std::string_view utf8, const UpCaseTable* table)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char32_t c = NextCodePoint(utf8, at);
        AppendUtf8(out, table != nullptr ? table->Upper(c) : SimpleUpperCase(c));
    }
    return out;
}

} // namespace core

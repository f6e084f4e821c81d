// Upper-casing of names for comparisons without regard to case: the volume's own $UpCase table
// where one was read, a built-in simple case map otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The upper case of one code point by the built-in map: the one-to-one upper-case mappings of
// Latin (Basic, Latin-1, Extended-A, -B, Additional), Greek, Cyrillic, Armenian and the fullwidth
// forms. Every other code point is its own upper case.
char32_t SimpleUpperCase(char32_t c) noexcept;

// An NTFS $UpCase table: for each of the 65536 UTF-16 units, the unit it is compared as. Names
// on a volume are compared through this table by NTFS itself.
class UpCaseTable
{
public:
    static constexpr std::size_t kUnits = 65536;
    static constexpr std::size_t kBytes = 2 * kUnits;

    // From the first 128 KiB of the $UpCase data (UTF-16LE units). A table that is too short, or
    // that leaves 'a'..'z' unmapped to 'A'..'Z' (not an $UpCase table, or zeros), is refused.
    static std::optional<UpCaseTable> FromBytes(std::span<const std::uint8_t> bytes);

    // Code points outside the BMP are their own upper case, as NTFS compares them unit by unit.
    char32_t Upper(char32_t c) const noexcept;

private:
    std::vector<std::uint16_t> m_map;
};

// The name with every character upper-cased (by `table` when given, the built-in map otherwise).
// Bytes that are not UTF-8 become U+FFFD.
std::string UpperCaseUtf8(std::string_view utf8, const UpCaseTable* table = nullptr);

namespace detail {

// One range of the built-in map: the code points first, first + step, ... up to last all move by
// delta.
struct CaseRange
{
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t step;
    std::int32_t delta;
};
extern const CaseRange kCaseRanges[];
extern const std::size_t kCaseRangeCount;

} // namespace detail

} // namespace core

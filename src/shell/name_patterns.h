// The name matcher shared by the file filters and the file search, the file-filter table and
// the admission test the browse list and batch recovery apply with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/case_map.h"

namespace shell {

// True when `name` matches `pattern` (both UTF-8). Characters (code points, not bytes) are
// compared exactly; callers upper-case both texts first (UpperCaseName) to match without regard
// to case.
//   1. an empty name or pattern never matches;
//   2. a pattern without '*' never matches a name shorter than itself;
//   3. "*" matches every name;
//   4. "*.*" matches every name holding a full stop;
//   5. a pattern with neither '*' nor '?' matches a name holding it anywhere;
//   6. a pattern with '?' but no '*' is compared with the start of the name, '?' matching any one
//      character; name characters past the pattern are not compared;
//   7. otherwise '*' matches any run (empty included) and '?' any one character, the part
//      before the first '*' anchored at the start of the name and the part after the last '*'
//      at its end.
bool MatchPattern(std::string_view name, std::string_view pattern);

// The name upper-cased character by character: through the volume's $UpCase table when one is
// given, by the built-in simple case map otherwise.
std::string UpperCaseName(std::string_view name, const core::UpCaseTable* upCase = nullptr);

// The file-filter table: 100 slots, each holding one pattern of at most 19 characters as typed
// (UTF-8), zero-terminated, in the order added; at most 99 are in use.
class FilterPatterns
{
public:
    static constexpr std::size_t kSlotCount = 100;
    static constexpr std::size_t kMaxPatternLength = 19;                  // characters
    static constexpr std::size_t kSlotBytes = 4 * kMaxPatternLength + 1;  // UTF-8 and the zero
    static constexpr std::uint32_t kMaxCount = 99;

    enum class AddOutcome
    {
        Added,
        TableFull,   // 99 patterns in use
        TooLong,     // more than 19 characters (code points): it is not stored
        Empty,
        HoldsNul,    // a zero byte would end the stored pattern early
    };

    // Appends a pattern; anything but Added leaves the table unchanged. Duplicates are the
    // dialog's business and are stored.
    AddOutcome Add(std::string_view pattern);

    // Removes every pattern equal to `pattern` (exact comparison), keeping the order of the
    // others; returns how many went.
    std::size_t Remove(std::string_view pattern);

    // Forgets every pattern (count 0).
    void Clear() noexcept { m_count = 0; }

    std::uint32_t Count() const noexcept { return m_count; }

    // The pattern of slot `index` (< Count()), as typed.
    std::string_view At(std::size_t index) const noexcept;

private:
    using Slot = std::array<char, kSlotBytes>;
    std::array<Slot, kSlotCount> m_slots{};
    std::uint32_t m_count = 0;
};

// True when the table is empty, or when the upper-cased name matches at least one upper-cased
// pattern, tried in table order.
bool AdmitByFilters(const FilterPatterns& filters, std::string_view name, const core::UpCaseTable* upCase = nullptr);

}  // namespace shell

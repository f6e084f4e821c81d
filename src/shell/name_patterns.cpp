// Name patterns: the matcher, the file-filter table and the admission test.
#include "shell/name_patterns.h"

#include <algorithm>
#include <cassert>

namespace shell {

namespace {

// One character of a pattern against one of a name: '?' takes any character.
constexpr bool CharMatches(char patternChar, char nameChar) noexcept
{
    return patternChar == '?' || patternChar == nameChar;
}

// `part` (no '*') against the name characters starting at `at`; the caller ensures they exist.
bool PartMatchesAt(std::string_view name, std::size_t at, std::string_view part) noexcept
{
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (!CharMatches(part[i], name[at + i]))
            return false;
    }
    return true;
}

// First position at or after `from` where `part` fits inside name[from, limit); npos if none.
std::size_t FindPart(std::string_view name, std::size_t from, std::size_t limit, std::string_view part) noexcept
{
    if (limit < from || limit - from < part.size())
        return std::string_view::npos;
    for (std::size_t at = from; at + part.size() <= limit; ++at) {
        if (PartMatchesAt(name, at, part))
            return at;
    }
    return std::string_view::npos;
}

// Rule 7: '*' runs anywhere, '?' any one character.
bool MatchWithStars(std::string_view name, std::string_view pattern) noexcept
{
    const std::size_t firstStar = pattern.find('*');
    const std::size_t lastStar = pattern.rfind('*');
    const std::string_view head = pattern.substr(0, firstStar);
    const std::string_view tail = pattern.substr(lastStar + 1);  // empty when the pattern ends with '*'

    // Head and tail are anchored and may not overlap: whatever the stars match lies between.
    if (name.size() < head.size() + tail.size())
        return false;
    if (!PartMatchesAt(name, 0, head))
        return false;
    const std::size_t tailStart = name.size() - tail.size();
    if (!PartMatchesAt(name, tailStart, tail))
        return false;

    // The parts between stars, in order, each at its leftmost place: taking the leftmost fit
    // leaves the most room to those after it.
    std::size_t at = head.size();
    std::string_view middle = pattern.substr(firstStar + 1, lastStar - firstStar);
    while (!middle.empty()) {
        const std::size_t star = middle.find('*');
        const std::string_view part = middle.substr(0, star);
        middle = star == std::string_view::npos ? std::string_view{} : middle.substr(star + 1);
        if (part.empty())
            continue;
        const std::size_t found = FindPart(name, at, tailStart, part);
        if (found == std::string_view::npos)
            return false;
        at = found + part.size();
    }
    return true;
}

}  // namespace

bool MatchPattern(std::string_view name, std::string_view pattern)
{
    if (name.empty() || pattern.empty())
        return false;
    const bool hasStar = pattern.find('*') != std::string_view::npos;
    const bool hasQuestion = pattern.find('?') != std::string_view::npos;
    if (!hasStar && name.size() < pattern.size())
        return false;
    if (pattern == "*")
        return true;
    if (pattern == "*.*")
        return name.find('.') != std::string_view::npos;
    if (!hasStar && !hasQuestion)
        return name.find(pattern) != std::string_view::npos;
    if (!hasStar)
        return PartMatchesAt(name, 0, pattern);
    return MatchWithStars(name, pattern);
}

std::string UpperCaseName(std::string_view name)
{
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

FilterPatterns::AddOutcome FilterPatterns::Add(std::string_view pattern)
{
    if (m_count >= kMaxCount)
        return AddOutcome::TableFull;
    if (pattern.empty())
        return AddOutcome::Empty;
    if (pattern.size() > kMaxPatternLength)
        return AddOutcome::TooLong;
    if (pattern.find('\0') != std::string_view::npos)
        return AddOutcome::HoldsNul;
    Slot& slot = m_slots[m_count];
    slot.fill('\0');
    std::copy(pattern.begin(), pattern.end(), slot.begin());
    ++m_count;
    return AddOutcome::Added;
}

std::size_t FilterPatterns::Remove(std::string_view pattern)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_count; ++i) {
        if (At(i) == pattern)
            continue;
        if (kept != i)
            m_slots[kept] = m_slots[i];
        ++kept;
    }
    const std::size_t removed = m_count - kept;
    m_count = static_cast<std::uint32_t>(kept);
    return removed;
}

std::string_view FilterPatterns::At(std::size_t index) const noexcept
{
    assert(index < m_count);
    if (index >= kSlotCount)
        return {};
    const Slot& slot = m_slots[index];
    // Every stored pattern ends within its slot; the last byte is a zero in any case.
    const auto end = std::find(slot.begin(), slot.end() - 1, '\0');
    return {slot.data(), static_cast<std::size_t>(end - slot.begin())};
}

bool AdmitByFilters(const FilterPatterns& filters, std::string_view name)
{
    if (filters.Count() == 0)
        return true;
    const std::string upperName = UpperCaseName(name);
    for (std::size_t i = 0; i < filters.Count(); ++i) {
        if (MatchPattern(upperName, UpperCaseName(filters.At(i))))
            return true;
    }
    return false;
}

}  // namespace shell

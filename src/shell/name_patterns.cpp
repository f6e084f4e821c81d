// Name patterns: the matcher, the file-filter table and the admission test.
#include "shell/name_patterns.h"

#include <algorithm>
#include <cassert>

#include "core/ntfs_names.h"

namespace shell {

namespace {

using Text = std::u32string_view;

// One character of a pattern against one of a name: '?' takes any character.
constexpr bool CharMatches(char32_t patternChar, char32_t nameChar) noexcept
{
    return patternChar == U'?' || patternChar == nameChar;
}

// `part` (no '*') against the name characters starting at `at`; the caller ensures they exist.
bool PartMatchesAt(Text name, std::size_t at, Text part) noexcept
{
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (!CharMatches(part[i], name[at + i]))
            return false;
    }
    return true;
}

// First position at or after `from` where `part` fits inside name[from, limit); npos if none.
std::size_t FindPart(Text name, std::size_t from, std::size_t limit, Text part) noexcept
{
    if (limit < from || limit - from < part.size())
        return Text::npos;
    for (std::size_t at = from; at + part.size() <= limit; ++at) {
        if (PartMatchesAt(name, at, part))
            return at;
    }
    return Text::npos;
}

// Rule 7: '*' runs anywhere, '?' any one character.
bool MatchWithStars(Text name, Text pattern) noexcept
{
    const std::size_t firstStar = pattern.find(U'*');
    const std::size_t lastStar = pattern.rfind(U'*');
    const Text head = pattern.substr(0, firstStar);
    const Text tail = pattern.substr(lastStar + 1);  // empty when the pattern ends with '*'

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
    Text middle = pattern.substr(firstStar + 1, lastStar - firstStar);
    while (!middle.empty()) {
        const std::size_t star = middle.find(U'*');
        const Text part = middle.substr(0, star);
        middle = star == Text::npos ? Text{} : middle.substr(star + 1);
        if (part.empty())
            continue;
        const std::size_t found = FindPart(name, at, tailStart, part);
        if (found == Text::npos)
            return false;
        at = found + part.size();
    }
    return true;
}

std::u32string CodePoints(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        out.push_back(core::NextCodePoint(utf8, at));
    }
    return out;
}

bool MatchCodePoints(Text name, Text pattern)
{
    if (name.empty() || pattern.empty())
        return false;
    const bool hasStar = pattern.find(U'*') != Text::npos;
    const bool hasQuestion = pattern.find(U'?') != Text::npos;
    if (!hasStar && name.size() < pattern.size())
        return false;
    if (pattern == U"*")
        return true;
    if (pattern == U"*.*")
        return name.find(U'.') != Text::npos;
    if (!hasStar && !hasQuestion)
        return name.find(pattern) != Text::npos;
    if (!hasStar)
        return PartMatchesAt(name, 0, pattern);
    return MatchWithStars(name, pattern);
}

}  // namespace

bool MatchPattern(std::string_view name, std::string_view pattern)
{
    return MatchCodePoints(CodePoints(name), CodePoints(pattern));
}

std::string UpperCaseName(std::string_view name, const core::UpCaseTable* upCase)
{
    return core::UpperCaseUtf8(name, upCase);
}

FilterPatterns::AddOutcome FilterPatterns::Add(std::string_view pattern)
{
    if (m_count >= kMaxCount)
        return AddOutcome::TableFull;
    if (pattern.empty())
        return AddOutcome::Empty;
    if (core::CodePointCount(pattern) > kMaxPatternLength)
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

bool AdmitByFilters(const FilterPatterns& filters, std::string_view name, const core::UpCaseTable* upCase)
{
    if (filters.Count() == 0)
        return true;
    const std::u32string upperName = CodePoints(UpperCaseName(name, upCase));
    for (std::size_t i = 0; i < filters.Count(); ++i) {
        if (MatchCodePoints(upperName, CodePoints(UpperCaseName(filters.At(i), upCase))))
            return true;
    }
    return false;
}

}  // namespace shell

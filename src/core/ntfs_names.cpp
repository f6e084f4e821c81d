// Names taken from NTFS, and UTF-8.
#include "core/ntfs_names.h"

#include <algorithm>

namespace core {

namespace {

constexpr bool IsHighSurrogate(std::uint32_t u) noexcept
{
    return u >= 0xD800 && u <= 0xDBFF;
}
constexpr bool IsLowSurrogate(std::uint32_t u) noexcept
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

std::string NameFromUtf16(std::span<const std::uint8_t> utf16le, std::size_t units)
{
    const std::size_t count = std::min({units, utf16le.size() / 2, kMaxNameLength});
    const auto unitAt = [&](std::size_t i) -> std::uint32_t { return utf16le[2 * i] | (utf16le[2 * i + 1] << 8); };
    std::string name;
    name.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t u = unitAt(i);
        if (u < 0x80) {
            name.push_back(static_cast<char>(u));
        } else if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(unitAt(i + 1))) {
            AppendUtf8(name, static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00)));
            ++i;
        } else {
            AppendUtf8(name, static_cast<char32_t>(u)); // a lone surrogate comes out as U+FFFD
        }
    }
    return name;
}

void AppendUtf8(std::string& out, char32_t c)
{
    const auto cp = static_cast<std::uint32_t>(c);
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
            AppendUtf8(out, kReplacementCharacter);
            return;
        }
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp <= 0x10FFFF) {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        AppendUtf8(out, kReplacementCharacter);
    }
}

char32_t NextCodePoint(std::string_view utf8, std::size_t& at) noexcept
{
    const auto byte = [&](std::size_t i) -> std::uint32_t { return static_cast<unsigned char>(utf8[i]); };
    const std::uint32_t b0 = byte(at);
    if (b0 < 0x80) {
        ++at;
        return b0;
    }
    std::size_t length = 0;
    std::uint32_t cp = 0;
    std::uint32_t least = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1F, least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0F, least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07, least = 0x10000;
    }
    if (length == 0 || utf8.size() - at < length) {
        ++at;
        return kReplacementCharacter;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint32_t b = byte(at + i);
        if ((b & 0xC0) != 0x80) {
            ++at;
            return kReplacementCharacter;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
        ++at;
        return kReplacementCharacter;
    }
    at += length;
    return static_cast<char32_t>(cp);
}

std::size_t CodePointCount(std::string_view utf8) noexcept
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < utf8.size(); ++count) {
        NextCodePoint(utf8, at);
    }
    return count;
}

std::string_view FirstCodePoints(std::string_view utf8, std::size_t count) noexcept
{
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < utf8.size(); ++n) {
        NextCodePoint(utf8, at);
    }
    return utf8.substr(0, at);
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        AppendUtf8(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, at);
        if (c > 0xFF) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}

} // namespace core

// Names taken from NTFS: UTF-16LE on disk, UTF-8 in the catalog and everywhere above it; the
// UTF-8 helpers the name matcher and the snapshot formats use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace core {

// The most UTF-16 units an NTFS name holds.
inline constexpr std::size_t kMaxNameLength = 255;
// The longest UTF-8 form of such a name (three bytes per unit; a surrogate pair, two units, is
// four bytes).
inline constexpr std::size_t kMaxNameUtf8Bytes = 3 * kMaxNameLength;

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The name held by the first `units` UTF-16LE units of `utf16le` (at most 255, never past the end
// of the bytes), as UTF-8. A surrogate pair is one character; a surrogate without its partner
// (a high one not followed by a low one within the name, or a low one on its own) becomes U+FFFD.
// A unit 0 is kept as a zero byte.
std::string NameFromUtf16(std::span<const std::uint8_t> utf16le, std::size_t units);

// Appends the UTF-8 form of `c` (U+FFFD for a surrogate or a value past U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// The code point starting at `at`, advancing `at` past it. A byte that does not start a well-
// formed sequence (overlong, surrogate, past U+10FFFF, cut short) is consumed alone as U+FFFD.
// `at` must be below utf8.size().
char32_t NextCodePoint(std::string_view utf8, std::size_t& at) noexcept;

// The number of code points (as NextCodePoint counts them).
std::size_t CodePointCount(std::string_view utf8) noexcept;

// The first `count` code points of `utf8` (all of it when it holds fewer).
std::string_view FirstCodePoints(std::string_view utf8, std::size_t count) noexcept;

// Latin-1 (one byte per character) to UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// UTF-8 to Latin-1 when every character is at most U+00FF and the text is well-formed UTF-8;
// nothing otherwise.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

} // namespace core

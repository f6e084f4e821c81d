// Names taken from NTFS: 8-bit strings of the low byte of each UTF-16 unit, shown as Latin-1.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace core {

inline constexpr std::size_t kMaxNameLength = 255;

// The low byte of each of the `units` UTF-16LE units at the start of `utf16le`, in order, at most
// 255 characters and never past the end of the bytes given.
std::string NameFromUtf16Low(std::span<const std::uint8_t> utf16le, std::size_t units);

// Latin-1 (one byte per character) to UTF-8, for Qt, JSON and file names.
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace core

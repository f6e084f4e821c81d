// LZNT1 decompression: the chunks of one compression unit of a compressed NTFS attribute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace recovery {

// Bytes one LZNT1 chunk decompresses to (a short chunk is followed by zeros up to this size).
inline constexpr std::size_t kLznt1ChunkBytes = 4096;

// Decompresses the LZNT1 chunks in `in` into `out`, the whole uncompressed compression unit.
// Chunk k fills out[k * 4096, (k + 1) * 4096); a chunk that yields fewer bytes, and everything
// after the last chunk (a zero header, the end of `in`, or `out` full), reads as zeros.
// Returns false when a chunk is malformed (its length runs past `in`, a back-reference reaches
// before the chunk or past its 4096 bytes, a token is cut off); `out` then holds garbage that the
// caller must not use. Never reads outside `in` or writes outside `out`.
bool DecompressLznt1(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) noexcept;

}  // namespace recovery

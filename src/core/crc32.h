// CRC-32 (IEEE 802.3, as zlib's crc32): the checksum of snapshot files and GPT headers and arrays.
#pragma once

#include <cstdint>
#include <span>

namespace core {

// CRC-32 of `bytes`: reflected, polynomial 0xEDB88320, initial and final value all ones.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace core

// Update-sequence fixup of FILE records and INDX buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ntfs {

struct FixupResult
{
    std::size_t sectorsRestored = 0;  // sectors whose last bytes were (at least partly) restored
    bool sequenceMatched = false;     // every replaced sector end held the update sequence number
                                      // (false as well when no sector was restored)
};

// Restores, in place, the last two bytes of each 512-byte sector that the update sequence array
// names (count - 1 sectors, the last one included) from the array's entries. Stops early when a
// sector's last byte lies beyond the buffer, and copies array bytes only while they lie below
// record offset 84 (an entry starting at byte 83 has only its first byte copied). The replaced
// bytes are compared with the update sequence number and reported; nothing is refused.
FixupResult ApplyFixupChecked(std::span<std::uint8_t> buffer) noexcept;

// The same repair, silently: a torn record is repaired all the same.
void ApplyFixup(std::span<std::uint8_t> buffer) noexcept;

}  // namespace ntfs

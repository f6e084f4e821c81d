// Fuzz target: LZNT1 decompression of one compression unit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "recovery/lznt1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the unit's size, not always a whole number of chunks.
    const std::size_t unitBytes = static_cast<std::size_t>(data[0] % 17) * 4096 + (data[0] >= 0xF0 ? 512U : 0U);
    const std::vector<std::uint8_t> in(data + 1, data + size);  // exact size: reads past it are caught
    std::vector<std::uint8_t> unit(unitBytes, 0xA5);
    const bool whole = recovery::DecompressLznt1(in, unit);
    // A unit that decodes also decodes into its first chunk alone, to the same bytes.
    std::vector<std::uint8_t> first(recovery::kLznt1ChunkBytes, 0x5A);
    const bool part = recovery::DecompressLznt1(in, first);
    if (whole && unitBytes >= first.size()) {
        if (!part) {
            std::abort();
        }
        for (std::size_t i = 0; i < first.size(); ++i) {
            if (first[i] != unit[i]) {
                std::abort();
            }
        }
    }
    return 0;
}

// The one interface every disk read goes through: an opened drive or image, read-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace core {

class SectorSource
{
public:
    virtual ~SectorSource() = default;

    // Reads out.size() bytes starting at byte `offset`. Returns true only when every byte was
    // read. On false the contents of `out` are unspecified; callers zero what they could not read.
    virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

    // Size of the drive or image in bytes.
    virtual std::uint64_t SizeBytes() const = 0;

    // True when ReadAt may be called from several threads at once; batch recovery then copies
    // with several workers. Sources that keep state between reads say no.
    virtual bool ConcurrentReads() const noexcept { return false; }
};

}  // namespace core

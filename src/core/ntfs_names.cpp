// Names taken from NTFS.
#include "core/ntfs_names.h"

#include <algorithm>

namespace core {

std::string NameFromUtf16Low(std::span<const std::uint8_t> utf16le, std::size_t units)
{
    const std::size_t count = std::min({units, utf16le.size() / 2, kMaxNameLength});
    std::string name(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        name[i] = static_cast<char>(utf16le[2 * i]);
    }
    return name;
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

}  // namespace core

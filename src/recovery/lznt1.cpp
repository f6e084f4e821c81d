// LZNT1 decompression.
#include "recovery/lznt1.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

namespace recovery {

namespace {

// Chunk header (le16): bits 0-11 the chunk's stored length minus 3 (header included), bits 12-14
// a signature (3, not checked), bit 15 set when the chunk is compressed. 0 ends the unit.
constexpr std::uint16_t kChunkLengthMask = 0x0FFF;
constexpr std::size_t kChunkLengthBias = 3;
constexpr std::uint16_t kChunkCompressed = 0x8000;
constexpr std::size_t kChunkHeaderBytes = 2;
// A back-reference token (le16) splits into a displacement (high bits) and a length (low bits).
// The displacement takes as many bits as the bytes already produced in the chunk need, at least
// 4, so the length field shrinks from 12 bits to 4 as the chunk fills.
constexpr unsigned kTokenBits = 16;
constexpr unsigned kMinDisplacementBits = 4;
constexpr std::size_t kMinMatchLength = 3;
constexpr unsigned kTokensPerFlagByte = 8;

// Decodes the body of a compressed chunk into `window` (at most 4096 bytes). Returns the bytes
// produced, or nothing when the body is malformed.
std::optional<std::size_t> DecodeCompressedChunk(std::span<const std::uint8_t> body,
                                                 std::span<std::uint8_t> window) noexcept
{
    std::size_t in = 0;
    std::size_t out = 0;
    while (in < body.size()) {
        const unsigned flags = body[in++];
        for (unsigned token = 0; token < kTokensPerFlagByte && in < body.size(); ++token) {
            if ((flags & (1U << token)) == 0) {
                if (out == window.size()) {
                    return std::nullopt;
                }
                window[out++] = body[in++];
                continue;
            }
            if (body.size() - in < 2 || out == 0) {
                return std::nullopt;
            }
            const unsigned word = body[in] | (unsigned{body[in + 1]} << 8);
            in += 2;
            // out <= 4096, so the displacement takes 4 to 12 bits.
            const unsigned displacementBits =
                std::max(kMinDisplacementBits, static_cast<unsigned>(std::bit_width(out - 1)));
            const unsigned lengthBits = kTokenBits - displacementBits;
            const std::size_t displacement = (word >> lengthBits) + 1;
            const std::size_t length = (word & ((1U << lengthBits) - 1)) + kMinMatchLength;
            if (displacement > out || length > window.size() - out) {
                return std::nullopt;
            }
            std::uint8_t* dst = window.data() + out;
            const std::uint8_t* src = dst - displacement;
            if (displacement >= length) {
                std::memcpy(dst, src, length);
            } else {
                // The match overlaps what it produces: byte by byte, repeating the pattern.
                for (std::size_t i = 0; i < length; ++i) {
                    dst[i] = src[i];
                }
            }
            out += length;
        }
    }
    return out;
}

}  // namespace

bool DecompressLznt1(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) noexcept
{
    std::size_t inPos = 0;
    std::size_t outPos = 0;
    while (outPos < out.size() && in.size() - inPos >= kChunkHeaderBytes) {
        const unsigned header = in[inPos] | (unsigned{in[inPos + 1]} << 8);
        if (header == 0) {
            break;
        }
        const std::size_t stored = (header & kChunkLengthMask) + kChunkLengthBias;
        if (stored > in.size() - inPos) {
            return false;
        }
        const auto body = in.subspan(inPos + kChunkHeaderBytes, stored - kChunkHeaderBytes);
        inPos += stored;
        const auto window = out.subspan(outPos, std::min(kLznt1ChunkBytes, out.size() - outPos));
        std::size_t produced = 0;
        if ((header & kChunkCompressed) != 0) {
            const auto decoded = DecodeCompressedChunk(body, window);
            if (!decoded) {
                return false;
            }
            produced = *decoded;
        } else {
            // Stored as is: normally the whole 4096 bytes.
            if (body.size() > window.size()) {
                return false;
            }
            std::memcpy(window.data(), body.data(), body.size());
            produced = body.size();
        }
        std::fill(window.begin() + static_cast<std::ptrdiff_t>(produced), window.end(), std::uint8_t{0});
        outPos += window.size();
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(outPos), out.end(), std::uint8_t{0});
    return true;
}

}  // namespace recovery

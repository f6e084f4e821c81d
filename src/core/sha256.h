// SHA-256 message digest, fed incrementally (Update as many times as needed, then Final).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace core {

class Sha256
{
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256() noexcept { Reset(); }

    // Starts a new message.
    void Reset() noexcept;
    // Appends bytes to the message.
    void Update(std::span<const std::uint8_t> bytes) noexcept;
    // Appends `count` zero bytes (holes and unread parts of a file count as the zeros they are).
    void UpdateZeros(std::uint64_t count) noexcept;
    // Ends the message and gives its digest; the object then starts a new message.
    Digest Final() noexcept;

    // The digest as 64 lower-case hex digits.
    static std::string Hex(const Digest& digest);

private:
    void Block(const std::uint8_t* block) noexcept;

    std::array<std::uint32_t, 8> m_state{};
    std::array<std::uint8_t, 64> m_block{};
    std::size_t m_blockUsed = 0;
    std::uint64_t m_length = 0; // bytes of the message so far
};

} // namespace core

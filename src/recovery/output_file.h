// One output file of recovery: created or truncated, written byte for byte with large writes;
// stretches of zeros (sparse runs, bytes past the initialized size) are left as holes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace recovery {

class OutputFile
{
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates `path` or truncates the file there. A link at `path` is refused (never followed).
    bool Create(const std::filesystem::path& path);

    // Appends the bytes; false once any write has failed.
    bool Write(std::span<const std::uint8_t> bytes);
    // Appends up to `count` bytes taken at byte `offset` of the open file `fd` inside the kernel
    // (copy_file_range, or sendfile once that has refused to cross file systems). Returns how many were appended: fewer, even 0, when the kernel copies
    // less or refuses (the caller writes the rest itself); a refusal never counts as a failure.
    std::uint64_t CopyFrom(int fd, std::uint64_t offset, std::uint64_t count);
    // Appends `count` zero bytes without writing them (a hole, or zeros where holes are not kept).
    bool Zeros(std::uint64_t count);

    // Bytes appended so far, holes included.
    std::uint64_t Position() const noexcept { return m_position; }
    bool Failed() const noexcept { return m_failed; }

    // Gives the file its length (a trailing hole included) and closes it; false when that or any
    // earlier write failed.
    bool Close();

private:
    std::uint64_t Appended(std::uint64_t bytes) noexcept;

    int m_fd = -1;
    bool m_crossDevice = false;  // copy_file_range refused this pair of file systems: sendfile
    std::uint64_t m_position = 0;
    std::uint64_t m_pendingHole = 0;
    bool m_failed = false;
};

}  // namespace recovery

// One output file of recovery: always made new (the overwrite policy removes the old file first,
// never writing into it), written byte for byte with large writes;
// stretches of zeros (sparse runs, bytes past the initialized size) are left as holes;
// optionally the SHA-256 of the bytes is computed as they are written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <optional>

#include "core/sha256.h"

namespace recovery {

// How Create treats a file already at the path.
enum class CreateMode
{
    New,       // only a new file is made: an existing one (or one the destination sees as the same
               // name: vfat and exFAT fold case and drop trailing dots and blanks) is left alone
    Replace,   // an existing regular file is removed and a new one made in its place (the overwrite
               // policy; a hard link's other names keep the old bytes); a folder, link or other
               // entry at the name is left alone and Create fails
};

enum class CreateStatus
{
    Created,   // open for writing
    Exists,    // New: something holds the name already; nothing was opened or changed
    Failed,    // the file could not be made or opened (a link at the path is refused)
};

class OutputFile
{
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Makes the file at `path` with `permissions` (less the umask). A link at `path` is refused
    // (never followed).
    CreateStatus Create(const std::filesystem::path& path, CreateMode mode, unsigned permissions = 0666);

    // Appends the bytes; false once any write has failed.
    bool Write(std::span<const std::uint8_t> bytes);
    // Appends up to `count` bytes taken at byte `offset` of the open file `fd` inside the kernel
    // (copy_file_range, or sendfile once that has refused to cross file systems). Returns how many were appended: fewer, even 0, when the kernel copies
    // less or refuses (the caller writes the rest itself); a refusal never counts as a failure.
    // While hashing it copies nothing (the kernel's copy never shows the bytes): the caller's
    // own reads and Write carry the whole file.
    std::uint64_t CopyFrom(int fd, std::uint64_t offset, std::uint64_t count);
    // Appends `count` zero bytes without writing them (a hole, or zeros where holes are not kept).
    bool Zeros(std::uint64_t count);

    // Hashes the bytes of every file made from now on as they are appended (holes as the zeros
    // they are); Close then gives the digest.
    void SetHashing(bool on) noexcept { m_hashing = on; }
    // After Close: the SHA-256 of the file's bytes; empty when not hashing or when a write failed.
    const std::optional<core::Sha256::Digest>& Digest() const noexcept { return m_digest; }

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
    bool m_hashing = false;
    core::Sha256 m_hash;
    std::optional<core::Sha256::Digest> m_digest;
};

}  // namespace recovery

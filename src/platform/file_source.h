// Read-only access to an image file or a block device, the one place the engine touches a disk.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/sector_source.h"

namespace platform {

// An image file or block device opened O_RDONLY | O_CLOEXEC. Reads use pread, so concurrent
// readers never share a file position.
class FileSectorSource : public core::SectorSource
{
public:
    FileSectorSource(int fd, std::uint64_t sizeBytes, bool regularFile = false) noexcept
        : m_fd(fd), m_size(sizeBytes), m_regularFile(regularFile)
    {
    }
    ~FileSectorSource() override;
    FileSectorSource(const FileSectorSource&) = delete;
    FileSectorSource& operator=(const FileSectorSource&) = delete;

    // True only when all of `out` was read; a read that reaches past the end is a failure.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
    std::uint64_t SizeBytes() const override { return m_size; }
    bool ConcurrentReads() const noexcept override { return true; }
    int Fd() const noexcept { return m_fd; }
    // An image file (not a block device), as it was when opened.
    bool IsRegularFile() const noexcept { return m_regularFile; }

private:
    int m_fd;
    std::uint64_t m_size;
    bool m_regularFile;
};

// The result of opening: a source, or the reason (for the user) why there is none.
struct OpenResult
{
    std::unique_ptr<FileSectorSource> source;
    std::string reason;  // empty on success
    int error = 0;       // errno of the failure
};

// Opens `path` read-only. Permission failures name the remedy (root or the `disk` group).
OpenResult OpenReadOnly(const std::string& path);

// The user-facing reason for failing to open `path` with errno `error`.
std::string OpenFailureReason(const std::string& path, int error);

// Size in bytes of an open image (its file size) or block device (BLKGETSIZE64); empty on failure.
std::optional<std::uint64_t> SizeOfOpenFile(int fd);

}  // namespace platform

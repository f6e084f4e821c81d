// Disk images of the imaging tools' and virtual machines' formats, read through the format's own
// library (libewf, libvhdi, libvmdk, libqcow) as one sector source.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "core/sector_source.h"

namespace platform {

// One opened image of a format library: reads bytes of the disk it holds (the media).
class FormatHandle
{
public:
    virtual ~FormatHandle() = default;
    // Reads out.size() bytes at media offset `offset` (inside the media). False when the library
    // reports a failure or a short read, or when the bytes lie in a part the library found damaged
    // (an E01 chunk whose checksum fails).
    virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// A format image as a drive. The libraries keep per-handle state (caches, the current offset),
// so each handle reads for one thread at a time; the engine's reads are whole runs of sectors, so
// a read takes a handle once for a run, never once per sector. Where several threads read at once
// (the recovery workers), further handles of the same image are opened as they are needed, up to
// `maxHandles`, so that the library's own work (inflating an E01's chunks) runs on several cores.
class FormatImageSource : public core::SectorSource
{
public:
    // Opens one more handle of the image, or returns empty.
    using Reopen = std::function<std::unique_ptr<FormatHandle>()>;
    static constexpr unsigned kMaxHandles = 4;

    FormatImageSource(std::unique_ptr<FormatHandle> handle, std::uint64_t mediaSize, Reopen reopen = {},
                      unsigned maxHandles = 1) noexcept;

    // True only when all of `out` was read and none of it lies in a damaged part of the image; a
    // read that reaches past the end of the media is a failure.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
    std::uint64_t SizeBytes() const override { return m_size; }
    bool ConcurrentReads() const noexcept override { return true; }
    // Handles opened so far.
    unsigned HandleCount() const noexcept { return m_open.load(std::memory_order_acquire); }

private:
    struct Slot
    {
        std::mutex lock;
        std::unique_ptr<FormatHandle> handle;
    };
    bool TryGrow();

    std::array<Slot, kMaxHandles> m_slots;
    std::atomic<unsigned> m_open{1};
    std::atomic<unsigned> m_next{0};
    std::mutex m_growLock;
    Reopen m_reopen;
    unsigned m_maxHandles;
    std::uint64_t m_size;
};

// The format libraries' openers. Each returns the handle and sets `mediaSize` (bytes), or returns
// empty and sets `reason` to the library's account of why it cannot open `path` (a damaged or
// missing segment, a missing parent or backing file, an encrypted image).
std::unique_ptr<FormatHandle> OpenEwfImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason);
std::unique_ptr<FormatHandle> OpenVhdiImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason);
std::unique_ptr<FormatHandle> OpenVmdkImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason);
std::unique_ptr<FormatHandle> OpenQcowImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason);

}  // namespace platform

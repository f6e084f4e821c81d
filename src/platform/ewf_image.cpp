// Expert Witness images (E01, Ex01, S01 and their further segments) through libewf.
#include <algorithm>
#include <utility>
#include <vector>

#include <libewf.h>

#include "platform/format_image_source.h"
#include "platform/libyal_support.h"

namespace platform {

namespace {

std::string TakeError(libewf_error_t*& error)
{
    return TakeLibraryError(error, libewf_error_backtrace_sprint, libewf_error_free);
}

struct EwfHandleRelease
{
    void operator()(libewf_handle_t* handle) const noexcept { libewf_handle_free(&handle, nullptr); }
};
using EwfHandlePtr = std::unique_ptr<libewf_handle_t, EwfHandleRelease>;

// The segment file names libewf found for the first one, freed with the library's own call.
class EwfSegmentNames
{
public:
    ~EwfSegmentNames()
    {
        if (m_names != nullptr) {
            libewf_glob_free(m_names, m_count, nullptr);
        }
    }
    bool Glob(const std::string& first, std::string& reason)
    {
        libewf_error_t* error = nullptr;
        if (libewf_glob(first.c_str(), first.size(), LIBEWF_FORMAT_UNKNOWN, &m_names, &m_count, &error) != 1) {
            reason = TakeError(error);
            return false;
        }
        return m_count > 0;
    }
    char* const* Names() const noexcept { return m_names; }
    int Count() const noexcept { return m_count; }

private:
    char** m_names = nullptr;
    int m_count = 0;
};

// Media bytes in the chunks whose checksum failed: [first, end).
struct DamagedRange
{
    std::uint64_t first;
    std::uint64_t end;
};

class EwfImage : public FormatHandle
{
public:
    EwfImage(EwfHandlePtr handle, std::uint32_t bytesPerSector) noexcept
        : m_handle(std::move(handle)), m_bytesPerSector(bytesPerSector)
    {
    }
    ~EwfImage() override { libewf_handle_close(m_handle.get(), nullptr); }
    EwfImage(const EwfImage&) = delete;
    EwfImage& operator=(const EwfImage&) = delete;

    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        libewf_error_t* error = nullptr;
        const ssize_t got =
            libewf_handle_read_random(m_handle.get(), out.data(), out.size(), static_cast<off64_t>(offset), &error);
        if (error != nullptr) {
            libewf_error_free(&error);
        }
        if (got < 0 || static_cast<std::size_t>(got) != out.size()) {
            return false;
        }
        // A chunk whose checksum fails is still handed out (as zeros: see OpenEwfImage); the
        // library lists it among the checksum errors, and those bytes count as unreadable.
        RefreshDamaged();
        const std::uint64_t end = offset + out.size();
        return std::none_of(m_damaged.begin(), m_damaged.end(),
                            [&](const DamagedRange& r) { return r.first < end && offset < r.end; });
    }

private:
    void RefreshDamaged()
    {
        std::uint32_t count = 0;
        libewf_error_t* error = nullptr;
        if (libewf_handle_get_number_of_checksum_errors(m_handle.get(), &count, &error) != 1) {
            libewf_error_free(&error);
            return;
        }
        if (count == m_damagedCount) {
            return;
        }
        m_damaged.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint64_t first = 0;
            std::uint64_t sectors = 0;
            if (libewf_handle_get_checksum_error(m_handle.get(), i, &first, &sectors, &error) != 1) {
                libewf_error_free(&error);
                continue;
            }
            // Saturate: a range reaching past 2^64 bytes covers the rest of the media.
            const std::uint64_t bps = m_bytesPerSector;
            const std::uint64_t from = first > UINT64_MAX / bps ? UINT64_MAX : first * bps;
            const std::uint64_t length = sectors > UINT64_MAX / bps ? UINT64_MAX : sectors * bps;
            m_damaged.push_back({from, length > UINT64_MAX - from ? UINT64_MAX : from + length});
        }
        m_damagedCount = count;
    }

    EwfHandlePtr m_handle;
    std::uint32_t m_bytesPerSector;
    std::uint32_t m_damagedCount = 0;
    std::vector<DamagedRange> m_damaged;
};

}  // namespace

std::unique_ptr<FormatHandle> OpenEwfImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason)
{
    EwfSegmentNames segments;
    std::string why;
    if (!segments.Glob(path, why)) {
        reason = LibraryOpenFailure(path, why);
        return nullptr;
    }
    libewf_error_t* error = nullptr;
    libewf_handle_t* raw = nullptr;
    if (libewf_handle_initialize(&raw, &error) != 1) {
        reason = LibraryOpenFailure(path, TakeError(error));
        return nullptr;
    }
    EwfHandlePtr handle(raw);
    if (libewf_handle_open(handle.get(), segments.Names(), segments.Count(), LIBEWF_OPEN_READ, &error) != 1) {
        reason = LibraryOpenFailure(path, TakeError(error));
        return nullptr;
    }
    size64_t size = 0;
    std::uint32_t bytesPerSector = 0;
    if (libewf_handle_get_media_size(handle.get(), &size, &error) != 1 ||
        libewf_handle_get_bytes_per_sector(handle.get(), &bytesPerSector, &error) != 1 || bytesPerSector == 0 ||
        // Damaged chunks read as zeros rather than as whatever their stored bytes decode to.
        libewf_handle_set_read_zero_chunk_on_error(handle.get(), 1, &error) != 1) {
        reason = LibraryOpenFailure(path, TakeError(error));
        libewf_handle_close(handle.get(), nullptr);
        return nullptr;
    }
    mediaSize = size;
    return std::make_unique<EwfImage>(std::move(handle), bytesPerSector);
}

}  // namespace platform

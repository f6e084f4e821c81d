// VHD and VHDX images (fixed, dynamic, differencing with their parents) through libvhdi.
#include <utility>
#include <vector>

#include <libvhdi.h>

#include "core/messages.h"
#include "platform/format_image_source.h"
#include "platform/libyal_support.h"

namespace platform {

namespace {

std::string TakeError(libvhdi_error_t*& error)
{
    return TakeLibraryError(error, libvhdi_error_backtrace_sprint, libvhdi_error_free);
}

// One opened file of the chain; closed and freed together.
struct VhdiFileRelease
{
    void operator()(libvhdi_file_t* file) const noexcept
    {
        libvhdi_file_close(file, nullptr);
        libvhdi_file_free(&file, nullptr);
    }
};
using VhdiFilePtr = std::unique_ptr<libvhdi_file_t, VhdiFileRelease>;

class VhdiImage : public FormatHandle
{
public:
    // chain[0] is the image named; each further file is the parent of the one before it.
    explicit VhdiImage(std::vector<VhdiFilePtr> chain) noexcept : m_chain(std::move(chain)) {}
    ~VhdiImage() override
    {
        // Children first: a child reads through its parent to the last moment.
        for (auto& file : m_chain) {
            file.reset();
        }
    }
    VhdiImage(const VhdiImage&) = delete;
    VhdiImage& operator=(const VhdiImage&) = delete;

    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        libvhdi_error_t* error = nullptr;
        const ssize_t got = libvhdi_file_read_buffer_at_offset(m_chain.front().get(), out.data(), out.size(),
                                                               static_cast<off64_t>(offset), &error);
        if (error != nullptr) {
            libvhdi_error_free(&error);
        }
        return got >= 0 && static_cast<std::size_t>(got) == out.size();
    }

private:
    std::vector<VhdiFilePtr> m_chain;
};

// Opens one file of the chain; `why` tells the library's reason when it cannot.
VhdiFilePtr OpenOne(const std::string& path, std::string& why)
{
    libvhdi_error_t* error = nullptr;
    libvhdi_file_t* raw = nullptr;
    if (libvhdi_file_initialize(&raw, &error) != 1) {
        why = TakeError(error);
        return nullptr;
    }
    if (libvhdi_file_open(raw, path.c_str(), LIBVHDI_OPEN_READ, &error) != 1) {
        why = TakeError(error);
        libvhdi_file_free(&raw, nullptr);
        return nullptr;
    }
    return VhdiFilePtr(raw);
}

// The parent file name a differencing image records; empty when it is not differencing.
std::string ParentReference(libvhdi_file_t* file)
{
    std::uint32_t diskType = 0;
    libvhdi_error_t* error = nullptr;
    if (libvhdi_file_get_disk_type(file, &diskType, &error) != 1 || diskType != LIBVHDI_DISK_TYPE_DIFFERENTIAL) {
        TakeError(error);
        return {};
    }
    std::size_t size = 0;
    if (libvhdi_file_get_utf8_parent_filename_size(file, &size, &error) != 1 || size <= 1) {
        TakeError(error);
        return {};
    }
    std::vector<std::uint8_t> name(size, 0);
    if (libvhdi_file_get_utf8_parent_filename(file, name.data(), name.size(), &error) != 1) {
        TakeError(error);
        return {};
    }
    return std::string(reinterpret_cast<const char*>(name.data()));
}

}  // namespace

std::unique_ptr<FormatHandle> OpenVhdiImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason)
{
    std::vector<std::string> opened;
    std::vector<VhdiFilePtr> chain = OpenImageChain<VhdiFilePtr>(
        path, [](const std::string& file, bool, std::string& why) { return OpenOne(file, why); },
        [](libvhdi_file_t* file) { return ParentReference(file); }, opened, reason);
    if (chain.empty()) {
        return nullptr;
    }
    libvhdi_error_t* error = nullptr;
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        if (libvhdi_file_set_parent_file(chain[i].get(), chain[i + 1].get(), &error) != 1) {
            reason = LibraryOpenFailure(opened[i], TakeError(error));
            return nullptr;
        }
    }
    size64_t size = 0;
    if (libvhdi_file_get_media_size(chain.front().get(), &size, &error) != 1) {
        reason = LibraryOpenFailure(path, TakeError(error));
        return nullptr;
    }
    mediaSize = size;
    return std::make_unique<VhdiImage>(std::move(chain));
}

}  // namespace platform

// VMDK images (monolithic or split, sparse or flat, with their snapshot parents) through libvmdk.
#include <filesystem>
#include <utility>
#include <vector>

#include <libvmdk.h>

#include "core/messages.h"
#include "platform/format_image_source.h"
#include "platform/libyal_support.h"

namespace platform {

namespace {

std::string TakeError(libvmdk_error_t*& error)
{
    return TakeLibraryError(error, libvmdk_error_backtrace_sprint, libvmdk_error_free);
}

struct VmdkHandleRelease
{
    void operator()(libvmdk_handle_t* handle) const noexcept
    {
        libvmdk_handle_close(handle, nullptr);
        libvmdk_handle_free(&handle, nullptr);
    }
};
using VmdkHandlePtr = std::unique_ptr<libvmdk_handle_t, VmdkHandleRelease>;

class VmdkImage : public FormatHandle
{
public:
    // chain[0] is the image named; each further handle is the parent of the one before it.
    explicit VmdkImage(std::vector<VmdkHandlePtr> chain) noexcept : m_chain(std::move(chain)) {}
    ~VmdkImage() override
    {
        for (auto& handle : m_chain) {
            handle.reset();  // children first
        }
    }
    VmdkImage(const VmdkImage&) = delete;
    VmdkImage& operator=(const VmdkImage&) = delete;

    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        libvmdk_error_t* error = nullptr;
        const ssize_t got = libvmdk_handle_read_buffer_at_offset(m_chain.front().get(), out.data(), out.size(),
                                                                 static_cast<off64_t>(offset), &error);
        if (error != nullptr) {
            libvmdk_error_free(&error);
        }
        return got >= 0 && static_cast<std::size_t>(got) == out.size();
    }

private:
    std::vector<VmdkHandlePtr> m_chain;
};

// Opens the descriptor (or sparse extent) and the extent files it names, which lie beside it.
VmdkHandlePtr OpenOne(const std::string& path, std::string& why)
{
    libvmdk_error_t* error = nullptr;
    libvmdk_handle_t* raw = nullptr;
    if (libvmdk_handle_initialize(&raw, &error) != 1) {
        why = TakeError(error);
        return nullptr;
    }
    if (libvmdk_handle_open(raw, path.c_str(), LIBVMDK_OPEN_READ, &error) != 1) {
        why = TakeError(error);
        libvmdk_handle_free(&raw, nullptr);
        return nullptr;
    }
    VmdkHandlePtr handle(raw);
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    if (libvmdk_handle_set_extent_data_files_path(handle.get(), folder.c_str(), folder.size(), &error) != 1 ||
        libvmdk_handle_open_extent_data_files(handle.get(), &error) != 1) {
        why = TakeError(error);
        return nullptr;
    }
    return handle;
}

// The parent file a snapshot image names (parentFileNameHint); empty when it has none.
std::string ParentReference(libvmdk_handle_t* handle)
{
    std::size_t size = 0;
    libvmdk_error_t* error = nullptr;
    if (libvmdk_handle_get_utf8_parent_filename_size(handle, &size, &error) != 1 || size <= 1) {
        TakeError(error);
        return {};
    }
    std::vector<std::uint8_t> name(size, 0);
    if (libvmdk_handle_get_utf8_parent_filename(handle, name.data(), name.size(), &error) != 1) {
        TakeError(error);
        return {};
    }
    return std::string(reinterpret_cast<const char*>(name.data()));
}

}  // namespace

std::unique_ptr<FormatHandle> OpenVmdkImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason)
{
    std::vector<std::string> opened;
    std::vector<VmdkHandlePtr> chain = OpenImageChain<VmdkHandlePtr>(
        path, [](const std::string& file, bool, std::string& why) { return OpenOne(file, why); },
        [](libvmdk_handle_t* handle) { return ParentReference(handle); }, opened, reason);
    if (chain.empty()) {
        return nullptr;
    }
    libvmdk_error_t* error = nullptr;
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        if (libvmdk_handle_set_parent_handle(chain[i].get(), chain[i + 1].get(), &error) != 1) {
            reason = LibraryOpenFailure(opened[i], TakeError(error));
            return nullptr;
        }
    }
    size64_t size = 0;
    if (libvmdk_handle_get_media_size(chain.front().get(), &size, &error) != 1) {
        reason = LibraryOpenFailure(path, TakeError(error));
        return nullptr;
    }
    mediaSize = size;
    return std::make_unique<VmdkImage>(std::move(chain));
}

}  // namespace platform

// QCOW images (versions 1 to 3, with QCOW backing files) through libqcow.
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include <libqcow.h>

#include "core/messages.h"
#include "platform/format_image_source.h"
#include "platform/image_format.h"
#include "platform/libyal_support.h"

namespace platform {

namespace {

std::string TakeError(libqcow_error_t*& error)
{
    return TakeLibraryError(error, libqcow_error_backtrace_sprint, libqcow_error_free);
}

struct QcowFileRelease
{
    void operator()(libqcow_file_t* file) const noexcept
    {
        libqcow_file_close(file, nullptr);
        libqcow_file_free(&file, nullptr);
    }
};
using QcowFilePtr = std::unique_ptr<libqcow_file_t, QcowFileRelease>;

class QcowImage : public FormatHandle
{
public:
    // chain[0] is the image named; each further file is the backing file of the one before it.
    explicit QcowImage(std::vector<QcowFilePtr> chain) noexcept : m_chain(std::move(chain)) {}
    ~QcowImage() override
    {
        for (auto& file : m_chain) {
            file.reset();  // children first
        }
    }
    QcowImage(const QcowImage&) = delete;
    QcowImage& operator=(const QcowImage&) = delete;

    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        libqcow_error_t* error = nullptr;
        const ssize_t got = libqcow_file_read_buffer_at_offset(m_chain.front().get(), out.data(), out.size(),
                                                               static_cast<off64_t>(offset), &error);
        if (error != nullptr) {
            libqcow_error_free(&error);
        }
        return got >= 0 && static_cast<std::size_t>(got) == out.size();
    }

private:
    std::vector<QcowFilePtr> m_chain;
};

QcowFilePtr OpenOne(const std::string& path, std::string& why)
{
    libqcow_error_t* error = nullptr;
    libqcow_file_t* raw = nullptr;
    if (libqcow_file_initialize(&raw, &error) != 1) {
        why = TakeError(error);
        return nullptr;
    }
    if (libqcow_file_open(raw, path.c_str(), LIBQCOW_OPEN_READ, &error) != 1) {
        why = TakeError(error);
        libqcow_file_free(&raw, nullptr);
        return nullptr;
    }
    QcowFilePtr file(raw);
    std::uint32_t method = LIBQCOW_ENCRYPTION_METHOD_NONE;
    if (libqcow_file_get_encryption_method(file.get(), &method, &error) != 1) {
        why = TakeError(error);
        return nullptr;
    }
    if (method != LIBQCOW_ENCRYPTION_METHOD_NONE) {
        why = core::msg::kImageEncrypted;
        return nullptr;
    }
    return file;
}

// The backing file a QCOW image names; empty when it has none.
std::string BackingReference(libqcow_file_t* file)
{
    std::size_t size = 0;
    libqcow_error_t* error = nullptr;
    if (libqcow_file_get_utf8_backing_filename_size(file, &size, &error) != 1 || size <= 1) {
        TakeError(error);
        return {};
    }
    std::vector<std::uint8_t> name(size, 0);
    if (libqcow_file_get_utf8_backing_filename(file, name.data(), name.size(), &error) != 1) {
        TakeError(error);
        return {};
    }
    return std::string(reinterpret_cast<const char*>(name.data()));
}

}  // namespace

std::unique_ptr<FormatHandle> OpenQcowImage(const std::string& path, std::uint64_t& mediaSize, std::string& reason)
{
    std::vector<std::string> opened;
    const auto openOne = [](const std::string& file, bool isBacking, std::string& why) {
        // The library stacks QCOW files only: a backing file of another format cannot be read under it.
        std::error_code ec;
        if (isBacking && std::filesystem::exists(file, ec) && DetectImageFormat(file) != ImageFormat::Qcow) {
            why = core::msg::kBackingNotQcow;
            return QcowFilePtr();
        }
        return OpenOne(file, why);
    };
    std::vector<QcowFilePtr> chain = OpenImageChain<QcowFilePtr>(
        path, openOne, [](libqcow_file_t* file) { return BackingReference(file); }, opened, reason);
    if (chain.empty()) {
        return nullptr;
    }
    libqcow_error_t* error = nullptr;
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        if (libqcow_file_set_parent_file(chain[i].get(), chain[i + 1].get(), &error) != 1) {
            reason = LibraryOpenFailure(opened[i], TakeError(error));
            return nullptr;
        }
    }
    size64_t size = 0;
    if (libqcow_file_get_media_size(chain.front().get(), &size, &error) != 1) {
        reason = LibraryOpenFailure(path, TakeError(error));
        return nullptr;
    }
    mediaSize = size;
    return std::make_unique<QcowImage>(std::move(chain));
}

}  // namespace platform

// Opening a disk image of any accepted format as one sector source.
#include "platform/disk_image.h"

#include <algorithm>
#include <thread>

#include "platform/file_source.h"
#include "platform/format_image_source.h"
#include "platform/split_raw_source.h"

namespace platform {

ImageOpenResult OpenDiskImage(const std::string& path)
{
    ImageOpenResult result;
    result.format = DetectImageFormat(path);
    using Opener = std::unique_ptr<FormatHandle> (*)(const std::string&, std::uint64_t&, std::string&);
    Opener opener = nullptr;
    switch (result.format) {
    case ImageFormat::Raw: {
        OpenResult opened = OpenReadOnly(path);
        result.source = std::move(opened.source);
        result.reason = std::move(opened.reason);
        return result;
    }
    case ImageFormat::SplitRaw:
        result.source = OpenSplitRaw(SplitPieces(path), result.reason);
        return result;
    case ImageFormat::Ewf:
        opener = &OpenEwfImage;
        break;
    case ImageFormat::Vhdi:
        opener = &OpenVhdiImage;
        break;
    case ImageFormat::Vmdk:
        opener = &OpenVmdkImage;
        break;
    case ImageFormat::Qcow:
        opener = &OpenQcowImage;
        break;
    }
    std::uint64_t mediaSize = 0;
    std::unique_ptr<FormatHandle> handle = opener(path, mediaSize, result.reason);
    if (handle) {
        // Further handles for reading from several threads at once, one a core. A handle whose
        // media differs in size (the files changed in between) is not taken.
        auto reopen = [opener, path, mediaSize]() -> std::unique_ptr<FormatHandle> {
            std::uint64_t size = 0;
            std::string reason;
            std::unique_ptr<FormatHandle> again = opener(path, size, reason);
            return size == mediaSize ? std::move(again) : nullptr;
        };
        result.source = std::make_unique<FormatImageSource>(std::move(handle), mediaSize, std::move(reopen),
                                                             std::max(std::thread::hardware_concurrency(), 1u));
    }
    return result;
}

}  // namespace platform

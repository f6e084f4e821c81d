// Opening a disk image of any accepted format as one sector source.
#include "platform/disk_image.h"

#include "platform/file_source.h"
#include "platform/format_image_source.h"
#include "platform/split_raw_source.h"

namespace platform {

ImageOpenResult OpenDiskImage(const std::string& path)
{
    ImageOpenResult result;
    result.format = DetectImageFormat(path);
    std::unique_ptr<FormatHandle> handle;
    std::uint64_t mediaSize = 0;
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
        handle = OpenEwfImage(path, mediaSize, result.reason);
        break;
    case ImageFormat::Vhdi:
        handle = OpenVhdiImage(path, mediaSize, result.reason);
        break;
    case ImageFormat::Vmdk:
        handle = OpenVmdkImage(path, mediaSize, result.reason);
        break;
    case ImageFormat::Qcow:
        handle = OpenQcowImage(path, mediaSize, result.reason);
        break;
    }
    if (handle) {
        result.source = std::make_unique<FormatImageSource>(std::move(handle), mediaSize);
    }
    return result;
}

}  // namespace platform

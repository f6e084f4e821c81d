// Opening a disk image of any accepted format, chosen by its content, as one sector source.
#pragma once

#include <memory>
#include <string>

#include "core/sector_source.h"
#include "platform/image_format.h"

namespace platform {

// The result of opening an image: a source, or the reason (for the user) why there is none.
struct ImageOpenResult
{
    std::unique_ptr<core::SectorSource> source;
    ImageFormat format = ImageFormat::Raw;
    std::string reason;  // empty on success
};

// Opens the image (or block device) at `path` read-only. Raw images and devices are read with
// pread (a FileSectorSource), split raw sets piece by piece, the other formats through their
// library. The reason of a failure is the operating system's or the library's.
ImageOpenResult OpenDiskImage(const std::string& path);

}  // namespace platform

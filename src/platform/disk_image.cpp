// Opening a disk image of any accepted format as one sector source.
#include "platform/disk_image.h"

#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/file_source.h"
#include "platform/format_image_source.h"
#include "platform/split_raw_source.h"

namespace platform {

namespace {

// Raises this process's limit of open files to the most it may have (its hard limit), once. A
// split raw image keeps every piece open, and an image of a large disk can have thousands of
// pieces or segments, beyond the usual first limit of 1024. Left as it is when that fails.
void RaiseOpenFileLimit() noexcept
{
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

// Descriptors kept free for everything else the program opens (outputs, reports, snapshots).
constexpr std::uint64_t kSpareFiles = 64;

// The files this process has open; 0 when that cannot be told.
std::uint64_t OpenFileCount() noexcept
{
    std::error_code ec;
    std::uint64_t count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) {
        ++count;
    }
    return ec ? 0 : count;
}

std::uint64_t OpenFileLimit() noexcept
{
    rlimit limit{};
    return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 0;
}

}  // namespace

ImageOpenResult OpenDiskImage(const std::string& path)
{
    ImageOpenResult result;
    RaiseOpenFileLimit();
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
            // A handle keeps every segment or extent file of the image open: open another only
            // while the files open so far fit in the limit twice over, so that opening it cannot
            // leave the recovery without a descriptor for its output files.
            const std::uint64_t open = OpenFileCount();
            if (open == 0 || open * 2 + kSpareFiles > OpenFileLimit()) {
                return nullptr;
            }
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

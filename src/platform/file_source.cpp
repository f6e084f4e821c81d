// Read-only access to an image file or a block device.
#include "platform/file_source.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/messages.h"

namespace platform {

FileSectorSource::~FileSectorSource()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FileSectorSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = offset + done;
        if (at < offset || at > static_cast<std::uint64_t>(INT64_MAX)) {
            return false;  // not addressable as off_t
        }
        const ssize_t got = ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return false;  // end of the image or device before the request was filled
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::uint64_t> SizeOfOpenFile(int fd)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    if (S_ISBLK(st.st_mode)) {
        std::uint64_t bytes = 0;
        if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) {
            return std::nullopt;
        }
        return bytes;
    }
    if (S_ISREG(st.st_mode) && st.st_size >= 0) {
        return static_cast<std::uint64_t>(st.st_size);
    }
    return std::nullopt;
}

std::string OpenFailureReason(const std::string& path, int error)
{
    std::string reason = "Cannot open " + path + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) {
        reason += std::string(core::msg::kPermissionHint);
    }
    return reason;
}

OpenResult OpenReadOnly(const std::string& path)
{
    OpenResult result;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.error = errno;
        result.reason = OpenFailureReason(path, result.error);
        return result;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        result.error = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        ::close(fd);
        result.reason = OpenFailureReason(path, result.error);
        return result;
    }
    const auto size = SizeOfOpenFile(fd);
    if (!size) {
        result.error = errno != 0 ? errno : EIO;
        ::close(fd);
        result.reason = OpenFailureReason(path, result.error);
        return result;
    }
    result.source = std::make_unique<FileSectorSource>(fd, *size, S_ISREG(st.st_mode));
    return result;
}

}  // namespace platform

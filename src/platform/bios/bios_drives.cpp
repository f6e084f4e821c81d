// Shared part of the BIOS disk stand-in libraries.
#include "bios_drives.h"

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bios {

namespace {

std::mutex g_mutex;
std::vector<std::string> g_paths;

constexpr std::uint64_t kSectorBytes = 512;

bool PathOf(std::uint8_t biosDrive, std::string& path)
{
    if (biosDrive < kFirstHardDisk) {
        return false;
    }
    const std::size_t index = biosDrive - kFirstHardDisk;
    std::lock_guard lock(g_mutex);
    if (index >= g_paths.size()) {
        return false;
    }
    path = g_paths[index];
    return true;
}

class Fd
{
public:
    explicit Fd(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool SizeOf(int fd, std::uint64_t& size)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    if (S_ISBLK(st.st_mode)) {
        return ::ioctl(fd, BLKGETSIZE64, &size) == 0;
    }
    if (!S_ISREG(st.st_mode) || st.st_size < 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

}  // namespace

void SetDrives(const char* const* paths, std::uint32_t count)
{
    std::lock_guard lock(g_mutex);
    g_paths.clear();
    for (std::uint32_t i = 0; paths != nullptr && i < count && i < kMaxDrives; ++i) {
        g_paths.emplace_back(paths[i] != nullptr ? paths[i] : "");
    }
}

std::uint16_t DriveCount()
{
    std::lock_guard lock(g_mutex);
    return static_cast<std::uint16_t>(g_paths.size());
}

bool DriveSize(std::uint8_t biosDrive, std::uint64_t& sizeBytes)
{
    std::string path;
    if (!PathOf(biosDrive, path)) {
        return false;
    }
    Fd fd(path);
    return fd.get() >= 0 && SizeOf(fd.get(), sizeBytes);
}

bool ReadLba(std::uint8_t biosDrive, std::uint64_t lba, std::uint32_t count, void* buffer)
{
    std::string path;
    if (buffer == nullptr || !PathOf(biosDrive, path)) {
        return false;
    }
    Fd fd(path);
    std::uint64_t size = 0;
    if (fd.get() < 0 || !SizeOf(fd.get(), size)) {
        return false;
    }
    const std::uint64_t bytes = std::uint64_t{count} * kSectorBytes;
    if (lba > size / kSectorBytes || bytes > size - lba * kSectorBytes) {
        return false;  // past the end of the drive
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint64_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::pread(fd.get(), out + done, static_cast<std::size_t>(bytes - done),
                                    static_cast<off_t>(lba * kSectorBytes + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::uint64_t>(got);
    }
    return true;
}

}  // namespace bios

extern "C" void DravikBiosSetDrives(const char* const* paths, std::uint32_t count) { bios::SetDrives(paths, count); }

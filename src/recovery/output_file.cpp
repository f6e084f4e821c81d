// One output file of recovery.
#include "recovery/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sendfile.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace recovery {

namespace {

// Largest sendfile request (the kernel moves at most about 2 GiB per call anyway).
constexpr std::uint64_t kMaxSendfile = std::uint64_t{1} << 30;
// Replace: how often a file that keeps reappearing at the name is removed before giving up.
constexpr int kReplaceAttempts = 3;

}  // namespace

OutputFile::~OutputFile()
{
    if (m_fd >= 0) {
        Close();
    }
}

CreateStatus OutputFile::Create(const std::filesystem::path& path, CreateMode mode, unsigned permissions)
{
    if (m_fd >= 0) {
        Close();
    }
    m_position = 0;
    m_pendingHole = 0;
    m_failed = false;
    m_hash.Reset();
    m_digest.reset();
    constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW;
    const auto perms = static_cast<mode_t>(permissions & 07777);
    // O_EXCL makes the check and the creation one step: a file that appeared since the name was
    // chosen, or that the destination folds onto this name, is never truncated.
    m_fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, perms);
    if (m_fd >= 0) {
        return CreateStatus::Created;
    }
    if (errno != EEXIST) {
        return CreateStatus::Failed;
    }
    if (mode == CreateMode::New) {
        return CreateStatus::Exists;
    }
    // Replace: the old entry goes and a new file is made in its place, never written into. A hard
    // link to a file elsewhere then keeps that file as it was, and so does a file that appears
    // between the two steps (the exclusive create refuses it). Only a regular file is replaced.
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        struct stat st
        {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                return CreateStatus::Failed;
            }
        } else if (!S_ISREG(st.st_mode) || (::unlink(path.c_str()) != 0 && errno != ENOENT)) {
            return CreateStatus::Failed;
        }
        m_fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, perms);
        if (m_fd >= 0) {
            return CreateStatus::Created;
        }
        if (errno != EEXIST) {
            return CreateStatus::Failed;
        }
    }
    return CreateStatus::Failed;
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0 || m_failed) {
        m_failed = true;
        return false;
    }
    if (m_pendingHole != 0) {
        if (m_position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
            ::lseek(m_fd, static_cast<off_t>(m_position), SEEK_SET) < 0) {
            m_failed = true;
            return false;
        }
        m_pendingHole = 0;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_failed = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    m_position += bytes.size();
    if (m_hashing) {
        m_hash.Update(bytes);
    }
    return true;
}

std::uint64_t OutputFile::CopyFrom(int fd, std::uint64_t offset, std::uint64_t count)
{
    if (m_hashing || m_fd < 0 || m_failed || fd < 0 || offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return 0;
    }
    if (m_pendingHole != 0) {
        if (m_position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
            ::lseek(m_fd, static_cast<off_t>(m_position), SEEK_SET) < 0) {
            return 0;
        }
        m_pendingHole = 0;
    }
    auto in = static_cast<off_t>(offset);
    std::uint64_t done = 0;
    while (done < count && !m_crossDevice) {
        const ssize_t n = ::copy_file_range(fd, &in, m_fd, nullptr, static_cast<std::size_t>(count - done), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // Another file system (the usual case: recovery goes to another disk) or a kernel
            // without it: sendfile still copies inside the kernel, and is tried from now on.
            m_crossDevice = true;
            break;
        }
        if (n <= 0) {
            return Appended(done);
        }
        done += static_cast<std::uint64_t>(n);
    }
    while (done < count) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kMaxSendfile));
        const ssize_t n = ::sendfile(m_fd, fd, &in, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::uint64_t>(n);
    }
    return Appended(done);
}

std::uint64_t OutputFile::Appended(std::uint64_t bytes) noexcept
{
    m_position += bytes;
    return bytes;
}

bool OutputFile::Zeros(std::uint64_t count)
{
    if (m_fd < 0 || m_failed) {
        m_failed = true;
        return false;
    }
    if (count > std::numeric_limits<std::uint64_t>::max() - m_position) {
        m_failed = true;
        return false;
    }
    m_position += count;
    m_pendingHole += count;
    if (m_hashing) {
        m_hash.UpdateZeros(count);
    }
    return true;
}

bool OutputFile::Close()
{
    if (m_fd < 0) {
        return false;
    }
    if (m_pendingHole != 0 && !m_failed) {
        if (m_position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
            ::ftruncate(m_fd, static_cast<off_t>(m_position)) != 0) {
            m_failed = true;
        }
        m_pendingHole = 0;
    }
    if (::close(m_fd) != 0) {
        m_failed = true;
    }
    m_fd = -1;
    if (m_hashing && !m_failed) {
        m_digest = m_hash.Final();
    }
    return !m_failed;
}

}  // namespace recovery

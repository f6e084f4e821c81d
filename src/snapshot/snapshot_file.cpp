// Recovery snapshot files: naming, saving and loading.
#include "snapshot/snapshot_file.h"

#include <cerrno>
#include <cstddef>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/messages.h"
#include "snapshot/snapshot_layout.h"

namespace snapshot {
namespace {

// Closes a descriptor once; Close() reports the result for a file being written.
class Fd
{
public:
    explicit Fd(int fd) noexcept : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Get() const noexcept { return m_fd; }
    bool Valid() const noexcept { return m_fd >= 0; }
    bool Close() noexcept
    {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads to the end of the file; false on a read error.
bool ReadAll(int fd, std::vector<std::uint8_t>& out)
{
    constexpr std::size_t kChunk = 1 << 16;
    for (;;) {
        const std::size_t used = out.size();
        out.resize(used + kChunk);
        const ssize_t n = ::read(fd, out.data() + used, kChunk);
        if (n < 0 && errno == EINTR) {
            out.resize(used);
            continue;
        }
        if (n < 0) {
            out.clear();
            return false;
        }
        out.resize(used + static_cast<std::size_t>(n));
        if (n == 0) {
            return true;
        }
    }
}

SaveResult Failed(SaveResult result, SaveOutcome outcome, std::string_view text)
{
    result.outcome = outcome;
    result.message = std::string(text);
    return result;
}

LoadResult Refused(LoadOutcome outcome, std::string message, Defect defect = Defect::None)
{
    LoadResult result;
    result.outcome = outcome;
    result.defect = defect;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::string SnapshotFileName(std::string_view chosen)
{
    std::string name(chosen);
    if (!chosen.ends_with(kExtension)) {
        name += kExtension;
    }
    return name;
}

SaveResult SaveSnapshot(const catalog::Catalog& catalog, std::string_view chosen)
{
    SaveResult result;
    result.path = SnapshotFileName(chosen);

    // Encoded before the file is touched, so a refused catalog leaves an existing file alone.
    std::vector<std::uint8_t> bytes;
    if (SerializeSnapshot(catalog, bytes) != SerializeOutcome::Serialized) {
        return Failed(std::move(result), SaveOutcome::NameTooLong, core::msg::kSnapshotNameTooLong);
    }
    Fd fd(::open(result.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.Valid()) {
        return Failed(std::move(result), SaveOutcome::OpenFailed, core::msg::kUnableToOpenFile);
    }
    // A short write (a full disk, a quota) or a failing close leaves an incomplete file, which
    // the loader refuses; the user is told rather than left believing the snapshot was saved.
    const bool written = WriteAll(fd.Get(), bytes);
    const bool closed = fd.Close();
    if (!written || !closed) {
        return Failed(std::move(result), SaveOutcome::WriteFailed, core::msg::kSnapshotWriteFailed);
    }
    result.outcome = SaveOutcome::Saved;
    return result;
}

LoadResult LoadSnapshotBytes(std::span<const std::uint8_t> bytes, catalog::Catalog& catalog)
{
    ParseResult parsed = ParseSnapshot(bytes);
    switch (parsed.outcome) {
    case ParseOutcome::BadTag:
        return Refused(LoadOutcome::BadTag, std::string(core::msg::kInvalidSnapshotTag) + parsed.tagRead);
    case ParseOutcome::BadVersion:
        return Refused(LoadOutcome::BadVersion, std::string(core::msg::kSnapshotVersionMismatch));
    case ParseOutcome::Damaged:
        return Refused(LoadOutcome::Damaged, std::string(core::msg::kSnapshotDamaged), parsed.defect);
    case ParseOutcome::Parsed:
        break;
    }
    ApplySnapshot(std::move(parsed.contents), catalog);
    LoadResult result;
    result.outcome = LoadOutcome::Loaded;
    return result;
}

LoadResult LoadSnapshot(const std::string& path, catalog::Catalog& catalog)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info
    {
    };
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Refused(LoadOutcome::OpenFailed, std::string(core::msg::kUnableToOpenFile));
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadAll(fd.Get(), bytes)) {
        return Refused(LoadOutcome::ReadFailed, std::string(core::msg::kSnapshotReadFailed));
    }
    fd.Close();
    return LoadSnapshotBytes(bytes, catalog);
}

}  // namespace snapshot

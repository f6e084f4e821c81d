// Names and paths of recovered files.
#include "recovery/output_names.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "core/messages.h"

namespace recovery {

namespace {

// Control characters (C0 and DEL) become '_' in output names: a name holding a line break or an
// escape sequence would garble every listing of the destination folder, and a few destinations
// refuse them.
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

constexpr std::string_view kPartialSuffix = ".partial";
constexpr std::size_t kMaxNameBytes = 255;  // NAME_MAX of Linux file systems
constexpr unsigned char kUtf8ContinuationMask = 0xC0;
constexpr unsigned char kUtf8Continuation = 0x80;

}  // namespace

std::string SafeOutputName(std::string_view catalogName)
{
    std::string name(catalogName);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < kFirstPrintable || byte == kDelete) {
            c = '_';
        }
    }
    if (name.empty() || name == "." || name == "..") {
        name.insert(name.begin(), '_');
    }
    return name;
}

std::string CopyCandidateName(std::uint64_t n, std::string_view name)
{
    std::string out(core::msg::kCopyNamePrefix);
    out += std::to_string(n);
    out += core::msg::kCopyNameOf;
    out += name;
    return out;
}

std::string PartialName(std::string_view name, std::uint32_t n)
{
    std::string suffix = n <= 1 ? std::string() : "." + std::to_string(n);
    suffix += kPartialSuffix;
    std::size_t keep = name.size();
    if (keep + suffix.size() > kMaxNameBytes) {
        keep = kMaxNameBytes - suffix.size();
        // Never cut a UTF-8 sequence: back up to the start of the character.
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & kUtf8ContinuationMask) == kUtf8Continuation) {
            --keep;
        }
    }
    std::string out(name.substr(0, keep));
    out += suffix;
    return out;
}

RenameStatus RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return RenameStatus::Renamed;
    }
    if (errno == EEXIST) {
        return RenameStatus::Exists;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return RenameStatus::Failed;
    }
    // The destination's file system cannot rename without replacing (some FUSE file systems).
    if (PathExists(to)) {
        return RenameStatus::Exists;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? RenameStatus::Renamed : RenameStatus::Failed;
}

bool PathExists(const std::filesystem::path& path)
{
    struct stat st
    {};
    return ::lstat(path.c_str(), &st) == 0;
}

FolderOutcome MakeFolder(const std::filesystem::path& path)
{
    if (::mkdir(path.c_str(), 0777) == 0) {
        return FolderOutcome::Created;
    }
    if (errno != EEXIST) {
        return FolderOutcome::Failed;
    }
    struct stat st
    {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return FolderOutcome::Existed;
    }
    return FolderOutcome::Failed;
}

FolderOutcome MakeFolders(const std::filesystem::path& path)
{
    std::error_code ec;
    const bool made = std::filesystem::create_directories(path, ec);
    if (ec || !std::filesystem::is_directory(path, ec)) {
        return FolderOutcome::Failed;
    }
    return made ? FolderOutcome::Created : FolderOutcome::Existed;
}

}  // namespace recovery

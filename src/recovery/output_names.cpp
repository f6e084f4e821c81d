// Names and paths of recovered files.
#include "recovery/output_names.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/messages.h"

namespace recovery {

std::string SafeOutputName(std::string_view catalogName)
{
    std::string name(catalogName);
    for (char& c : name) {
        if (c == '/' || c == '\0') {
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

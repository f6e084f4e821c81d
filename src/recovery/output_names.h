// Names and paths of recovered files: catalog names made safe for the destination file system,
// the "Copy (n ) of name" candidates of the rename policy, the ".partial" names of files not
// written whole, and folder paths kept below the destination folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace recovery {

// The catalog name (UTF-8) as a single path component that cannot leave its folder:
// '/', NUL and the other control characters (0x01-0x1F, DEL) become '_', an empty name becomes
// "_", and "." and ".." get a leading '_'.
std::string SafeOutputName(std::string_view catalogName);

// "Copy (" n " ) of " name, the n-th candidate of the rename policy (n counts from 1).
std::string CopyCandidateName(std::uint64_t n, std::string_view name);

// The name a file that could not be written whole is set aside under: "NAME.partial" for n = 1,
// "NAME.<n>.partial" for the later candidates, NAME cut (at a character's start) where the
// whole would pass the longest name a Linux file system takes (255 bytes).
std::string PartialName(std::string_view name, std::uint32_t n);

enum class RenameStatus
{
    Renamed,
    Exists,    // something holds `to` already; nothing was changed
    Failed,
};

// Renames `from` to `to`, never replacing what is at `to` (an atomic check where the file system
// offers one, a check just before the rename otherwise).
RenameStatus RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// True when something (file, folder, link) exists at `path`; a link is not followed.
bool PathExists(const std::filesystem::path& path);

enum class FolderOutcome
{
    Created,   // made now
    Existed,   // a folder (not a link) was there already
    Failed,    // could not be made, or something other than a folder holds the name
};

// Makes the folder `path` (its parent must exist). An existing link is refused, so nothing is
// ever written through it to a place outside the destination folder.
FolderOutcome MakeFolder(const std::filesystem::path& path);

// Makes the destination folder the user chose, with every missing folder above it (links in the
// chosen path are followed: the user named it).
FolderOutcome MakeFolders(const std::filesystem::path& path);

}  // namespace recovery

// The listing of one folder: its subfolders, then its files, as rows of the list view
// (Name, Type, Size, Created, Modified, ID), with the file filters applied to files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "catalog/catalog.h"
#include "ntfs/shown_volume.h"

namespace ntfs {

inline constexpr std::string_view kFolderType = "Folder";
inline constexpr std::string_view kDeletedFolderType = "Deleted Folder";
inline constexpr std::string_view kDeletedTypePrefix = "Deleted ";

struct ListRow
{
    std::string name;
    std::string type;
    std::string size;
    std::string created;
    std::string modified;
    std::string id;
    bool folder = false;
    bool deleted = false;
    // The "Recoverable" column: 0..100 of a deleted file, kRecoverableUnknown ("?") or
    // kRecoverableNotRated ("–"; folders and live files). RecoverableText gives the text.
    std::uint8_t recoverable = catalog::kRecoverableNotRated;
    // Sort keys of the Size and date columns: bytes, and FILETIMEs or FAT date words.
    std::uint64_t sizeBytes = 0;
    std::uint64_t createdKey = 0;
    std::uint64_t modifiedKey = 0;
};

// The text of the "Recoverable" column: "87%", "?" or "–".
std::string RecoverableText(std::uint8_t recoverable);

// Whether a file of this name is listed (the shell passes its filter test; with no filter
// patterns every name is admitted).
using NameAdmitter = std::function<bool(std::string_view name)>;
// The type description of a file by its name only (no file is touched).
using TypeDescriber = std::function<std::string(std::string_view name)>;

// The folders of the shown volume whose parent is `key` (ID = treeItem), then its admitted files
// (ID = the file's ID value), each group in catalog order; times as the volume formats them.
std::vector<ListRow> ListShownFolder(const ShownVolume& volume, std::uint32_t key, const NameAdmitter& admit,
                                     const TypeDescriber& describe);

// NTFS folders and files whose parent is `key`: folders first (ID = treeItem), then admitted
// files (ID = dataRecordSector), each group in catalog order.
std::vector<ListRow> ListNtfsFolder(const catalog::Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                    const TypeDescriber& describe);

// The same for a file system mounted from the Advance Scan: folders from the NTFS folder list,
// files from the found-file list whose sector lies in the mounted file system
// (clusterBase < sector <= endSector of volumeParams); their ID is that sector.
std::vector<ListRow> ListFoundFolder(const catalog::Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                     const TypeDescriber& describe);

// FAT folders (ID = treeItem) and files (ID = serial) whose parentCluster is `key`; dates are
// FAT date words.
std::vector<ListRow> ListFatFolder(const catalog::Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                   const TypeDescriber& describe);

// A row is a folder row when the last six characters of its Type are "Folder", so deleted
// folders open like present ones.
bool IsFolderRowType(std::string_view type) noexcept;

// Opening a folder row: the NTFS folder whose treeItem is the number in the ID text, or nothing
// (the caller then lists the root) when the text is no number or no folder carries it.
std::optional<std::size_t> NtfsFolderForRowId(const catalog::Catalog& catalog, std::string_view id);
// The same over the FAT folders.
std::optional<std::size_t> FatFolderForRowId(const catalog::Catalog& catalog, std::string_view id);

}  // namespace ntfs

// The volume the browse step shows: which of the catalog's lists hold its folders and files
// (the NTFS lists, the NTFS folders with the found files of a mounted file system, or the FAT
// lists), which found files belong to a mounted file system, the folders and files of a folder,
// the path of a folder and the entry a path names. The listing, batch recovery, the file search,
// the browse commands and the command line all read the catalog through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "catalog/catalog.h"

namespace ntfs {

enum class ShownKind : std::uint8_t
{
    NtfsLists,     // a Standard Scan or its snapshot: NTFS folders and files, root record 5
    MountedFound,  // a file system mounted from the Advance Scan: NTFS folders, and the found files
                   // whose FILE record lies in it, root record 5
    FatLists,      // a FAT snapshot: FAT folders and files, root cluster 0
    None,          // a volume type with no lists: nothing is shown
};

// FAT16/FAT32 show the FAT lists; NTFS shows a mount's found files after an Advance Scan and the
// NTFS lists otherwise; any other type shows nothing.
ShownKind ShownKindOf(core::FsTypeCode type, bool advanceScan) noexcept;

// A found file belongs to the mounted file system when its FILE record lies after the volume's
// first sector and not past its end: clusterBase < sector <= endSector.
bool InMountedVolume(const catalog::VolumeParams& volume, core::Sector sector) noexcept;

// A folder of the shown volume, read from its list entry. Times are FILETIMEs for NTFS and FAT
// date words for FAT (ShownVolume::TimeText formats either).
struct ShownFolder
{
    std::string_view name;
    std::uint32_t key = 0;      // own record (NTFS) or first cluster (FAT): its children's parent
    std::uint32_t parent = 0;
    std::uint64_t created = 0;
    std::uint64_t changed = 0;  // shown as "Modified"
    core::TreeItemId treeItem = 0;
    bool deleted = false;
};

// A file of the shown volume, read from its list entry: what the list, the search and the
// extraction take from it.
struct ShownFile
{
    std::string_view name;
    std::uint32_t parent = 0;
    std::uint64_t size = 0;        // bytes
    std::uint64_t created = 0;
    std::uint64_t changed = 0;
    bool deleted = false;
    std::uint64_t id = 0;          // the "ID" column: dataRecordSector, the found record's sector, or the FAT serial
    core::Sector recordSector = 0; // NTFS: the FILE record the data runs are read from; FAT: 0
    std::uint32_t firstCluster = 0;  // FAT: first cluster of the data; NTFS: 0
    // Of a deleted NTFS file: 0..100, kRecoverableUnknown or kRecoverableNotRated; live and FAT
    // files are not rated.
    std::uint8_t recoverable = catalog::kRecoverableNotRated;
    std::optional<std::uint32_t> record;  // NTFS lists: the file's record number, checked before recovery
};

// What a path names.
struct ShownEntry
{
    enum class Type : std::uint8_t
    {
        Root,
        Folder,
        File,
    };
    Type type = Type::Root;
    std::size_t position = 0;   // in the folder or the file list of the shown kind; 0 for the root
};

// A read-only view of `catalog` as a volume of kind `kind`. Positions are those of the catalog
// list the kind draws from (NTFS or FAT folders; NTFS, found or FAT files); every lookup goes
// through the catalog's indexes. Names in returned rows point into the catalog and stay valid
// until it next changes.
class ShownVolume
{
public:
    ShownVolume(const catalog::Catalog& catalog, ShownKind kind) noexcept : m_catalog(catalog), m_kind(kind) {}

    ShownKind Kind() const noexcept { return m_kind; }
    const catalog::Catalog& Entries() const noexcept { return m_catalog; }
    bool Fat() const noexcept { return m_kind == ShownKind::FatLists; }
    // Record 5 for NTFS, cluster 0 for FAT.
    std::uint32_t RootKey() const noexcept;
    // A time of a row as the list shows it: FormatFatDate for FAT, FormatFileTime otherwise.
    std::string TimeText(std::uint64_t value) const;

    // Folders whose parent is `key`, in list order.
    catalog::Catalog::Positions FoldersIn(std::uint32_t key) const noexcept;
    ShownFolder Folder(std::size_t position) const;
    std::size_t FolderListSize() const noexcept;
    // The folder shown by tree item `item`; nothing when none is.
    std::optional<std::size_t> FolderWithTreeItem(core::TreeItemId item) const;
    // The key of the folder shown by tree item `item`; the root's key when no folder is.
    std::uint32_t KeyOfTreeItem(core::TreeItemId item) const;

    // Files of the volume whose parent is `key`, in list order.
    std::vector<std::size_t> FilesIn(std::uint32_t key) const;
    // Whether the file at `position` of the kind's file list is part of the volume (found files
    // outside a mounted file system are not).
    bool Holds(std::size_t position) const noexcept;
    ShownFile File(std::size_t position) const;
    std::size_t FileListSize() const noexcept;
    // The file of the volume whose "ID" column value is `id`; nothing when none is.
    std::optional<std::size_t> FileWithId(std::uint64_t id) const;

    // Most folders a path names; a deeper chain keeps its lowest kMaxPathDepth folders.
    static constexpr std::size_t kMaxPathDepth = 1024;
    // The names of the folders from the first level below the root down to the folder with key
    // `key`, following parent links; each parent is the first folder carrying that key. Empty for
    // the root. The walk ends at the root, at a key no folder carries (the names then start at the
    // highest folder found), at a folder met twice (a loop of parent links), or after
    // kMaxPathDepth folders.
    std::vector<std::string_view> FolderNames(std::uint32_t key) const;

    // The entry a "/"-separated path names (empty parts ignored, so "" and "/" name the root).
    // Parts are compared exactly with the UTF-8 form of the names. Every part but the last names
    // a folder; the last names a folder before a file of the same name. Where several entries of
    // a folder carry the name, the first live one in list order wins, and a deleted one only when
    // nothing live carries it. Nothing when a part matches nothing.
    std::optional<ShownEntry> Resolve(std::string_view path) const;

private:
    std::optional<std::size_t> ChildFolder(std::uint32_t key, std::string_view utf8, bool deleted) const;
    std::optional<std::size_t> ChildFile(std::uint32_t key, std::string_view utf8, bool deleted) const;

    const catalog::Catalog& m_catalog;
    ShownKind m_kind;
};

}  // namespace ntfs

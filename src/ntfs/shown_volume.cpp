// The volume the browse step shows, over the catalog's lists and indexes.
#include "ntfs/shown_volume.h"

#include <algorithm>
#include <unordered_set>

#include "core/filetime.h"
#include "core/ntfs_names.h"

namespace ntfs {
namespace {

constexpr std::uint32_t kNtfsRoot = 5;
constexpr std::uint32_t kFatRoot = 0;

std::vector<std::string_view> SplitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) {
            parts.push_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    return parts;
}

}  // namespace

ShownKind ShownKindOf(core::FsTypeCode type, bool advanceScan) noexcept
{
    if (type == core::kFsFat16 || type == core::kFsFat32) {
        return ShownKind::FatLists;
    }
    if (type != core::kFsNtfs) {
        return ShownKind::None;
    }
    return advanceScan ? ShownKind::MountedFound : ShownKind::NtfsLists;
}

bool InMountedVolume(const catalog::VolumeParams& volume, core::Sector sector) noexcept
{
    return sector > volume.clusterBase && sector <= volume.endSector;
}

std::uint32_t ShownVolume::RootKey() const noexcept { return Fat() ? kFatRoot : kNtfsRoot; }

std::string ShownVolume::TimeText(std::uint64_t value) const
{
    return Fat() ? core::FormatFatDate(static_cast<std::uint16_t>(value)) : core::FormatFileTime(value);
}

catalog::Catalog::Positions ShownVolume::FoldersIn(std::uint32_t key) const noexcept
{
    switch (m_kind) {
    case ShownKind::FatLists:
        return m_catalog.FatFoldersWithParent(key);
    case ShownKind::NtfsLists:
    case ShownKind::MountedFound:
        return m_catalog.NtfsFoldersWithParent(key);
    case ShownKind::None:
        break;
    }
    return {};
}

ShownFolder ShownVolume::Folder(std::size_t position) const
{
    if (Fat()) {
        const catalog::FatFolderEntry& f = m_catalog.FatFolders()[position];
        return {f.name, f.cluster, f.parentCluster, f.writeDate, f.accessDate, f.treeItem, f.deleted != 0};
    }
    const catalog::NtfsFolderEntry& f = m_catalog.NtfsFolders()[position];
    return {f.name, f.record, f.parent, f.created, f.changed, f.treeItem, f.deleted != 0};
}

std::size_t ShownVolume::FolderListSize() const noexcept
{
    switch (m_kind) {
    case ShownKind::FatLists:
        return m_catalog.FatFolders().size();
    case ShownKind::NtfsLists:
    case ShownKind::MountedFound:
        return m_catalog.NtfsFolders().size();
    case ShownKind::None:
        break;
    }
    return 0;
}

std::optional<std::size_t> ShownVolume::FolderWithTreeItem(core::TreeItemId item) const
{
    switch (m_kind) {
    case ShownKind::FatLists:
        return m_catalog.FatFolderWithTreeItem(item);
    case ShownKind::NtfsLists:
    case ShownKind::MountedFound:
        return m_catalog.NtfsFolderWithTreeItem(item);
    case ShownKind::None:
        break;
    }
    return std::nullopt;
}

std::uint32_t ShownVolume::KeyOfTreeItem(core::TreeItemId item) const
{
    const auto position = FolderWithTreeItem(item);
    return position ? Folder(*position).key : RootKey();
}

std::vector<std::size_t> ShownVolume::FilesIn(std::uint32_t key) const
{
    catalog::Catalog::Positions range;
    switch (m_kind) {
    case ShownKind::FatLists:
        range = m_catalog.FatFilesWithParent(key);
        break;
    case ShownKind::NtfsLists:
        range = m_catalog.NtfsFilesWithParent(key);
        break;
    case ShownKind::MountedFound:
        range = m_catalog.FoundFilesWithParent(key);
        break;
    case ShownKind::None:
        break;
    }
    std::vector<std::size_t> positions;
    for (const std::size_t position : range) {
        if (Holds(position)) {
            positions.push_back(position);
        }
    }
    return positions;
}

bool ShownVolume::Holds(std::size_t position) const noexcept
{
    if (position >= FileListSize()) {
        return false;
    }
    return m_kind != ShownKind::MountedFound ||
           InMountedVolume(m_catalog.volumeParams, m_catalog.FoundFiles()[position].sector);
}

ShownFile ShownVolume::File(std::size_t position) const
{
    switch (m_kind) {
    case ShownKind::FatLists: {
        const catalog::FatFileEntry& f = m_catalog.FatFiles()[position];
        return {f.name, f.parentCluster, f.size, f.writeDate, f.accessDate, f.deleted != 0, f.serial, 0, f.cluster,
                catalog::kRecoverableNotRated, std::nullopt};
    }
    case ShownKind::MountedFound: {
        const catalog::FoundFileRecord& f = m_catalog.FoundFiles()[position];
        return {f.name, f.parent, f.size, f.created, f.changed, f.deleted != 0, f.sector, f.sector, 0,
                f.deleted != 0 ? f.recoverable : catalog::kRecoverableNotRated, std::nullopt};
    }
    case ShownKind::NtfsLists:
    case ShownKind::None:
        break;
    }
    const catalog::NtfsFileEntry& f = m_catalog.NtfsFiles()[position];
    return {f.name, f.parent, f.size, f.created, f.changed, f.deleted != 0, f.dataRecordSector, f.dataRecordSector, 0,
            f.deleted != 0 ? f.recoverable : catalog::kRecoverableNotRated, f.record};
}

std::size_t ShownVolume::FileListSize() const noexcept
{
    switch (m_kind) {
    case ShownKind::FatLists:
        return m_catalog.FatFiles().size();
    case ShownKind::NtfsLists:
        return m_catalog.NtfsFiles().size();
    case ShownKind::MountedFound:
        return m_catalog.FoundFiles().size();
    case ShownKind::None:
        break;
    }
    return 0;
}

std::optional<std::size_t> ShownVolume::FileWithId(std::uint64_t id) const
{
    std::optional<std::size_t> position;
    switch (m_kind) {
    case ShownKind::FatLists:
        if (id <= UINT32_MAX) {
            position = m_catalog.FatFileWithSerial(static_cast<std::uint32_t>(id));
        }
        break;
    case ShownKind::NtfsLists:
        position = m_catalog.NtfsFileWithDataRecordSector(static_cast<core::Sector>(id));
        break;
    case ShownKind::MountedFound:
        position = m_catalog.FoundFileWithSector(static_cast<core::Sector>(id));
        break;
    case ShownKind::None:
        break;
    }
    return position && Holds(*position) ? position : std::nullopt;
}

std::vector<std::string_view> ShownVolume::FolderNames(std::uint32_t key) const
{
    std::vector<std::string_view> names;
    if (m_kind == ShownKind::None) {
        return names;
    }
    std::unordered_set<std::size_t> visited;
    const std::uint32_t root = RootKey();
    while (key != root && names.size() < kMaxPathDepth) {
        const std::optional<std::size_t> position =
            Fat() ? m_catalog.FatFolderWithCluster(key) : m_catalog.NtfsFolderWithRecord(key);
        if (!position || !visited.insert(*position).second) {
            break;
        }
        const ShownFolder folder = Folder(*position);
        names.push_back(folder.name);
        key = folder.parent;
    }
    std::reverse(names.begin(), names.end());
    return names;
}

std::optional<std::size_t> ShownVolume::ChildFolder(std::uint32_t key, std::string_view utf8, bool deleted) const
{
    for (const std::size_t position : FoldersIn(key)) {
        const ShownFolder folder = Folder(position);
        if (folder.deleted == deleted && folder.name == utf8) {
            return position;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> ShownVolume::ChildFile(std::uint32_t key, std::string_view utf8, bool deleted) const
{
    for (const std::size_t position : FilesIn(key)) {
        const ShownFile file = File(position);
        if (file.deleted == deleted && file.name == utf8) {
            return position;
        }
    }
    return std::nullopt;
}

std::optional<ShownEntry> ShownVolume::Resolve(std::string_view path) const
{
    const std::vector<std::string_view> parts = SplitPath(path);
    if (parts.empty()) {
        return ShownEntry{};
    }
    std::uint32_t key = RootKey();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        auto folder = ChildFolder(key, parts[i], false);
        if (!folder) {
            folder = ChildFolder(key, parts[i], true);
        }
        if (!folder) {
            return std::nullopt;
        }
        key = Folder(*folder).key;
    }
    for (const bool deleted : {false, true}) {
        if (const auto folder = ChildFolder(key, parts.back(), deleted)) {
            return ShownEntry{ShownEntry::Type::Folder, *folder};
        }
        if (const auto file = ChildFile(key, parts.back(), deleted)) {
            return ShownEntry{ShownEntry::Type::File, *file};
        }
    }
    return std::nullopt;
}

}  // namespace ntfs

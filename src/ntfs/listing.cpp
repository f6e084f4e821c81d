// The listing of one folder as rows of the list view.
#include "ntfs/listing.h"

#include <charconv>
#include <string>
#include <utility>

#include "core/filetime.h"

namespace ntfs {
namespace {

ListRow FolderRow(const std::string& name, std::uint32_t deleted, std::string created, std::string modified,
                  core::TreeItemId treeItem)
{
    ListRow row;
    row.name = name;
    row.type = std::string(deleted != 0 ? kDeletedFolderType : kFolderType);
    row.size = "0";
    row.created = std::move(created);
    row.modified = std::move(modified);
    row.id = std::to_string(treeItem);
    row.folder = true;
    row.deleted = deleted != 0;
    return row;
}

ListRow FileRow(const std::string& name, std::uint32_t deleted, std::uint64_t size, std::string created,
                std::string modified, std::uint64_t id, const TypeDescriber& describe)
{
    ListRow row;
    row.name = name;
    if (deleted != 0)
        row.type = std::string(kDeletedTypePrefix);
    if (describe)
        row.type += describe(name);
    row.size = std::to_string(size);
    row.created = std::move(created);
    row.modified = std::move(modified);
    row.id = std::to_string(id);
    row.folder = false;
    row.deleted = deleted != 0;
    return row;
}

bool Admitted(const NameAdmitter& admit, std::string_view name) { return !admit || admit(name); }

void AppendNtfsFolderRows(const Catalog& catalog, std::uint32_t key, std::vector<ListRow>& rows)
{
    const auto& folders = catalog.NtfsFolders();
    for (const std::size_t position : catalog.NtfsFoldersWithParent(key)) {
        const NtfsFolderEntry& folder = folders[position];
        rows.push_back(FolderRow(folder.name, folder.deleted, core::FormatFileTime(folder.created),
                                 core::FormatFileTime(folder.changed), folder.treeItem));
    }
}

std::optional<core::TreeItemId> ParseRowId(std::string_view id)
{
    core::TreeItemId value = 0;
    const char* const end = id.data() + id.size();
    const auto [stop, error] = std::from_chars(id.data(), end, value);
    if (error != std::errc() || stop != end || value == 0)
        return std::nullopt;
    return value;
}

}  // namespace

std::vector<ListRow> ListNtfsFolder(const Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                    const TypeDescriber& describe)
{
    std::vector<ListRow> rows;
    AppendNtfsFolderRows(catalog, key, rows);
    const auto& files = catalog.NtfsFiles();
    for (const std::size_t position : catalog.NtfsFilesWithParent(key)) {
        const NtfsFileEntry& file = files[position];
        if (!Admitted(admit, file.name))
            continue;
        rows.push_back(FileRow(file.name, file.deleted, file.size, core::FormatFileTime(file.created),
                               core::FormatFileTime(file.changed), file.dataRecordSector, describe));
    }
    return rows;
}

std::vector<ListRow> ListFoundFolder(const Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                     const TypeDescriber& describe)
{
    std::vector<ListRow> rows;
    AppendNtfsFolderRows(catalog, key, rows);
    const auto& files = catalog.FoundFiles();
    const core::Sector low = catalog.volumeParams.clusterBase;
    const core::Sector high = catalog.volumeParams.endSector;
    for (const std::size_t position : catalog.FoundFilesWithParent(key)) {
        const FoundFileRecord& file = files[position];
        if (file.sector <= low || file.sector > high || !Admitted(admit, file.name))
            continue;
        rows.push_back(FileRow(file.name, file.deleted, file.size, core::FormatFileTime(file.created),
                               core::FormatFileTime(file.changed), file.sector, describe));
    }
    return rows;
}

std::vector<ListRow> ListFatFolder(const Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                   const TypeDescriber& describe)
{
    std::vector<ListRow> rows;
    const auto& folders = catalog.FatFolders();
    for (const std::size_t position : catalog.FatFoldersWithParent(key)) {
        const FatFolderEntry& folder = folders[position];
        rows.push_back(FolderRow(folder.name, folder.deleted, core::FormatFatDate(folder.writeDate),
                                 core::FormatFatDate(folder.accessDate), folder.treeItem));
    }
    const auto& files = catalog.FatFiles();
    for (const std::size_t position : catalog.FatFilesWithParent(key)) {
        const FatFileEntry& file = files[position];
        if (!Admitted(admit, file.name))
            continue;
        rows.push_back(FileRow(file.name, file.deleted, file.size, core::FormatFatDate(file.writeDate),
                               core::FormatFatDate(file.accessDate), file.serial, describe));
    }
    return rows;
}

bool IsFolderRowType(std::string_view type) noexcept
{
    return type.size() >= kFolderType.size() && type.substr(type.size() - kFolderType.size()) == kFolderType;
}

std::optional<std::size_t> NtfsFolderForRowId(const Catalog& catalog, std::string_view id)
{
    const auto item = ParseRowId(id);
    return item ? catalog.NtfsFolderWithTreeItem(*item) : std::nullopt;
}

std::optional<std::size_t> FatFolderForRowId(const Catalog& catalog, std::string_view id)
{
    const auto item = ParseRowId(id);
    return item ? catalog.FatFolderWithTreeItem(*item) : std::nullopt;
}

}  // namespace ntfs

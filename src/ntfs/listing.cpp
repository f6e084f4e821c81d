// The listing of one folder as rows of the list view.
#include "ntfs/listing.h"

#include <charconv>
#include <string>
#include <utility>

#include "core/filetime.h"
#include "core/messages.h"

namespace ntfs {
namespace {

ListRow FolderRow(std::string name, bool deleted, std::string created, std::string modified,
                  core::TreeItemId treeItem)
{
    ListRow row;
    row.recoverable = catalog::kRecoverableNotRated;
    row.type = std::string(deleted ? kDeletedFolderType : kFolderType);
    row.size = "0";
    row.created = std::move(created);
    row.modified = std::move(modified);
    row.id = std::to_string(treeItem);
    row.folder = true;
    row.deleted = deleted;
    row.name = std::move(name);
    return row;
}

ListRow FileRow(std::string name, bool deleted, std::uint64_t size, std::string created,
                std::string modified, std::uint64_t id, const TypeDescriber& describe)
{
    ListRow row;
    if (deleted)
        row.type = std::string(kDeletedTypePrefix);
    if (describe)
        row.type += describe(name);
    row.size = std::to_string(size);
    row.created = std::move(created);
    row.modified = std::move(modified);
    row.id = std::to_string(id);
    row.folder = false;
    row.deleted = deleted;
    row.name = std::move(name);
    return row;
}

bool Admitted(const NameAdmitter& admit, std::string_view name) { return !admit || admit(name); }

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

std::vector<ListRow> ListShownFolder(const ShownVolume& volume, std::uint32_t key, const NameAdmitter& admit,
                                     const TypeDescriber& describe)
{
    std::vector<ListRow> rows;
    for (const std::size_t position : volume.FoldersIn(key)) {
        const ShownFolder folder = volume.Folder(position);
        rows.push_back(FolderRow(std::string(folder.name), folder.deleted, volume.TimeText(folder.created),
                                 volume.TimeText(folder.changed), folder.treeItem));
        rows.back().createdKey = folder.created;
        rows.back().modifiedKey = folder.changed;
    }
    for (const std::size_t position : volume.FilesIn(key)) {
        const ShownFile file = volume.File(position);
        if (!Admitted(admit, file.name))
            continue;
        rows.push_back(FileRow(std::string(file.name), file.deleted, file.size, volume.TimeText(file.created),
                               volume.TimeText(file.changed), file.id, describe));
        rows.back().recoverable = file.recoverable;
        rows.back().sizeBytes = file.size;
        rows.back().createdKey = file.created;
        rows.back().modifiedKey = file.changed;
    }
    return rows;
}

std::vector<ListRow> ListNtfsFolder(const catalog::Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                    const TypeDescriber& describe)
{
    return ListShownFolder(ShownVolume(catalog, ShownKind::NtfsLists), key, admit, describe);
}

std::vector<ListRow> ListFoundFolder(const catalog::Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                     const TypeDescriber& describe)
{
    return ListShownFolder(ShownVolume(catalog, ShownKind::MountedFound), key, admit, describe);
}

std::vector<ListRow> ListFatFolder(const catalog::Catalog& catalog, std::uint32_t key, const NameAdmitter& admit,
                                   const TypeDescriber& describe)
{
    return ListShownFolder(ShownVolume(catalog, ShownKind::FatLists), key, admit, describe);
}

std::string RecoverableText(std::uint8_t recoverable)
{
    if (recoverable == catalog::kRecoverableUnknown)
        return std::string(core::msg::kRecoverableUnknown);
    if (recoverable > 100)
        return std::string(core::msg::kRecoverableNotRated);
    return std::to_string(recoverable) + "%";
}

bool IsFolderRowType(std::string_view type) noexcept
{
    return type.size() >= kFolderType.size() && type.substr(type.size() - kFolderType.size()) == kFolderType;
}

std::optional<std::size_t> NtfsFolderForRowId(const catalog::Catalog& catalog, std::string_view id)
{
    const auto item = ParseRowId(id);
    return item ? catalog.NtfsFolderWithTreeItem(*item) : std::nullopt;
}

std::optional<std::size_t> FatFolderForRowId(const catalog::Catalog& catalog, std::string_view id)
{
    const auto item = ParseRowId(id);
    return item ? catalog.FatFolderWithTreeItem(*item) : std::nullopt;
}

}  // namespace ntfs

// Printing of the folder tree and of folder listings for dravik-cli.
#include "cli/tree_print.h"

#include <utility>

#include "cli/name_text.h"
#include "core/ntfs_names.h"
#include "ntfs/tree_builder.h"

namespace cli {

namespace {

// Depth-first walk without recursion: `enter(item, depth)` before an item's children,
// `leave(item)` after them.
template <typename Enter, typename Leave>
void WalkTree(const ntfs::FolderTree& tree, Enter enter, Leave leave)
{
    struct Frame
    {
        const ntfs::TreeItem* item;
        std::size_t nextChild;
    };
    std::vector<Frame> path;
    const ntfs::TreeItem* root = tree.Find(tree.Root());
    enter(*root, std::size_t{0});
    path.push_back({root, 0});
    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.nextChild == frame.item->children.size()) {
            leave(*frame.item);
            path.pop_back();
            continue;
        }
        const ntfs::TreeItem* child = tree.Find(frame.item->children[frame.nextChild++]);
        if (child == nullptr)
            continue;
        enter(*child, path.size());
        path.push_back({child, 0});  // `frame` is not used past here
    }
}

}  // namespace

std::string FormatTree(const ntfs::FolderTree& tree)
{
    std::string text;
    WalkTree(
        tree,
        [&text](const ntfs::TreeItem& item, std::size_t depth) {
            text.append(2 * depth, ' ');
            text += EscapeControls(item.text);
            text += '\n';
        },
        [](const ntfs::TreeItem&) {});
    return text;
}

void WriteTreeJson(JsonWriter& json, const ntfs::FolderTree& tree)
{
    WalkTree(
        tree,
        [&json](const ntfs::TreeItem& item, std::size_t) {
            json.BeginObject();
            json.Key("name").String(item.text);
            json.Field("id", item.id);
            json.Key("children").BeginArray();
        },
        [&json](const ntfs::TreeItem&) { json.EndArray().EndObject(); });
}

std::optional<core::TreeItemId> ResolveTreePath(const ntfs::FolderTree& tree, std::string_view path)
{
    core::TreeItemId current = tree.Root();
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty())
            continue;
        std::optional<core::TreeItemId> match;
        for (const core::TreeItemId child : tree.Find(current)->children) {
            const ntfs::TreeItem* item = tree.Find(child);
            if (item != nullptr && item->text == part) {
                match = child;
                break;
            }
        }
        if (!match)
            return std::nullopt;
        current = *match;
    }
    return current;
}

std::optional<std::uint32_t> NtfsRecordOfItem(const catalog::Catalog& catalog, const ntfs::FolderTree& tree,
                                              core::TreeItemId item)
{
    if (item == tree.Root())
        return ntfs::kRootRecord;
    const auto position = catalog.NtfsFolderWithTreeItem(item);
    if (!position)
        return std::nullopt;
    return catalog.NtfsFolders()[*position].record;
}

std::string FormatRows(const std::vector<ntfs::ListRow>& rows)
{
    std::string text = "Name\tType\tSize\tCreated\tModified\tID\n";
    for (const ntfs::ListRow& row : rows) {
        text += EscapeControls(row.name);
        for (const std::string* column : {&row.type, &row.size, &row.created, &row.modified, &row.id}) {
            text += '\t';
            text += EscapeControls(*column);  // the type is made from the name's extension
        }
        text += '\n';
    }
    return text;
}

void WriteRecoverableJson(JsonWriter& json, std::uint8_t recoverable)
{
    json.Key("recoverable");
    if (recoverable <= 100)
        json.UInt(recoverable);
    else
        json.Null();
}

void WriteRowsJson(JsonWriter& json, const std::vector<ntfs::ListRow>& rows)
{
    json.BeginArray();
    for (const ntfs::ListRow& row : rows) {
        json.BeginObject();
        json.Key("name").String(row.name);
        json.Field("type", row.type);
        json.Field("size", row.size);
        json.Field("created", row.created);
        json.Field("modified", row.modified);
        json.Field("id", row.id);
        json.Field("folder", row.folder);
        json.Field("deleted", row.deleted);
        WriteRecoverableJson(json, row.recoverable);
        json.EndObject();
    }
    json.EndArray();
}

std::vector<std::string> TreeItemPaths(const ntfs::FolderTree& tree)
{
    // Items are created after their parents, so one pass in id order suffices.
    std::vector<std::string> paths(tree.Size() + 1);
    for (core::TreeItemId id = tree.Root() + 1; id <= tree.Size(); ++id) {
        const ntfs::TreeItem* item = tree.Find(id);
        if (item != nullptr && item->parent != 0 && item->parent < id) {
            paths[id] = paths[item->parent] + "/" + item->text;
        }
    }
    return paths;
}

}  // namespace cli

// Printing of the folder tree and of folder listings for dravik-cli: indented tree text, the
// resolution of a "/"-separated folder path through the tree, and the rows of a listing as
// tab-separated text or JSON.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/json_writer.h"
#include "core/types.h"
#include "catalog/catalog.h"
#include "ntfs/folder_tree.h"
#include "ntfs/listing.h"

namespace cli {

// One line per item, depth first with children in tree order, the root first: two blanks per
// level of depth, then the item's text (UTF-8, control characters escaped: EscapeControls).
std::string FormatTree(const ntfs::FolderTree& tree);

// The tree as nested objects {"name", "id", "children": [...]} starting at the root.
void WriteTreeJson(JsonWriter& json, const ntfs::FolderTree& tree);

// The "/"-joined path (UTF-8) of every item, indexed by item id; the root's path is empty.
std::vector<std::string> TreeItemPaths(const ntfs::FolderTree& tree);

// The item a path names, starting at the root: parts separated by "/", empty parts ignored (so
// "" and "/" name the root). Each part is compared exactly with the UTF-8 form of the children's
// texts, the first match in tree order winning. Nothing when a part matches no child.
std::optional<core::TreeItemId> ResolveTreePath(const ntfs::FolderTree& tree, std::string_view path);

// The NTFS record a tree item stands for: 5 for the root, the record of the folder entry that
// carries the item otherwise; nothing when no entry carries it.
std::optional<std::uint32_t> NtfsRecordOfItem(const catalog::Catalog& catalog, const ntfs::FolderTree& tree,
                                              core::TreeItemId item);

// The header "Name\tType\tSize\tCreated\tModified\tID" and one tab-separated line per row, the
// texts exactly as the list shows them (names written as UTF-8, control characters escaped).
std::string FormatRows(const std::vector<ntfs::ListRow>& rows);

// The rows as an array of objects with the six columns and the folder and deleted flags.
void WriteRowsJson(JsonWriter& json, const std::vector<ntfs::ListRow>& rows);
// "recoverable": the rating 0..100, or null for a file not rated or not known (ntfs::ListRow).
void WriteRecoverableJson(JsonWriter& json, std::uint8_t recoverable);

}  // namespace cli

// The left-pane tree as data: items with integer ids, texts, images, children in insertion
// order and an expanded state. The folder tree of a scan is one; the drive, partition and
// found-file-system trees reuse the same model with their own root texts and images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"

namespace ntfs {

// Indices into the left-pane image list.
inline constexpr int kTreeImageDevice = 0;         // "Storage Device " item, "File Systems", drive items
inline constexpr int kTreeImageFolderOpen = 1;     // selected image of folder items
inline constexpr int kTreeImageFolder = 2;         // folder items
inline constexpr int kTreeImagePartition = 3;      // partition and found-file-system items
inline constexpr int kTreeImageRoot = 4;           // "My Computer" and "Root"

inline constexpr std::string_view kFolderTreeRootText = "Root";

struct TreeItem
{
    core::TreeItemId id = 0;
    core::TreeItemId parent = 0;  // 0 for the root item
    std::string text;
    int image = 0;
    int selectedImage = 0;
    std::vector<core::TreeItemId> children;  // in insertion order
    bool expanded = false;
    bool deleted = false;  // the folder it shows is a deleted one (drawn apart)
};

// Ids are 1, 2, 3, ... in insertion order, the root item being 1; 0 is never an item, so a
// folder entry whose treeItem is 0 is not shown in the tree.
class FolderTree
{
public:
    // The folder tree: root "Root" with image 4.
    FolderTree();
    // Any other left-pane tree: its root item with this text and these images.
    FolderTree(std::string rootText, int rootImage, int rootSelectedImage);

    core::TreeItemId Root() const noexcept { return 1; }

    // Appends an item after the last child of `parent`; returns its id, or 0 when `parent` is
    // no item. Throws std::bad_alloc when memory runs out.
    core::TreeItemId Insert(core::TreeItemId parent, std::string text, int image, int selectedImage,
                            bool deleted = false);

    // Marks the item expanded; false when there is no such item.
    bool Expand(core::TreeItemId id) noexcept;

    // The item with this id, or nullptr.
    const TreeItem* Find(core::TreeItemId id) const noexcept;

    // The ancestors of an item from the root down to its parent; empty for the root and for an
    // unknown id.
    std::vector<core::TreeItemId> Ancestors(core::TreeItemId id) const;

    // Expands every ancestor of the item (what selecting an item from the list does); false
    // when there is no such item.
    bool ExpandAncestors(core::TreeItemId id) noexcept;

    // Items including the root.
    std::size_t Size() const noexcept { return m_items.size(); }

private:
    std::vector<TreeItem> m_items;  // m_items[id - 1]
};

}  // namespace ntfs

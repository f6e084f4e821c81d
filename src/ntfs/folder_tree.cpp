// The left-pane tree as data.
#include "ntfs/folder_tree.h"

#include <algorithm>
#include <utility>

namespace ntfs {

FolderTree::FolderTree() : FolderTree(std::string(kFolderTreeRootText), kTreeImageRoot, kTreeImageRoot) {}

FolderTree::FolderTree(std::string rootText, int rootImage, int rootSelectedImage)
{
    TreeItem root;
    root.id = 1;
    root.text = std::move(rootText);
    root.image = rootImage;
    root.selectedImage = rootSelectedImage;
    m_items.push_back(std::move(root));
}

core::TreeItemId FolderTree::Insert(core::TreeItemId parent, std::string text, int image, int selectedImage,
                                    bool deleted)
{
    if (Find(parent) == nullptr || m_items.size() >= 0xFFFFFFFFu)
        return 0;
    const auto id = static_cast<core::TreeItemId>(m_items.size() + 1);
    // Room for the new child first, so that a failed allocation leaves the tree as it was.
    std::vector<core::TreeItemId>& siblings = m_items[parent - 1].children;
    if (siblings.size() == siblings.capacity())
        siblings.reserve(std::max<std::size_t>(4, 2 * siblings.size()));
    TreeItem item;
    item.id = id;
    item.parent = parent;
    item.text = std::move(text);
    item.image = image;
    item.selectedImage = selectedImage;
    item.deleted = deleted;
    m_items.push_back(std::move(item));  // may move the items; `siblings` is not used past here
    m_items[parent - 1].children.push_back(id);
    return id;
}

bool FolderTree::Expand(core::TreeItemId id) noexcept
{
    if (Find(id) == nullptr)
        return false;
    m_items[id - 1].expanded = true;
    return true;
}

const TreeItem* FolderTree::Find(core::TreeItemId id) const noexcept
{
    if (id == 0 || id > m_items.size())
        return nullptr;
    return &m_items[id - 1];
}

std::vector<core::TreeItemId> FolderTree::Ancestors(core::TreeItemId id) const
{
    std::vector<core::TreeItemId> chain;
    const TreeItem* item = Find(id);
    if (item == nullptr)
        return chain;
    // A parent always has a smaller id than its child, so the walk ends.
    for (core::TreeItemId up = item->parent; up != 0; up = m_items[up - 1].parent)
        chain.push_back(up);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

bool FolderTree::ExpandAncestors(core::TreeItemId id) noexcept
{
    const TreeItem* item = Find(id);
    if (item == nullptr)
        return false;
    for (core::TreeItemId up = item->parent; up != 0; up = m_items[up - 1].parent)
        m_items[up - 1].expanded = true;
    return true;
}

}  // namespace ntfs

// The left-pane tree model.
#include "gui/models/left_tree_model.h"

#include <algorithm>

#include "gui/models/list_model.h"
#include "gui/qt_text.h"

namespace gui {

LeftTreeModel::LeftTreeModel(const std::array<QIcon, kImageCount>& images, QObject* parent)
    : QAbstractItemModel(parent), m_images(images)
{
}

void LeftTreeModel::setItems(const shell::TreeModel& items)
{
    beginResetModel();
    m_nodes.clear();
    m_root = 0;
    core::TreeItemId highest = 0;
    for (const shell::TreeNode& item : items)
        highest = std::max(highest, item.id);
    m_nodes.resize(static_cast<std::size_t>(highest) + 1);
    for (const shell::TreeNode& item : items) {
        if (item.id == 0 || m_nodes[item.id].present)
            continue;
        if (item.parent == 0) {
            if (m_root != 0)
                continue;
            m_root = item.id;
        } else {
            if (item.parent >= m_nodes.size() || !m_nodes[item.parent].present)
                continue;
            Node& parentNode = m_nodes[item.parent];
            m_nodes[item.id].row = static_cast<int>(parentNode.children.size());
            parentNode.children.push_back(item.id);
        }
        Node& n = m_nodes[item.id];
        n.parent = item.parent;
        n.text = toQt(item.text);
        n.image = item.image;
        n.selectedImage = item.selectedImage;
        n.expanded = item.expanded;
        n.deleted = item.deleted;
        n.present = true;
    }
    endResetModel();
}

void LeftTreeModel::setItemText(core::TreeItemId id, const QString& text)
{
    if (id >= m_nodes.size() || !m_nodes[id].present)
        return;
    m_nodes[id].text = text;
    const QModelIndex at = indexForId(id);
    Q_EMIT dataChanged(at, at);
}

const LeftTreeModel::Node* LeftTreeModel::node(core::TreeItemId id) const noexcept
{
    return id < m_nodes.size() && m_nodes[id].present ? &m_nodes[id] : nullptr;
}

QModelIndex LeftTreeModel::indexForId(core::TreeItemId id) const
{
    const Node* n = node(id);
    return n ? createIndex(n->row, 0, static_cast<quintptr>(id)) : QModelIndex();
}

core::TreeItemId LeftTreeModel::idAt(const QModelIndex& index)
{
    return index.isValid() ? static_cast<core::TreeItemId>(index.internalId()) : 0;
}

std::vector<core::TreeItemId> LeftTreeModel::expandedIds() const
{
    std::vector<core::TreeItemId> ids;
    for (std::size_t id = 0; id < m_nodes.size(); ++id) {
        if (m_nodes[id].present && m_nodes[id].expanded)
            ids.push_back(static_cast<core::TreeItemId>(id));
    }
    return ids;
}

QString LeftTreeModel::text(core::TreeItemId id) const
{
    const Node* n = node(id);
    return n ? n->text : QString();
}

QModelIndex LeftTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && m_root != 0 ? createIndex(0, 0, static_cast<quintptr>(m_root)) : QModelIndex();
    const Node* n = node(idAt(parent));
    if (!n || static_cast<std::size_t>(row) >= n->children.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(n->children[static_cast<std::size_t>(row)]));
}

QModelIndex LeftTreeModel::parent(const QModelIndex& child) const
{
    const Node* n = node(idAt(child));
    if (!n || n->parent == 0)
        return {};
    return indexForId(n->parent);
}

int LeftTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_root != 0 ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    const Node* n = node(idAt(parent));
    return n ? static_cast<int>(n->children.size()) : 0;
}

int LeftTreeModel::columnCount(const QModelIndex& /*parent*/) const
{
    return 1;
}

QVariant LeftTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* n = node(idAt(index));
    if (!n)
        return {};
    if (role == Qt::DisplayRole)
        return n->text;
    if (role == ListModel::kDeletedRole)
        return n->deleted;
    if (role == Qt::ForegroundRole)
        return n->deleted ? QVariant(deletedTextColor()) : QVariant();
    if (role != Qt::DecorationRole)
        return {};
    if (n->deleted)
        return withDeletedOverlay(plainIcon(*n));
    return plainIcon(*n);
}

QIcon LeftTreeModel::plainIcon(const Node& node) const
{
    const Node* n = &node;
    const auto image = static_cast<std::size_t>(n->image);
    const auto selected = static_cast<std::size_t>(n->selectedImage);
    if (image >= kImageCount)
        return QIcon();
    if (selected >= kImageCount || selected == image)
        return m_images[image];
    QIcon& combined = m_combined[image][selected];
    if (combined.isNull()) {
        combined = m_images[image];
        for (int extent : {16, 22, 32, 48})
            combined.addPixmap(m_images[selected].pixmap(extent, extent), QIcon::Selected);
    }
    return combined;
}

}  // namespace gui

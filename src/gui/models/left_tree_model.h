// A left-pane tree (drive, partition, found-file-system or folder tree) as a Qt item model over
// the items the shell hands the window. Items are addressed by their TreeItemId (the index's
// internal id); a tree of some 100,000 folders builds in linear time.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <array>
#include <vector>

#include "core/types.h"
#include "shell/main_window.h"

namespace gui {

class LeftTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    static constexpr std::size_t kImageCount = 5;

    explicit LeftTreeModel(const std::array<QIcon, kImageCount>& images, QObject* parent = nullptr);

    // Replaces every item; items come with every parent before its children, the root first.
    // Items whose parent is unknown are left out.
    void setItems(const shell::TreeModel& items);
    void setItemText(core::TreeItemId id, const QString& text);

    QModelIndex indexForId(core::TreeItemId id) const;
    static core::TreeItemId idAt(const QModelIndex& index);
    core::TreeItemId rootId() const noexcept { return m_root; }
    // The ids marked expanded in the items given last.
    std::vector<core::TreeItemId> expandedIds() const;
    QString text(core::TreeItemId id) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Node
    {
        core::TreeItemId parent = 0;
        int row = 0;
        QString text;
        int image = 0;
        int selectedImage = 0;
        bool expanded = false;
        bool deleted = false;
        bool present = false;
        std::vector<core::TreeItemId> children;
    };
    const Node* node(core::TreeItemId id) const noexcept;
    QIcon plainIcon(const Node& node) const;

    std::vector<Node> m_nodes;  // by id
    core::TreeItemId m_root = 0;
    std::array<QIcon, kImageCount> m_images;
    // An item's image with its selected image added for the selected state, by (image, selected).
    mutable std::array<std::array<QIcon, kImageCount>, kImageCount> m_combined;
};

}  // namespace gui

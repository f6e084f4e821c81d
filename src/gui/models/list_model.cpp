// The list model over one folder listing.
#include "gui/models/list_model.h"

#include "gui/file_types.h"
#include "gui/qt_text.h"

namespace gui {

ListModel::ListModel(FileTypes& types, QObject* parent) : QAbstractTableModel(parent), m_types(types) {}

void ListModel::setColumns(std::vector<Column> columns)
{
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
}

void ListModel::setRows(std::vector<ntfs::ListRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ListModel::clearRows()
{
    setRows({});
}

const ntfs::ListRow* ListModel::row(int index) const noexcept
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_rows.size())
        return nullptr;
    return &m_rows[static_cast<std::size_t>(index)];
}

void ListModel::setRowName(int index, std::string name)
{
    if (!row(index))
        return;
    m_rows[static_cast<std::size_t>(index)].name = std::move(name);
    const QModelIndex at = this->index(index, kName);
    Q_EMIT dataChanged(at, at);
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_columns.empty() ? 0 : static_cast<int>(m_rows.size());
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    const ntfs::ListRow* r = index.isValid() ? row(index.row()) : nullptr;
    if (!r)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case kName:
            return toQt(r->name);
        case kType:
            // Files show the desktop's name for their type; folders keep the listing's words.
            if (r->folder)
                return toQt(r->type);
            return (r->deleted ? toQt(ntfs::kDeletedTypePrefix) : QString()) + m_types.typeName(toQt(r->name));
        case kSize:
            return toQt(r->size);
        case kCreated:
            return toQt(r->created);
        case kModified:
            return toQt(r->modified);
        case kId:
            return toQt(r->id);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (column != kName)
            return {};
        return r->folder ? m_types.folderIcon() : m_types.fileIcon(toQt(r->name));
    case Qt::TextAlignmentRole:
        if (static_cast<std::size_t>(column) < m_columns.size())
            return QVariant::fromValue(m_columns[static_cast<std::size_t>(column)].alignment);
        return {};
    case Qt::ToolTipRole:
        return column == kName ? toQt(r->name) : QVariant();
    default:
        return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || static_cast<std::size_t>(section) >= m_columns.size())
        return {};
    const Column& column = m_columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return column.title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.alignment);
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == kName && m_editable)
        result |= Qt::ItemIsEditable;
    return result;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != kName || !row(index.row()))
        return false;
    if (m_rename)
        m_rename(index.row(), value.toString());
    return true;
}

}  // namespace gui

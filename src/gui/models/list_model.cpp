// The list model over one folder listing.
#include "gui/models/list_model.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <algorithm>
#include <numeric>

#include "gui/file_types.h"
#include "gui/qt_text.h"

namespace gui {

QIcon withDeletedOverlay(const QIcon& base)
{
    static QHash<qint64, QIcon> cache;
    const auto found = cache.constFind(base.cacheKey());
    if (found != cache.constEnd())
        return *found;
    QIcon icon;
    for (const int side : {16, 22, 32, 48}) {
        QPixmap pixmap = base.pixmap(side, side);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // A small red disc with a white cross in the lower right corner.
        const qreal d = side * 0.5;
        const QRectF disc(side - d, side - d, d, d);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 30, 30));
        painter.drawEllipse(disc);
        painter.setPen(QPen(Qt::white, std::max(1.0, side / 12.0)));
        const qreal m = d * 0.3;
        painter.drawLine(disc.topLeft() + QPointF(m, m), disc.bottomRight() - QPointF(m, m));
        painter.drawLine(disc.topRight() + QPointF(-m, m), disc.bottomLeft() + QPointF(m, -m));
        painter.end();
        icon.addPixmap(pixmap);
    }
    cache.insert(base.cacheKey(), icon);
    return icon;
}

QColor deletedTextColor()
{
    return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
}

namespace {

// Orders listing rows by one column; ties keep the listing's order (the sort is stable).
bool lessByColumn(const ntfs::ListRow& a, const ntfs::ListRow& b, int column, const QString& typeA,
                  const QString& typeB)
{
    switch (column) {
    case ListModel::kName:
        return toQt(a.name).compare(toQt(b.name), Qt::CaseInsensitive) < 0;
    case ListModel::kType:
        return typeA.compare(typeB, Qt::CaseInsensitive) < 0;
    case ListModel::kSize:
        return a.sizeBytes < b.sizeBytes;
    case ListModel::kCreated:
        return a.createdKey < b.createdKey;
    case ListModel::kModified:
        return a.modifiedKey < b.modifiedKey;
    case ListModel::kId: {
        const auto number = [](const std::string& id) { return toQt(id).toULongLong(); };
        return number(a.id) < number(b.id);
    }
    case ListModel::kRecoverable: {
        // Rated rows by their share, then "?" and then rows not rated.
        const auto key = [](std::uint8_t v) {
            return v <= 100 ? int{v} : (v == catalog::kRecoverableUnknown ? 101 : 102);
        };
        return key(a.recoverable) < key(b.recoverable);
    }
    default:
        return false;
    }
}

}  // namespace

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
    applySort();
    endResetModel();
}

ListModel::SortState ListModel::nextSortState(int column) const noexcept
{
    if (column != m_sortColumn || m_sortState == SortState::Listing)
        return SortState::Ascending;
    return m_sortState == SortState::Ascending ? SortState::Descending : SortState::Listing;
}

void ListModel::sortRows(int column, SortState state)
{
    beginResetModel();
    m_sortColumn = state == SortState::Listing ? -1 : column;
    m_sortState = m_sortColumn < 0 ? SortState::Listing : state;
    applySort();
    endResetModel();
}

void ListModel::applySort()
{
    m_order.clear();
    m_position.clear();
    if (m_sortState == SortState::Listing || m_rows.empty())
        return;
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    std::vector<QString> types;
    if (m_sortColumn == kType) {
        types.reserve(m_rows.size());
        for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
            types.push_back(data(createIndex(i, kType), Qt::DisplayRole).toString());
    }
    const QString none;
    const bool descending = m_sortState == SortState::Descending;
    std::stable_sort(m_order.begin(), m_order.end(), [&](int x, int y) {
        const auto ux = static_cast<std::size_t>(x);
        const auto uy = static_cast<std::size_t>(y);
        const QString& tx = types.empty() ? none : types[ux];
        const QString& ty = types.empty() ? none : types[uy];
        return descending ? lessByColumn(m_rows[uy], m_rows[ux], m_sortColumn, ty, tx)
                          : lessByColumn(m_rows[ux], m_rows[uy], m_sortColumn, tx, ty);
    });
    m_position.resize(m_rows.size());
    for (std::size_t i = 0; i < m_order.size(); ++i)
        m_position[static_cast<std::size_t>(m_order[i])] = static_cast<int>(i);
}

int ListModel::listingRow(int viewRow) const noexcept
{
    if (m_order.empty() || viewRow < 0 || static_cast<std::size_t>(viewRow) >= m_order.size())
        return viewRow;
    return m_order[static_cast<std::size_t>(viewRow)];
}

int ListModel::viewRow(int listingRow) const noexcept
{
    if (m_position.empty() || listingRow < 0 || static_cast<std::size_t>(listingRow) >= m_position.size())
        return listingRow;
    return m_position[static_cast<std::size_t>(listingRow)];
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
    const QModelIndex at = this->index(viewRow(index), kName);
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
    const ntfs::ListRow* r = index.isValid() ? row(listingRow(index.row())) : nullptr;
    if (!r)
        return {};
    const int column = index.column();
    switch (role) {
    case kDeletedRole:
        return r->deleted;
    case kRecoverableRole:
        return r->recoverable <= 100 ? int{r->recoverable} : -1;
    case Qt::ForegroundRole:
        return r->deleted ? QVariant(deletedTextColor()) : QVariant();
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
        case kRecoverable:
            return toQt(ntfs::RecoverableText(r->recoverable));
        default:
            return {};
        }
    case Qt::DecorationRole: {
        if (column != kName)
            return {};
        const QIcon icon = r->folder ? m_types.folderIcon() : m_types.fileIcon(toQt(r->name));
        return r->deleted ? withDeletedOverlay(icon) : icon;
    }
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
    if (role != Qt::EditRole || !index.isValid() || index.column() != kName || !row(listingRow(index.row())))
        return false;
    if (m_rename)
        m_rename(listingRow(index.row()), value.toString());
    return true;
}

}  // namespace gui

// The right-pane list: the rows of one folder listing (Name, Type, Size, Created, Modified, ID,
// Recoverable) with the columns the current step gives it. Rows are kept as the engine made them;
// texts are converted only for the rows the view paints, so a folder of 100,000 entries lists at
// once. The rows can be shown sorted by a column; the rows the shell sees (selection, activation,
// rename) are always positions in the listing's own order.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <functional>
#include <vector>

#include "ntfs/listing.h"

namespace gui {

class FileTypes;

// `base` with a small "deleted" mark over its lower right corner (cached per icon).
QIcon withDeletedOverlay(const QIcon& base);
// The palette's disabled text colour, in which deleted entries are drawn.
QColor deletedTextColor();

class ListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString title;
        int width = 100;  // pixels at 100 % scaling
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };

    // The index of each column of the six-column listing.
    enum ListColumn
    {
        kName = 0,
        kType,
        kSize,
        kCreated,
        kModified,
        kId,
        kRecoverable,
        kListColumnCount
    };

    // Item data roles beside Qt's: whether the row is a deleted entry (bool), and the rating of
    // the Recoverable column (int 0..100, or -1 when the row is not rated or not known).
    enum Role
    {
        kDeletedRole = Qt::UserRole + 1,
        kRecoverableRole,
    };

    // The order the rows are shown in: the listing's own, or sorted by one column.
    enum class SortState
    {
        Listing,
        Ascending,
        Descending,
    };

    explicit ListModel(FileTypes& types, QObject* parent = nullptr);

    void setColumns(std::vector<Column> columns);
    const std::vector<Column>& columns() const noexcept { return m_columns; }

    void setRows(std::vector<ntfs::ListRow> rows);
    void clearRows();
    const std::vector<ntfs::ListRow>& rows() const noexcept { return m_rows; }
    const ntfs::ListRow* row(int index) const noexcept;
    // Changes a row's name in place (a rename that was accepted).
    void setRowName(int index, std::string name);

    // Shows the rows sorted by `column` (sizes as numbers, dates as times, names without regard
    // to case), or in the listing's order. Kept across setRows until changed.
    void sortRows(int column, SortState state);
    int sortColumn() const noexcept { return m_sortColumn; }
    SortState sortState() const noexcept { return m_sortState; }
    // The next state of a header click on `column`: ascending, descending, then the listing's order.
    SortState nextSortState(int column) const noexcept;
    // Row positions: `view` is the row the view shows at that place, the listing row the shell knows.
    int listingRow(int viewRow) const noexcept;
    int viewRow(int listingRow) const noexcept;

    // Called when the in-place editor of column 0 ends with a text; the handler decides (the
    // row's name is changed only through setRowName).
    using RenameHandler = std::function<void(int row, const QString& text)>;
    void setRenameHandler(RenameHandler handler) { m_rename = std::move(handler); }
    void setEditable(bool editable) noexcept { m_editable = editable; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    void applySort();
    QVariant foreground(const ntfs::ListRow& r) const;

    FileTypes& m_types;
    std::vector<int> m_order;     // view row -> listing row; empty: the listing's order
    std::vector<int> m_position;  // listing row -> view row; empty likewise
    int m_sortColumn = -1;
    SortState m_sortState = SortState::Listing;
    std::vector<Column> m_columns;
    std::vector<ntfs::ListRow> m_rows;
    RenameHandler m_rename;
    bool m_editable = false;
};

}  // namespace gui

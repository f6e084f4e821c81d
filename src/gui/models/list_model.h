// The right-pane list: the rows of one folder listing (Name, Type, Size, Created, Modified, ID)
// with the columns the current step gives it. Rows are kept as the engine made them; texts are
// converted only for the rows the view paints, so a folder of 100,000 entries lists at once.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "ntfs/listing.h"

namespace gui {

class FileTypes;

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
        kListColumnCount
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
    FileTypes& m_types;
    std::vector<Column> m_columns;
    std::vector<ntfs::ListRow> m_rows;
    RenameHandler m_rename;
    bool m_editable = false;
};

}  // namespace gui

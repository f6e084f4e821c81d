// The find files dialog and its result model.
#include "gui/dialogs/find_files_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>

#include "core/messages.h"
#include "gui/file_types.h"
#include "gui/qt_text.h"
#include "shell/browse_commands.h"

namespace gui {

FindResultModel::FindResultModel(FileTypes& types, QObject* parent) : QAbstractTableModel(parent), m_types(types) {}

void FindResultModel::append(std::vector<shell::FindRow> rows)
{
    if (rows.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    for (shell::FindRow& row : rows)
        m_rows.push_back(std::move(row));
    endInsertRows();
}

void FindResultModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int FindResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FindResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant FindResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_rows.size())
        return {};
    const shell::FindRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0:
            return toQt(row.name);
        case 1:
            return toQt(row.path);
        default:
            return QString::number(row.size);
        }
    }
    if (role == Qt::DecorationRole && index.column() == 0)
        return m_types.fileIcon(toQt(row.name));
    return {};
}

QVariant FindResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {"File Name", "Path", "Size"};
    return section >= 0 && section < 3 ? QString::fromLatin1(titles[section]) : QVariant();
}

FindFilesDialog::FindFilesDialog(shell::FindFilesDialog& logic, FileTypes& types, QWidget* parent)
    : QDialog(parent), m_logic(logic)
{
    setObjectName(QStringLiteral("findFilesDialog"));
    setWindowTitle(toQt(core::msg::kFindFilesCaption));

    auto* caption = new QLabel(QStringLiteral("Enter pattern to search"), this);
    m_pattern = new QLineEdit(this);
    caption->setBuddy(m_pattern);
    m_start = new QPushButton(QStringLiteral("&Start Search"), this);
    m_stop = new QPushButton(QStringLiteral("S&top Search"), this);
    m_start->setDefault(true);
    m_stop->setAutoDefault(false);

    m_model = new FindResultModel(types, this);
    m_view = new QTreeView(this);
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const double scale = std::max(1.0, fontMetrics().averageCharWidth() / 6.0);
    m_view->setColumnWidth(0, static_cast<int>(150 * scale));
    m_view->setColumnWidth(1, static_cast<int>(250 * scale));
    m_view->setColumnWidth(2, static_cast<int>(95 * scale));

    m_lastFile = new QLabel(this);
    m_filesFound = new QLabel(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(m_pattern, 0, 1);
    grid->addWidget(m_start, 0, 2);
    grid->addWidget(m_stop, 0, 3);
    grid->addWidget(m_view, 1, 0, 1, 4);
    auto* counters = new QHBoxLayout;
    counters->addWidget(new QLabel(QStringLiteral("Last File"), this));
    counters->addWidget(m_lastFile, 1);
    counters->addWidget(new QLabel(QStringLiteral("Files Found"), this));
    counters->addWidget(m_filesFound);
    grid->addLayout(counters, 2, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    resize(static_cast<int>(560 * scale), static_cast<int>(380 * scale));

    connect(m_start, &QPushButton::clicked, this, [this] { m_logic.StartSearch(toUtf8(m_pattern->text())); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_logic.StopSearch(); });
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &FindFilesDialog::flush);
    m_timer.start();
    m_logic.Open(*this);
}

void FindFilesDialog::EnableStart(bool enabled)
{
    // The search's end: its last hits are shown before the buttons change.
    flush();
    m_start->setEnabled(enabled);
}

void FindFilesDialog::EnableStop(bool enabled)
{
    m_stop->setEnabled(enabled);
}

void FindFilesDialog::ClearRows()
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.clear();
        m_pendingCounters = false;
    }
    m_model->clear();
    m_filesFound->clear();
    m_lastFile->clear();
}

void FindFilesDialog::AddRow(const shell::FindRow& row, std::size_t rowsSoFar)
{
    std::lock_guard lock(m_mutex);
    m_pending.push_back(row);
    m_pendingCount = rowsSoFar;
    m_pendingCounters = true;
}

void FindFilesDialog::flush()
{
    std::vector<shell::FindRow> rows;
    std::size_t count = 0;
    bool counters = false;
    {
        std::lock_guard lock(m_mutex);
        rows.swap(m_pending);
        count = m_pendingCount;
        counters = m_pendingCounters;
        m_pendingCounters = false;
    }
    if (!counters)
        return;
    m_lastFile->setText(toQt(rows.back().name));
    m_filesFound->setText(QString::number(count));
    m_model->append(std::move(rows));
}

QString FindFilesDialog::filesFoundText() const
{
    return m_filesFound->text();
}

QString FindFilesDialog::lastFileText() const
{
    return m_lastFile->text();
}

void FindFilesDialog::reject()
{
    if (m_logic.CanClose())
        QDialog::reject();
}

}  // namespace gui

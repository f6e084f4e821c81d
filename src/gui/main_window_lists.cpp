// The left pane's four trees and the list in its three styles (one model, one selection shared
// by the details view and the icon/list view), with the browse step's keys.
#include <QApplication>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/main_window.h"
#include "gui/models/left_tree_model.h"
#include "gui/models/list_model.h"
#include "gui/qt_text.h"
#include "gui/preview_pane.h"
#include "core/messages.h"
#include "shell/browse_status.h"

namespace gui {

namespace {

constexpr std::size_t treeIndex(shell::LeftTree tree) noexcept
{
    return static_cast<std::size_t>(tree);
}

constexpr shell::LeftTree kTrees[] = {shell::LeftTree::Drives, shell::LeftTree::Partitions,
                                      shell::LeftTree::FileSystems, shell::LeftTree::Folders};

}  // namespace

void MainWindow::buildTrees(QWidget* pane)
{
    auto icon = [this](const char* name, const char* fallback, QStyle::StandardPixmap standard) {
        QIcon result = QIcon::fromTheme(QString::fromLatin1(name), QIcon::fromTheme(QString::fromLatin1(fallback)));
        return result.isNull() ? style()->standardIcon(standard) : result;
    };
    m_treeImages = {icon("drive-harddisk", "drive-harddisk", QStyle::SP_DriveHDIcon),
                    icon("folder-open", "folder-open", QStyle::SP_DirOpenIcon),
                    icon("folder", "inode-directory", QStyle::SP_DirClosedIcon),
                    icon("drive-partition", "drive-harddisk", QStyle::SP_DriveHDIcon),
                    icon("computer", "user-home", QStyle::SP_ComputerIcon)};

    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    static const char* const names[] = {"driveTree", "partitionTree", "fileSystemTree", "folderTree"};
    for (shell::LeftTree which : kTrees) {
        const std::size_t i = treeIndex(which);
        auto* model = new LeftTreeModel(m_treeImages, this);
        auto* view = new QTreeView(pane);
        view->setObjectName(QString::fromLatin1(names[i]));
        view->setModel(model);
        view->setHeaderHidden(true);
        view->setUniformRowHeights(true);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        view->hide();
        connect(view, &QTreeView::clicked, this, [this, which](const QModelIndex& index) { onTreeClicked(which, index); });
        // Moves by the arrow keys reach the shell like clicks do (never the current item a
        // focus change or a selection by the shell sets).
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, which](const QModelIndex& current) {
                    if (!m_treeKeyMove || !current.isValid())
                        return;
                    m_treeKeyMove = false;
                    onTreeClicked(which, current);
                });
        layout->addWidget(view);
        m_trees[i] = view;
        m_treeModels[i] = model;
    }
}

void MainWindow::onTreeClicked(shell::LeftTree tree, const QModelIndex& index)
{
    const core::TreeItemId id = LeftTreeModel::idAt(index);
    if (id != 0)
        Q_EMIT treeItemClicked(tree, id);
}

void MainWindow::buildListViews()
{
    m_listStack = new QStackedWidget(this);
    m_listModel = new ListModel(m_fileTypes, this);
    m_listModel->setRenameHandler([this](int row, const QString& text) { Q_EMIT renameEnded(row, text, true); });

    m_details = new QTreeView(m_listStack);
    m_details->setObjectName(QStringLiteral("listDetails"));
    m_details->setModel(m_listModel);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setAlternatingRowColors(true);
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setSortIndicatorShown(false);
    connect(m_details->header(), &QHeaderView::sectionClicked, this, &MainWindow::sortListBy);

    m_icons = new QListView(m_listStack);
    m_icons->setObjectName(QStringLiteral("listIcons"));
    m_icons->setModel(m_listModel);
    m_icons->setSelectionModel(m_details->selectionModel());
    m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_icons->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setUniformItemSizes(true);
    m_icons->setLayoutMode(QListView::Batched);
    m_icons->setBatchSize(2000);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWrapping(true);
    m_listSelection = m_details->selectionModel();
    connect(m_listSelection, &QItemSelectionModel::selectionChanged, this, &MainWindow::updateBrowseStatus);
    connect(m_listSelection, &QItemSelectionModel::currentChanged, this, &MainWindow::requestPreview);

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_icons)}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::clicked, this, [this] { Q_EMIT listClicked(); });
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            Q_EMIT listClicked();
            Q_EMIT listActivated(m_listModel->listingRow(index.row()));
        });
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            if (!view->indexAt(pos).isValid() || selectionMarkRow() < 0)
                return;
            m_contextPos = view->viewport()->mapToGlobal(pos);
            Q_EMIT listContextMenuRequested();
        });
        connect(view->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
                [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                    m_listModel->setEditable(false);
                    if (hint == QAbstractItemDelegate::RevertModelCache)
                        Q_EMIT renameEnded(selectionMarkRow(), QString(), false);
                });
    }
    m_listStack->addWidget(m_details);
    m_listStack->addWidget(m_icons);
    m_listStack->hide();
}

void MainWindow::showListView(shell::ListStyle style)
{
    m_listStyle = style;
    switch (style) {
    case shell::ListStyle::Details:
        m_listStack->setCurrentWidget(m_details);
        menuAction(shell::MenuItem::Details)->setChecked(true);
        return;
    case shell::ListStyle::Icons:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setGridSize(QSize(fontMetrics().averageCharWidth() * 24, fontMetrics().lineSpacing() + 6));
        menuAction(shell::MenuItem::Icons)->setChecked(true);
        break;
    case shell::ListStyle::List:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setGridSize(QSize());
        menuAction(shell::MenuItem::List)->setChecked(true);
        break;
    }
    m_icons->setWrapping(true);
    m_icons->setModelColumn(ListModel::kName);
    m_listStack->setCurrentWidget(m_icons);
}

QAbstractItemView* MainWindow::currentListView() const
{
    return m_listStyle == shell::ListStyle::Details ? static_cast<QAbstractItemView*>(m_details)
                                                    : static_cast<QAbstractItemView*>(m_icons);
}

int MainWindow::selectionMarkRow() const
{
    const QModelIndex current = m_listSelection->currentIndex();
    return current.isValid() ? m_listModel->listingRow(current.row()) : -1;
}

void MainWindow::applyTreeExpansion(shell::LeftTree tree)
{
    LeftTreeModel* model = m_treeModels[treeIndex(tree)];
    QTreeView* view = m_trees[treeIndex(tree)];
    for (core::TreeItemId id : model->expandedIds())
        view->expand(model->indexForId(id));
}

QTreeView* MainWindow::treeView(shell::LeftTree tree) const
{
    return m_trees[treeIndex(tree)];
}

LeftTreeModel* MainWindow::treeModel(shell::LeftTree tree) const
{
    return m_treeModels[treeIndex(tree)];
}

void MainWindow::RebuildTree(shell::LeftTree tree, const shell::TreeModel& model)
{
    QTreeView* view = m_trees[treeIndex(tree)];
    view->hide();
    view->setEnabled(true);
    m_treeModels[treeIndex(tree)]->setItems(model);
    applyTreeExpansion(tree);
}

void MainWindow::DestroyTree(shell::LeftTree tree)
{
    m_treeModels[treeIndex(tree)]->setItems({});
    m_trees[treeIndex(tree)]->hide();
}

void MainWindow::ShowTree(shell::LeftTree tree, bool visible)
{
    m_trees[treeIndex(tree)]->setVisible(visible);
}

void MainWindow::EnableTree(shell::LeftTree tree, bool enabled)
{
    m_trees[treeIndex(tree)]->setEnabled(enabled);
}

void MainWindow::SelectTreeItem(shell::LeftTree tree, core::TreeItemId item)
{
    QTreeView* view = m_trees[treeIndex(tree)];
    const QModelIndex index = m_treeModels[treeIndex(tree)]->indexForId(item);
    if (!index.isValid())
        return;
    const QSignalBlocker block(view->selectionModel());
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view->scrollTo(index);
}

void MainWindow::ExpandTreeItems(shell::LeftTree tree, const std::vector<core::TreeItemId>& items)
{
    QTreeView* view = m_trees[treeIndex(tree)];
    for (core::TreeItemId id : items)
        view->expand(m_treeModels[treeIndex(tree)]->indexForId(id));
}

void MainWindow::SetTreeItemText(shell::LeftTree tree, core::TreeItemId item, std::string_view text)
{
    m_treeModels[treeIndex(tree)]->setItemText(item, toQt(text));
}

void MainWindow::SetListColumns(const std::vector<shell::ListColumn>& columns)
{
    std::vector<ListModel::Column> out;
    out.reserve(columns.size());
    for (const shell::ListColumn& c : columns) {
        ListModel::Column column;
        column.title = toQt(c.title);
        column.width = c.width;
        column.alignment = (c.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        out.push_back(std::move(column));
    }
    m_listModel->setColumns(std::move(out));
    // Widths are layout pixels at 100 %; the font's size carries the scaling.
    const double scale = fontMetrics().averageCharWidth() / 6.0;
    for (std::size_t i = 0; i < columns.size(); ++i)
        m_details->setColumnWidth(static_cast<int>(i), static_cast<int>(columns[i].width * std::max(1.0, scale)));
}

void MainWindow::SetListRows(const std::vector<ntfs::ListRow>& rows)
{
    m_listModel->setRows(rows);
    fitListColumns();
    updateBrowseStatus();
}

void MainWindow::requestPreview()
{
    if (m_preview == nullptr || !m_preview->isVisible())
        return;
    ++m_previewGeneration;
    const int row = selectionMarkRow();
    const ntfs::ListRow* r = m_listModel->row(row);
    if (r == nullptr) {
        m_preview->showMessage(toQt(core::msg::kPreviewNothing));
        return;
    }
    if (r->folder) {
        m_preview->showMessage(toQt(core::msg::kPreviewFolder));
        return;
    }
    // Images are read whole (up to the cap), anything else only as far as the pane shows it.
    const QString name = toQt(r->name);
    const QByteArray suffix = name.section(QLatin1Char('.'), -1).toLower().toLatin1();
    const bool image = QImageReader::supportedImageFormats().contains(suffix);
    const std::uint64_t cap = image ? recovery::kMaxPreviewBytes : std::uint64_t{PreviewPane::kTextBytes};
    PreviewReader read = m_previewPreparer ? m_previewPreparer(static_cast<std::size_t>(row), cap) : PreviewReader();
    if (!read) {
        m_preview->showMessage(toQt(core::msg::kPreviewFailed));
        return;
    }
    m_preview->showMessage(toQt(core::msg::kPreviewReading));
    if (m_previewThread.joinable())
        m_previewThread.join();  // one read at a time; a read is capped, so this wait is short
    m_previewPending = true;
    const std::uint64_t generation = m_previewGeneration;
    QPointer<MainWindow> self(this);
    m_previewThread = std::thread([self, read = std::move(read), generation, name] {
        auto bytes = std::make_shared<recovery::PreviewBytes>(read());
        QMetaObject::invokeMethod(
            qApp,
            [self, bytes, generation, name] {
                if (!self)
                    return;
                if (generation != self->m_previewGeneration)
                    return;  // the selection moved on meanwhile
                self->m_previewPending = false;
                self->m_preview->showBytes(name, *bytes);
            },
            Qt::QueuedConnection);
    });
}

void MainWindow::updateBrowseStatus()
{
    if (m_browseStatus == nullptr)
        return;
    const bool browsing = m_listModel->columns().size() > 1;
    m_browseStatus->setVisible(browsing);
    if (browsing)
        m_browseStatus->setText(toQt(shell::BrowseStatusText(m_listModel->rows(), SelectedListRows())));
}

void MainWindow::sortListBy(int column)
{
    const ListModel::SortState state = m_listModel->nextSortState(column);
    m_listModel->sortRows(column, state);
    QHeaderView* header = m_details->header();
    header->setSortIndicatorShown(state != ListModel::SortState::Listing);
    if (state != ListModel::SortState::Listing)
        header->setSortIndicator(column, state == ListModel::SortState::Ascending ? Qt::AscendingOrder
                                                                                : Qt::DescendingOrder);
}

void MainWindow::fitListColumns()
{
    // Each column as wide as its title and the texts of the rows (sampled by the header), never
    // narrower than the layout gives it nor wider than a third of the list.
    if (m_listModel->columns().size() <= 1 || m_listModel->rows().empty())
        return;
    const double scale = std::max(1.0, fontMetrics().averageCharWidth() / 6.0);
    const int most = std::max(200, m_details->viewport()->width() / 3);
    for (std::size_t i = 0; i < m_listModel->columns().size(); ++i) {
        const int column = static_cast<int>(i);
        const int least = static_cast<int>(m_listModel->columns()[i].width * scale);
        m_details->resizeColumnToContents(column);
        m_details->setColumnWidth(column, std::clamp(m_details->columnWidth(column), least, std::max(least, most)));
    }
}

void MainWindow::SetListRowName(std::size_t row, std::string_view name)
{
    m_listModel->setRowName(static_cast<int>(row), std::string(name));
}

void MainWindow::SetListStyle(shell::ListStyle style)
{
    showListView(style);
}

std::vector<std::size_t> MainWindow::SelectedListRows() const
{
    // Any selected cell selects its row: the icon and list styles select the name column only.
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : m_listSelection->selectedIndexes())
        rows.push_back(static_cast<std::size_t>(m_listModel->listingRow(index.row())));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::optional<std::size_t> MainWindow::ListSelectionMark() const
{
    const int row = selectionMarkRow();
    if (row < 0)
        return std::nullopt;
    return static_cast<std::size_t>(row);
}

void MainWindow::BeginRename(std::size_t row)
{
    QAbstractItemView* view = currentListView();
    const QModelIndex index = m_listModel->index(m_listModel->viewRow(static_cast<int>(row)), ListModel::kName);
    if (!index.isValid())
        return;
    m_listModel->setEditable(true);
    view->setCurrentIndex(index);
    view->edit(index);
}

void MainWindow::SetFocus(shell::Pane pane)
{
    if (pane == shell::Pane::List) {
        currentListView()->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QTreeView* view : m_trees) {
        if (!view->isHidden()) {
            view->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

}  // namespace gui

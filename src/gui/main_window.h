// The desktop wizard's main window: the shell's window port implemented with Qt widgets. The
// left pane holds the four trees (one shown at a time) beside the list in a splitter; below the
// list stand the scan-method and file-system groups, the information panel, the status line,
// the progress bar and the quick help; Back, Next and Stop at the bottom; menus and seven tool
// buttons at the top. User actions leave the window as signals, which the wizard's wiring
// connects to the shell.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <map>
#include <functional>
#include <memory>
#include <thread>

#include "gui/file_types.h"
#include "gui/prompter.h"
#include "gui/progress_bridge.h"
#include "recovery/preview.h"
#include "shell/browse_commands.h"
#include "shell/main_window.h"

class QAbstractItemView;
class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QProgressBar;
class QRadioButton;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QTreeView;
class QItemSelectionModel;

namespace gui {

class LeftTreeModel;
class ListModel;
class PreviewPane;
class SaveProgressDialog;

class MainWindow : public QMainWindow, public shell::MainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The seam GUI tests answer dialogs through; the window keeps it.
    void setPrompter(std::unique_ptr<Prompter> prompter);
    Prompter& prompter() noexcept { return *m_prompter; }
    ProgressBridge& bridge() noexcept { return m_bridge; }
    FileTypes& fileTypes() noexcept { return m_fileTypes; }

    // Widgets by layout id, for the wiring and the tests.
    QWidget* control(int id) const;
    QTreeView* treeView(shell::LeftTree tree) const;
    LeftTreeModel* treeModel(shell::LeftTree tree) const;
    QTreeView* detailsView() const noexcept { return m_details; }
    QLabel* browseStatus() const noexcept { return m_browseStatus; }
    PreviewPane* previewPane() const noexcept { return m_preview; }
    QAction* previewAction() const noexcept { return m_previewAction; }
    // How the preview reads a listing row: called on the window thread, it returns the read to run
    // on a worker (reading at most `cap` bytes), or nothing when the row cannot be previewed.
    using PreviewReader = std::function<recovery::PreviewBytes()>;
    using PreviewPreparer = std::function<PreviewReader(std::size_t row, std::uint64_t cap)>;
    void setPreviewPreparer(PreviewPreparer preparer) { m_previewPreparer = std::move(preparer); }
    // Whether a preview read is still running (tests wait for it).
    bool previewPending() const noexcept { return m_previewPending; }
    QListView* iconView() const noexcept { return m_icons; }
    QAbstractItemView* currentListView() const;
    ListModel* listModel() const noexcept { return m_listModel; }
    QAction* menuAction(shell::MenuItem item) const { return m_menuActions[static_cast<std::size_t>(item)]; }
    QToolButton* toolButton(int index) const { return m_toolButtons[static_cast<std::size_t>(index)]; }
    QMenu* contextMenu() const noexcept { return m_contextMenu; }
    QAction* contextAction(shell::ContextItem item) const { return m_contextActions[static_cast<std::size_t>(item)]; }
    shell::ContextItem contextItemOf(const QAction* action) const;
    SaveProgressDialog* saveProgressDialog() const noexcept { return m_saveProgress; }
    bool workerRunning() const noexcept { return m_bridge.running(); }
    // The list row holding the selection mark as a row number, -1 when none.
    int selectionMarkRow() const;
    // A click on the list header's `column`: ascending, descending, then the listing's order.
    void sortListBy(int column);

    // shell::MainWindow
    void SetControlText(int id, std::string_view text) override;
    std::string ControlText(int id) const override;
    void ShowControl(int id, bool visible) override;
    void EnableControl(int id, bool enabled) override;
    void CheckControl(int id, bool checked) override;
    void SelectListEntry(int id, int index) override;
    int SelectedListEntry(int id) const override;
    void SetProgressPosition(int percent) override;
    void SetMenuItemEnabled(shell::MenuItem item, bool enabled) override;
    void RebuildTree(shell::LeftTree tree, const shell::TreeModel& model) override;
    void DestroyTree(shell::LeftTree tree) override;
    void ShowTree(shell::LeftTree tree, bool visible) override;
    void EnableTree(shell::LeftTree tree, bool enabled) override;
    void SelectTreeItem(shell::LeftTree tree, core::TreeItemId item) override;
    void ExpandTreeItems(shell::LeftTree tree, const std::vector<core::TreeItemId>& items) override;
    void SetTreeItemText(shell::LeftTree tree, core::TreeItemId item, std::string_view text) override;
    void SetListColumns(const std::vector<shell::ListColumn>& columns) override;
    void SetListRows(const std::vector<ntfs::ListRow>& rows) override;
    void SetListRowName(std::size_t row, std::string_view name) override;
    void SetListStyle(shell::ListStyle style) override;
    std::vector<std::size_t> SelectedListRows() const override;
    std::optional<std::size_t> ListSelectionMark() const override;
    void BeginRename(std::size_t row) override;
    void SetFocus(shell::Pane pane) override;
    std::optional<shell::ContextItem> TrackContextMenu(bool openWithEnabled) override;
    shell::Answer MessageBox(std::string_view text, shell::MessageKind kind) override;
    shell::Answer AskFromWorker(std::string_view text, shell::MessageKind kind) override;
    void ShowPlainMessage(std::string_view text) override;
    shell::BatchSummaryChoice OfferReport(std::string_view summary) override;
    void StartWorker(std::function<void()> work, std::function<void()> onEnd) override;
    void ChangeFromWorker(const std::function<void()>& change) override;
    core::ProgressSink& WorkerSink() override;
    std::optional<std::filesystem::path> ChooseFolder() override;
    std::optional<std::string> AskSaveFileName(std::string_view pattern) override;
    std::optional<std::string> AskReportFileName() override;
    std::optional<std::string> AskOpenFileName(std::string_view pattern) override;
    std::optional<recovery::SettingsChoice> AskRecoverySettings(const recovery::SettingsChoice& current) override;
    void ShowProperties(const shell::PropertiesInfo& info) override;
    void ShowDriveInformation(const shell::DriveInformation& info) override;
    void ShowAbout(std::string_view text) override;
    void RunFiltersDialog(shell::FileFiltersDialog& logic) override;
    void RunFindDialog(shell::FindFilesDialog& logic) override;
    core::ProgressSink& OpenSaveProgress(recovery::RecoveryState& state) override;
    void CloseSaveProgress() override;
    bool OpenWithDefaultApplication(const std::filesystem::path& file) override;
    void OpenWithChooser(const std::filesystem::path& file) override;
    bool OpenHelpFile(const std::filesystem::path& file) override;
    bool StartProgram(const std::filesystem::path& program, std::string_view parameter) override;
    bool StartDetached(const std::vector<std::string>& argv) override;
    void EndProgram() override;

Q_SIGNALS:
    void nextClicked();
    void backClicked();
    void stopClicked();
    void searchPartitionsClicked();
    void scanMethodChosen(int method);  // 1 Standard Scan, 2 Advance Scan
    void treeItemClicked(shell::LeftTree tree, core::TreeItemId item);
    void listClicked();
    void listActivated(int row);        // double-click on a row
    void listContextMenuRequested();    // right-click on a row
    // The end of an in-place rename: the edited text, or accepted false when it was cancelled.
    void renameEnded(int row, const QString& text, bool accepted);
    void menuTriggered(shell::MenuItem item);
    void toolButtonClicked(int button);  // 1..7
    // The close box; the wiring asks and calls acceptClose() on "&Yes".
    void closeRequested();

public:
    // Lets the next close event through (after "&Yes" to the exit question).
    void acceptClose();
    // F1, Tab, Enter, F2 and the context-menu key go here before the widgets' own handling;
    // the handler returns true when it used the key.
    void setKeyHandler(std::function<bool(shell::Key)> handler) { m_keyHandler = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // main_window_layout.cpp
    void buildLayout();
    QWidget* buildRightPane();
    QWidget* buildScanTypeGroup();
    QWidget* buildFileSystemGroup();
    QWidget* buildInformationPanel();
    QWidget* buildButtonRow();
    void registerControl(int id, QWidget* widget);
    // A control's text as the shell or a worker gives it (quick-help line breaks shown as such).
    void setLabelText(int id, const QString& raw);
    // main_window_menus.cpp
    void buildMenus();
    void buildToolBar();
    void buildContextMenu();
    QAction* addMenuAction(QMenu* menu, const QString& text, shell::MenuItem item);
    // main_window_lists.cpp
    void buildTrees(QWidget* pane);
    void buildListViews();
    void showListView(shell::ListStyle style);
    void onTreeClicked(shell::LeftTree tree, const QModelIndex& index);
    void applyTreeExpansion(shell::LeftTree tree);
    // Widens the list's columns to their contents (within a maximum) after each listing.
    void fitListColumns();
    // The browse status line: the listed folder's folders, files and size, and the selection's.
    void updateBrowseStatus();
    // Shows the file of the selection mark in the preview pane when it is open.
    void requestPreview();

    std::unique_ptr<Prompter> m_prompter;
    ProgressBridge m_bridge;
    FileTypes m_fileTypes;

    std::map<int, QWidget*> m_controls;
    std::map<int, QString> m_rawTexts;  // texts as the shell set them, for ControlText

    QSplitter* m_splitter = nullptr;
    QWidget* m_leftPane = nullptr;
    std::array<QTreeView*, 4> m_trees{};
    std::array<LeftTreeModel*, 4> m_treeModels{};
    std::array<QIcon, 5> m_treeImages;

    QWidget* m_listPane = nullptr;       // control 1000: the list, the preview and the status line
    QSplitter* m_listSplitter = nullptr;
    QLabel* m_browseStatus = nullptr;
    PreviewPane* m_preview = nullptr;
    QAction* m_previewAction = nullptr;
    PreviewPreparer m_previewPreparer;
    std::thread m_previewThread;   // the last preview read; joined before the next and at the end
    std::uint64_t m_previewGeneration = 0;
    bool m_previewPending = false;
    QStackedWidget* m_listStack = nullptr;
    QTreeView* m_details = nullptr;
    QListView* m_icons = nullptr;
    ListModel* m_listModel = nullptr;
    QItemSelectionModel* m_listSelection = nullptr;
    shell::ListStyle m_listStyle = shell::ListStyle::Details;

    QWidget* m_panel = nullptr;  // the information panel, hidden while all its rows are
    QProgressBar* m_progress = nullptr;
    QLabel* m_rate = nullptr;  // rate and time left beside the progress bar
    QComboBox* m_fileSystemList = nullptr;

    std::array<QAction*, shell::kMenuItemCount> m_menuActions{};
    std::array<QToolButton*, 7> m_toolButtons{};
    QMenu* m_contextMenu = nullptr;
    std::array<QAction*, 11> m_contextActions{};

    SaveProgressDialog* m_saveProgress = nullptr;
    std::function<bool(shell::Key)> m_keyHandler;
    QPoint m_contextPos;          // where the next context menu opens, in global coordinates
    bool m_treeKeyMove = false;   // a navigation key is being handled by a tree
    bool m_closeAccepted = false;
};

}  // namespace gui

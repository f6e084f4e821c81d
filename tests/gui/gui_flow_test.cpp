// Whole flows through the real main window, offscreen, on the ntfs_basic fixture: Standard Scan
// to the browse step, folders entered by double-click and by tree click, rename then recover
// (checked by sha256), Recover All under each duplicate policy, filters, find files, snapshot
// save and load, Advance Scan to the mounted file system, Back twice and the close box.
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <map>

#include "core/messages.h"
#include "gui/dialogs/about_dialog.h"
#include "gui/dialogs/file_filters_dialog.h"
#include "gui/dialogs/find_files_dialog.h"
#include "gui/dialogs/info_dialogs.h"
#include "gui/dialogs/recovery_settings_dialog.h"
#include "gui/dialogs/save_progress_dialog.h"
#include "gui/models/left_tree_model.h"
#include "gui/models/list_model.h"
#include "gui/preview_pane.h"
#include "gui/qt_text.h"
#include "gui/wizard_app.h"
#include "scripted_prompter.h"
#include "wizard_driver.h"
#include "shell/window_changes.h"

using gui_test::Rig;
using gui_test::ScriptedPrompter;
namespace ctl = shell::ctl;
namespace msg = core::msg;

namespace {

// path -> sha256 of the live files of the fixture's manifest.
std::map<QString, QByteArray> manifestHashes()
{
    std::map<QString, QByteArray> hashes;
    QFile file(QStringLiteral(DRAVIK_SOURCE_DIR "/tests/data/ntfs_basic.manifest.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return hashes;
    while (!file.atEnd()) {
        const QStringList cells = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char('\t'));
        if (cells.size() >= 7 && cells[2] == QLatin1String("f") && cells[6] == QLatin1String("0"))
            hashes[cells[3]] = cells[5].toLatin1();
    }
    return hashes;
}

QByteArray sha256Of(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// Runs `step` on the next modal dialog of type T once it is open.
template <typename T>
void onNextDialog(std::function<void(T*)> step)
{
    QTimer::singleShot(0, [step] {
        T* dialog = nullptr;
        (void)QTest::qWaitFor([&] { return (dialog = qobject_cast<T*>(QApplication::activeModalWidget())) != nullptr; }, 5000);
        if (dialog)
            step(dialog);
    });
}

}  // namespace

class GuiFlowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void standardScanToTheBrowseStep();
    void foldersByDoubleClickAndByTreeClick();
    void listSortsByColumnAndBackToTheListingsOrder();
    void deletedEntriesAreGreyedWithAMark();
    void statusLineCountsTheFolderAndTheSelection();
    void previewShowsTextAndHexFromMemory();
    void renameThenRecoverSelected();
    void recoverAllUnderEachDuplicatePolicy();
    void creationErrorIsAskedFromTheWorker();
    void filtersChangeTheList();
    void findFilesListsHitsWithTheirPaths();
    void findFilesStopAnsweredNoThenYes();
    void unicodeNamesInListTreeAndFind();
    void contextMenuAndPropertiesOfADeletedFolder();
    void tabMovesTheFocusBetweenTreeAndList();
    void viewStylesDriveInformationAndAbout();
    void noTableLeadsToTheQuickSearch();
    void gptPartitionsInTheTreeAndBitLockerRefused();
    void stopAnsweredNoThenYesDuringAnAdvanceScan();
    void snapshotSavedThenLoaded();
    void advanceScanToTheMountedFileSystem();
    void disksBeyond2TiBScannedAndSweptThere();
    void backTwiceThenTheCloseBox();
};

void GuiFlowTest::standardScanToTheBrowseStep()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.started);
    QCOMPARE(rig.w().treeModel(shell::LeftTree::Drives)->text(1), QStringLiteral("My Computer"));
    QVERIFY(rig.w().treeView(shell::LeftTree::Drives)->isVisible());
    QVERIFY(!rig.w().control(ctl::kNext)->isVisible());
    QCOMPARE(rig.w().ControlText(ctl::kQuickHelp), std::string(msg::kQuickHelpStep0));

    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    QVERIFY(rig.w().control(ctl::kNext)->isVisible());
    QCOMPARE(qobject_cast<QLabel*>(rig.w().control(ctl::PanelValueId(1)))->text(), QStringLiteral("ntfs_basic.img"));

    QVERIFY(rig.toBrowseStep());
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kStandardScanDone)));
    QVERIFY(rig.w().control(ctl::kList)->isVisible());
    QVERIFY(rig.w().treeView(shell::LeftTree::Folders)->isVisible());
    QVERIFY(rig.w().treeView(shell::LeftTree::Folders)->isEnabled());
    QVERIFY(!rig.w().treeView(shell::LeftTree::Partitions)->isVisible());
    QCOMPARE(rig.w().listModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(rig.w().listModel()->columnCount(), 7);
    QCOMPARE(rig.w().listModel()->headerData(6, Qt::Horizontal).toString(), gui::toQt(msg::kColumnRecoverable));
    QVERIFY(rig.row(QStringLiteral("Documents")) >= 0);
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);
    // Menu state 3: recovery offered, loading greyed; the tool buttons follow.
    QVERIFY(rig.w().menuAction(shell::MenuItem::RecoverAll)->isEnabled());
    QVERIFY(!rig.w().menuAction(shell::MenuItem::LoadSnapshot)->isEnabled());
    QVERIFY(rig.w().control(ctl::kBack)->isVisible());
    QVERIFY(!rig.w().control(ctl::kStop)->isVisible());
}

namespace {

// The texts of one column in the order the view shows them.
QStringList columnTexts(gui::ListModel* model, int column)
{
    QStringList texts;
    for (int r = 0; r < model->rowCount(); ++r)
        texts << model->index(r, column).data().toString();
    return texts;
}

void clickHeader(gui::MainWindow& w, int column)
{
    QHeaderView* header = w.detailsView()->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

}  // namespace

void GuiFlowTest::listSortsByColumnAndBackToTheListingsOrder()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.enterFolder(QStringLiteral("Documents"));
    gui::ListModel* model = rig.w().listModel();
    const QStringList listing = columnTexts(model, gui::ListModel::kName);
    QVERIFY(listing.size() > 5);

    // Sizes sort as numbers ("50000" after "5000", "200000" last), ascending then descending.
    clickHeader(rig.w(), gui::ListModel::kSize);
    QCOMPARE(model->sortState(), gui::ListModel::SortState::Ascending);
    std::vector<qulonglong> sizes;
    for (const QString& text : columnTexts(model, gui::ListModel::kSize))
        sizes.push_back(text.toULongLong());
    QVERIFY(std::is_sorted(sizes.begin(), sizes.end()));
    QCOMPARE(columnTexts(model, gui::ListModel::kName).last(), QStringLiteral("big.txt"));
    clickHeader(rig.w(), gui::ListModel::kSize);
    QCOMPARE(model->sortState(), gui::ListModel::SortState::Descending);
    QCOMPARE(columnTexts(model, gui::ListModel::kName).first(), QStringLiteral("big.txt"));
    QVERIFY(rig.w().detailsView()->header()->isSortIndicatorShown());
    // The third click gives back the listing's own order (folders first, catalog order).
    clickHeader(rig.w(), gui::ListModel::kSize);
    QCOMPARE(model->sortState(), gui::ListModel::SortState::Listing);
    QCOMPARE(columnTexts(model, gui::ListModel::kName), listing);
    QVERIFY(!rig.w().detailsView()->header()->isSortIndicatorShown());

    // Dates sort as times, not as their texts ("7-3-2005" would sort after "12-3-2005").
    clickHeader(rig.w(), gui::ListModel::kCreated);
    std::vector<std::uint64_t> created;
    for (int r = 0; r < model->rowCount(); ++r)
        created.push_back(model->row(model->listingRow(r))->createdKey);
    QVERIFY(std::is_sorted(created.begin(), created.end()));

    // A sorted view still hands the shell the listing's rows: opening a folder row by
    // double-click, and the selection.
    clickHeader(rig.w(), gui::ListModel::kName);
    clickHeader(rig.w(), gui::ListModel::kName);  // descending
    const int view = rig.row(QStringLiteral("letter.txt"));
    QVERIFY(view >= 0);
    rig.clickRow(view);
    const auto selected = rig.w().SelectedListRows();
    QCOMPARE(selected.size(), std::size_t{1});
    QCOMPARE(gui::toQt(model->rows()[selected[0]].name), QStringLiteral("letter.txt"));
    rig.enterFolder(QStringLiteral("Reports"));
    QVERIFY(rig.row(QStringLiteral("readme.txt")) >= 0);
    // The sort stays while the user moves through folders, and the columns fit their texts.
    QCOMPARE(model->sortState(), gui::ListModel::SortState::Descending);
    QVERIFY(rig.w().detailsView()->columnWidth(gui::ListModel::kCreated) >=
            rig.w().detailsView()->fontMetrics().horizontalAdvance(
                model->index(0, gui::ListModel::kCreated).data().toString()));
}

void GuiFlowTest::deletedEntriesAreGreyedWithAMark()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.enterFolder(QStringLiteral("Documents"));
    gui::ListModel* model = rig.w().listModel();
    const QModelIndex gone = model->index(rig.row(QStringLiteral("deleted_big.txt")), gui::ListModel::kName);
    const QModelIndex live = model->index(rig.row(QStringLiteral("letter.txt")), gui::ListModel::kName);
    QVERIFY(gone.isValid() && live.isValid());
    QCOMPARE(gone.data(gui::ListModel::kDeletedRole).toBool(), true);
    QCOMPARE(live.data(gui::ListModel::kDeletedRole).toBool(), false);
    const QColor disabled = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    QCOMPARE(gone.data(Qt::ForegroundRole).value<QColor>(), disabled);
    QVERIFY(!live.data(Qt::ForegroundRole).isValid());
    // The mark changes the icon's pixels; the Type texts stay as they were.
    const QImage marked = gone.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    const QImage plain = rig.w().fileTypes().fileIcon(QStringLiteral("deleted_big.txt")).pixmap(16, 16).toImage();
    QVERIFY(!marked.isNull());
    QVERIFY(marked != plain);
    QVERIFY(model->index(gone.row(), gui::ListModel::kType).data().toString().startsWith(QStringLiteral("Deleted ")));
    // The Recoverable column: the share of a deleted file, a dash for a live one.
    QCOMPARE(model->index(gone.row(), gui::ListModel::kRecoverable).data().toString(), QStringLiteral("100%"));
    const QModelIndex share = model->index(gone.row(), gui::ListModel::kRecoverable);
    QCOMPARE(share.data(gui::ListModel::kRecoverableRole).toInt(), 100);
    QCOMPARE(model->index(live.row(), gui::ListModel::kRecoverable).data().toString(),
             gui::toQt(msg::kRecoverableNotRated));

    // The folder tree greys deleted folders the same way.
    gui::LeftTreeModel* tree = rig.w().treeModel(shell::LeftTree::Folders);
    bool sawDeleted = false;
    for (const catalog::NtfsFolderEntry& f : rig.s().catalog.NtfsFolders()) {
        const QModelIndex item = tree->indexForId(f.treeItem);
        if (!item.isValid())
            continue;
        QCOMPARE(item.data(gui::ListModel::kDeletedRole).toBool(), f.deleted != 0);
        if (f.deleted != 0) {
            QCOMPARE(item.data(Qt::ForegroundRole).value<QColor>(), disabled);
            sawDeleted = true;
        }
    }
    QVERIFY(sawDeleted);
}

void GuiFlowTest::statusLineCountsTheFolderAndTheSelection()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.enterFolder(QStringLiteral("Documents"));
    QLabel* status = rig.w().browseStatus();
    QVERIFY(status->isVisible());
    // Documents: Reports; Long file name (1500), letter (5000), big (200000) and the two deleted
    // files (500 and 50000).
    QCOMPARE(status->text(), QStringLiteral("1 folder, 5 files (2 deleted), 251.0 KB"));
    rig.clickRow(rig.row(QStringLiteral("letter.txt")));
    QCOMPARE(status->text(),
             QStringLiteral("1 folder, 5 files (2 deleted), 251.0 KB    Selected: 0 folders, 1 file, 4.9 KB"));
}

void GuiFlowTest::previewShowsTextAndHexFromMemory()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    gui::PreviewPane* pane = rig.w().previewPane();
    QVERIFY(!pane->isVisible());  // off until the View menu opens it
    QVERIFY(!rig.w().previewAction()->isChecked());
    rig.w().previewAction()->trigger();
    QVERIFY(pane->isVisible());

    rig.enterFolder(QStringLiteral("Documents"));
    rig.clickRow(rig.row(QStringLiteral("letter.txt")));
    QTRY_VERIFY(!rig.w().previewPending());
    QCOMPARE(pane->kind(), gui::PreviewPane::Kind::Text);
    QVERIFY2(pane->shownText().startsWith(QStringLiteral("Documents/letter.txt offset 0000000000")),
             qPrintable(pane->shownText().left(80)));
    QCOMPARE(pane->shownText().size(), 5000);
    // A deleted file reads the same way, from its old clusters.
    rig.clickRow(rig.row(QStringLiteral("deleted_big.txt")));
    QTRY_VERIFY(!rig.w().previewPending());
    QCOMPARE(pane->kind(), gui::PreviewPane::Kind::Text);
    QVERIFY(pane->shownText().startsWith(QStringLiteral("Documents/deleted_big.txt offset 0000000000")));
    QCOMPARE(pane->shownText().size(), 50000);
    rig.clickRow(rig.row(QStringLiteral("Reports")));
    QCOMPARE(pane->kind(), gui::PreviewPane::Kind::Message);

    // A file holding zeros first (a sparse file) is shown in hex.
    rig.clickTree(shell::LeftTree::Folders, rig.w().treeModel(shell::LeftTree::Folders)->rootId());
    rig.enterFolder(QStringLiteral("sparse"));
    rig.clickRow(rig.row(QStringLiteral("sparse.bin")));
    QTRY_VERIFY(!rig.w().previewPending());
    QCOMPARE(pane->kind(), gui::PreviewPane::Kind::Hex);
    QVERIFY(pane->shownText().startsWith(QStringLiteral("00000000  00 00 00 00")));

    rig.w().previewAction()->trigger();
    QVERIFY(!pane->isVisible());
}

void GuiFlowTest::foldersByDoubleClickAndByTreeClick()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.enterFolder(QStringLiteral("Documents"));
    QVERIFY(rig.row(QStringLiteral("letter.txt")) >= 0);
    QVERIFY(rig.row(QStringLiteral("README.TXT")) < 0);
    QTreeView* tree = rig.w().treeView(shell::LeftTree::Folders);
    QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("Documents"));

    rig.enterFolder(QStringLiteral("Reports"));
    QVERIFY(rig.row(QStringLiteral("readme.txt")) >= 0);
    QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("Reports"));
    QVERIFY(tree->isExpanded(tree->currentIndex().parent()));

    // A click beside every item selects the root and lists it.
    QTreeView* folders = rig.w().treeView(shell::LeftTree::Folders);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, QPoint(folders->viewport()->width() / 2, folders->viewport()->height() - 3));
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);
    rig.enterFolder(QStringLiteral("Documents"));

    // A click on the tree's root lists the root again.
    rig.clickTree(shell::LeftTree::Folders, rig.w().treeModel(shell::LeftTree::Folders)->rootId());
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);
    QCOMPARE(rig.s().browse.treeFocus, true);

    // The arrow keys in the tree enter folders as clicks do.
    folders->setFocus();
    QTest::keyClick(folders, Qt::Key_Down);
    QCOMPARE(folders->currentIndex().data().toString(), QStringLiteral("$Extend"));
    QCOMPARE(rig.s().browse.selectedFolder, gui::LeftTreeModel::idAt(folders->currentIndex()));
    QVERIFY(rig.row(QStringLiteral("README.TXT")) < 0);
    QTest::keyClick(folders, Qt::Key_Up);
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);

    // A click in the list hands the focus flag back to the list; Enter opens a folder row.
    rig.clickRow(rig.row(QStringLiteral("Documents")));
    QCOMPARE(rig.s().browse.treeFocus, false);
    QTest::keyClick(rig.w().detailsView(), Qt::Key_Return);
    QVERIFY(rig.row(QStringLiteral("letter.txt")) >= 0);

    // Double-clicking a file hands the extracted copy to the desktop.
    rig.doubleClickRow(rig.row(QStringLiteral("letter.txt")));
    QCOMPARE(rig.prompter->opened.size(), 1);
    QVERIFY(rig.prompter->opened.front().endsWith(QStringLiteral("letter.txt")));
    QCOMPARE(sha256Of(rig.prompter->opened.front()), manifestHashes()[QStringLiteral("Documents/letter.txt")]);
}

void GuiFlowTest::renameThenRecoverSelected()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.enterFolder(QStringLiteral("Documents"));
    const int letter = rig.row(QStringLiteral("letter.txt"));
    QVERIFY(letter >= 0);
    rig.clickRow(letter);
    QTest::keyClick(rig.w().detailsView(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("b.txt"));
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits by a queued call.
    QTRY_COMPARE(rig.w().listModel()->data(rig.w().listModel()->index(letter, 0)).toString(), QStringLiteral("b.txt"));
    QTRY_VERIFY(!rig.s().browse.renameRow.has_value());

    // An empty name keeps the old one.
    rig.clickRow(letter);
    QTest::keyClick(rig.w().detailsView(), Qt::Key_F2);
    editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits by a queued call.
    QTRY_COMPARE(rig.w().listModel()->data(rig.w().listModel()->index(letter, 0)).toString(), QStringLiteral("b.txt"));
    QTRY_VERIFY(!rig.s().browse.renameRow.has_value());

    QTemporaryDir out;
    rig.prompter->folder = out.path();
    rig.clickRow(letter);
    QTest::mouseClick(rig.w().toolButton(0), Qt::LeftButton);
    QVERIFY(rig.w().saveProgressDialog());
    QCOMPARE(rig.w().saveProgressDialog()->windowTitle(), gui::toQt(msg::kSaveProgressCaption));
    QVERIFY(rig.waitIdle());
    QVERIFY(QFile::exists(out.filePath(QStringLiteral("b.txt"))));
    QVERIFY(!QFile::exists(out.filePath(QStringLiteral("letter.txt"))));
    QCOMPARE(sha256Of(out.filePath(QStringLiteral("b.txt"))), manifestHashes()[QStringLiteral("Documents/letter.txt")]);
}

void GuiFlowTest::recoverAllUnderEachDuplicatePolicy()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    QTemporaryDir out;
    rig.prompter->folder = out.path();
    const auto hashes = manifestHashes();

    auto recoverAllWith = [&](int duplicatePolicy) {
        onNextDialog<gui::RecoverySettingsDialog>([duplicatePolicy](gui::RecoverySettingsDialog* dialog) {
            dialog->duplicateGroup()->button(duplicatePolicy)->click();
            dialog->accept();
        });
        rig.w().menuAction(shell::MenuItem::Settings)->trigger();
        rig.w().menuAction(shell::MenuItem::RecoverAll)->trigger();
        return rig.waitIdle();
    };

    QVERIFY(recoverAllWith(1));
    for (const auto& [path, hash] : hashes) {
        if (path.startsWith(QStringLiteral("links/")) || path.contains(QLatin1Char(':'))
            || hash.startsWith("e3b0c442"))
            continue;  // names longer than the destination allows, streams, empty files (not written)
        QCOMPARE(sha256Of(out.filePath(path)), hash);
    }
    const QString readme = out.filePath(QStringLiteral("README.TXT"));
    const QString copy1 = out.filePath(QStringLiteral("Copy (1 ) of README.TXT"));
    const QString copy2 = out.filePath(QStringLiteral("Copy (2 ) of README.TXT"));
    QVERIFY(!QFile::exists(copy1));

    QVERIFY(recoverAllWith(1));  // rename
    QVERIFY(QFile::exists(copy1));
    QCOMPARE(sha256Of(copy1), hashes.at(QStringLiteral("README.TXT")));

    QVERIFY(recoverAllWith(3));  // skip
    QVERIFY(!QFile::exists(copy2));

    QFile::resize(readme, 10);
    QVERIFY(recoverAllWith(2));  // overwrite
    QVERIFY(!QFile::exists(copy2));
    QCOMPARE(sha256Of(readme), hashes.at(QStringLiteral("README.TXT")));
}

void GuiFlowTest::creationErrorIsAskedFromTheWorker()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    QTemporaryDir out;
    rig.prompter->folder = out.path();
    // A folder where the file would go: overwriting it cannot create the file.
    QVERIFY(QDir(out.path()).mkdir(QStringLiteral("README.TXT")));
    rig.s().recoverySettings.duplicatePolicy = recovery::DuplicatePolicy::Overwrite;
    rig.clickRow(rig.row(QStringLiteral("README.TXT")));
    rig.prompter->answers = {false};
    rig.w().menuAction(shell::MenuItem::RecoverSelected)->trigger();
    QVERIFY(rig.waitIdle());
    bool asked = false;
    for (const auto& m : rig.prompter->messages) {
        if (m.kind == gui::MessageKind::Question && m.text.startsWith(gui::toQt(msg::kErrorCreatingFile))
            && m.text.endsWith(gui::toQt(msg::kContinueRecovery)))
            asked = true;
    }
    QVERIFY(asked);
    QVERIFY(rig.s().recoveryState.stopRequested);
}

void GuiFlowTest::filtersChangeTheList()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.enterFolder(QStringLiteral("Documents"));
    onNextDialog<gui::FileFiltersDialog>([](gui::FileFiltersDialog* dialog) {
        QTest::keyClicks(dialog->patternEdit(), QStringLiteral("READ*"));
        QTest::mouseClick(dialog->addButton(), Qt::LeftButton);
        QTest::keyClicks(dialog->patternEdit(), QStringLiteral("READ*"));
        QTest::mouseClick(dialog->addButton(), Qt::LeftButton);  // already listed: refused
        QCOMPARE(dialog->patternList()->count(), 1);
        QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
    });
    rig.w().menuAction(shell::MenuItem::FileFilters)->trigger();
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kPatternExists)));
    // Closing lists the root again, with the filter applied to files only.
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);
    QVERIFY(rig.row(QStringLiteral("Documents")) >= 0);
    for (const ntfs::ListRow& row : rig.w().listModel()->rows())
        QVERIFY2(row.folder || row.name == "README.TXT", row.name.c_str());
}

void GuiFlowTest::findFilesListsHitsWithTheirPaths()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    bool checked = false;
    onNextDialog<gui::FindFilesDialog>([&checked](gui::FindFilesDialog* dialog) {
        QVERIFY(!dialog->stopButton()->isEnabled());
        QTest::keyClicks(dialog->patternEdit(), QStringLiteral("letter"));
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([dialog] { return dialog->startButton()->isEnabled(); }, gui_test::kWorkerTimeoutMs));
        const auto& rows = dialog->results()->rows();
        QCOMPARE(rows.size(), std::size_t{1});
        QCOMPARE(rows[0].name, std::string("LETTER.TXT"));
        QCOMPARE(rows[0].path, std::string("\\Documents"));
        QCOMPARE(dialog->filesFoundText(), QStringLiteral("1"));
        QCOMPARE(dialog->lastFileText(), QStringLiteral("LETTER.TXT"));
        checked = true;
        dialog->close();
    });
    rig.w().menuAction(shell::MenuItem::FindFiles)->trigger();
    QVERIFY(checked);
}

void GuiFlowTest::unicodeNamesInListTreeAndFind()
{
    Rig rig(gui_test::fixture("unicode.img"));
    QVERIFY(rig.toBrowseStep());
    // The list shows names past Latin-1 as they are on the volume.
    const QString report = QString::fromUtf8("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82 6.doc");  // Отчёт 6.doc
    const int r = rig.row(report);
    QVERIFY(r >= 0);
    QCOMPARE(rig.w().listModel()->data(rig.w().listModel()->index(r, 0)).toString(), report);
    QVERIFY(rig.row(QString::fromUtf8("\xf0\x9f\x98\x80 smile.txt")) >= 0);
    QVERIFY(rig.row(QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt")) >= 0);
    QVERIFY(rig.row(QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac\xe4\xba\x9e.txt")) >= 0);

    // The folder tree: the root's children carry the folder names.
    QAbstractItemModel* tree = rig.w().treeModel(shell::LeftTree::Folders);
    const QModelIndex root = tree->index(0, 0);
    QStringList folders;
    for (int i = 0; i < tree->rowCount(root); ++i)
        folders << tree->data(tree->index(i, 0, root)).toString();
    QVERIFY2(folders.contains(QString::fromUtf8("\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe")), qPrintable(folders.join(u',')));
    QVERIFY2(folders.contains(QString::fromUtf8("Emoji \xf0\x9f\x8e\x89")), qPrintable(folders.join(u',')));

    rig.enterFolder(QString::fromUtf8("\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe"));  // Фото
    QVERIFY(rig.row(QString::fromUtf8("\xd0\xbe\xd1\x82\xd0\xbf\xd1\x83\xd1\x81\xd0\xba.txt")) >= 0);  // отпуск.txt

    // A pattern typed in Cyrillic capitals finds both reports.
    bool checked = false;
    onNextDialog<gui::FindFilesDialog>([&checked](gui::FindFilesDialog* dialog) {
        // QTest's key simulation knows Latin-1 keys only; the text goes in as an input method would.
        dialog->patternEdit()->insert(QString::fromUtf8("*\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2*"));
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([dialog] { return dialog->startButton()->isEnabled(); }, gui_test::kWorkerTimeoutMs));
        const auto& rows = dialog->results()->rows();
        QCOMPARE(rows.size(), std::size_t{2});
        QCOMPARE(rows[0].name, std::string("\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC"));
        QCOMPARE(dialog->lastFileText(), QString::fromUtf8("\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 7.DOC"));
        checked = true;
        dialog->close();
    });
    rig.w().menuAction(shell::MenuItem::FindFiles)->trigger();
    QVERIFY(checked);
}

void GuiFlowTest::findFilesStopAnsweredNoThenYes()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    // Enough files that the search is still running when Stop is pressed.
    constexpr std::size_t kBulk = 600000;
    for (std::size_t i = 0; i < kBulk; ++i) {
        catalog::NtfsFileEntry entry;
        entry.name = "bulk" + std::to_string(i) + ".dat";
        entry.parent = 5;
        rig.s().catalog.AddNtfsFile(std::move(entry));
    }
    bool checked = false;
    onNextDialog<gui::FindFilesDialog>([&](gui::FindFilesDialog* dialog) {
        QTest::keyClicks(dialog->patternEdit(), QStringLiteral("BULK"));
        auto runUntilIdle = [dialog] {
            return QTest::qWaitFor([dialog] { return dialog->startButton()->isEnabled(); }, gui_test::kWorkerTimeoutMs);
        };

        // "&No": the search goes on to the end.
        rig.prompter->answers = {false};
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QVERIFY(!dialog->startButton()->isEnabled());
        QVERIFY(dialog->stopButton()->isEnabled());
        QTest::keyClick(dialog, Qt::Key_Escape);  // refused while searching
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
        QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kStopSearchQuestion)));
        QVERIFY(runUntilIdle());
        QCOMPARE(dialog->results()->rows().size(), kBulk);
        QCOMPARE(dialog->filesFoundText(), QString::number(kBulk));

        // "&Yes": it ends early and keeps the rows found so far.
        rig.prompter->answers = {true};
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
        QVERIFY(runUntilIdle());
        QVERIFY(dialog->results()->rows().size() < kBulk);
        QVERIFY(!dialog->stopButton()->isEnabled());
        checked = true;
        dialog->close();
    });
    rig.w().menuAction(shell::MenuItem::FindFiles)->trigger();
    QVERIFY(checked);
}

void GuiFlowTest::contextMenuAndPropertiesOfADeletedFolder()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    const int deleted = rig.row(QStringLiteral("Old Project"));
    QVERIFY(deleted >= 0);
    bool openWithEnabled = true;
    rig.prompter->contextChoice = [&](QMenu*) {
        openWithEnabled = rig.w().contextAction(shell::ContextItem::OpenWith)->isEnabled();
        return rig.w().contextAction(shell::ContextItem::Properties);
    };
    QString contains;
    onNextDialog<gui::InfoDialog>([&contains](gui::InfoDialog* dialog) {
        contains = dialog->value(QStringLiteral("Contains"));
        dialog->accept();
    });
    const QRect at = rig.rowRect(deleted);
    QTest::mouseClick(rig.w().detailsView()->viewport(), Qt::RightButton, {}, at.center());
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at.center(), rig.w().detailsView()->viewport()->mapToGlobal(at.center()));
    QApplication::sendEvent(rig.w().detailsView()->viewport(), &menu);
    QCOMPARE(rig.prompter->menusShown, 1);
    QVERIFY(!openWithEnabled);
    QVERIFY2(contains.endsWith(QStringLiteral(" Folder(s)")), qPrintable(contains));

    // On a file "Open &With..." is offered and goes to the chooser.
    rig.prompter->contextChoice = [&](QMenu*) {
        openWithEnabled = rig.w().contextAction(shell::ContextItem::OpenWith)->isEnabled();
        return rig.w().contextAction(shell::ContextItem::OpenWith);
    };
    const QRect file = rig.rowRect(rig.row(QStringLiteral("README.TXT")));
    QTest::mouseClick(rig.w().detailsView()->viewport(), Qt::LeftButton, {}, file.center());
    QTest::keyClick(rig.w().detailsView(), Qt::Key_Menu);
    QVERIFY(openWithEnabled);
    QCOMPARE(rig.prompter->openedWith.size(), 1);
    QVERIFY(rig.prompter->openedWith.front().endsWith(QStringLiteral("README.TXT")));
}

void GuiFlowTest::tabMovesTheFocusBetweenTreeAndList()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    QApplication::setActiveWindow(&rig.w());
    rig.clickRow(0);
    QCOMPARE(rig.s().browse.treeFocus, false);
    QTest::keyClick(rig.w().detailsView(), Qt::Key_Tab);
    QCOMPARE(rig.s().browse.treeFocus, true);
    QTRY_VERIFY(rig.w().treeView(shell::LeftTree::Folders)->hasFocus());
    QTest::keyClick(rig.w().treeView(shell::LeftTree::Folders), Qt::Key_Tab);
    QCOMPARE(rig.s().browse.treeFocus, false);
    QTRY_VERIFY(rig.w().detailsView()->hasFocus());
}

void GuiFlowTest::viewStylesDriveInformationAndAbout()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.w().menuAction(shell::MenuItem::Icons)->trigger();
    QCOMPARE(rig.w().currentListView(), static_cast<QAbstractItemView*>(rig.w().iconView()));
    // The selection is shared by the three styles.
    const int readme = rig.row(QStringLiteral("README.TXT"));
    rig.w().iconView()->setCurrentIndex(rig.w().listModel()->index(readme, 0));
    QCOMPARE(rig.w().SelectedListRows(), std::vector<std::size_t>{static_cast<std::size_t>(readme)});
    rig.w().menuAction(shell::MenuItem::List)->trigger();
    QCOMPARE(rig.w().iconView()->flow(), QListView::TopToBottom);
    rig.w().menuAction(shell::MenuItem::Details)->trigger();
    QCOMPARE(rig.w().currentListView(), static_cast<QAbstractItemView*>(rig.w().detailsView()));
    QCOMPARE(rig.w().ListSelectionMark(), std::optional<std::size_t>(static_cast<std::size_t>(readme)));

    std::map<QString, QString> values;
    onNextDialog<gui::InfoDialog>([&values](gui::InfoDialog* dialog) {
        for (const char* label : {"File System", "Start Sector", "First FAT", "Second FAT", "MFT Start", "SPC"})
            values[QString::fromLatin1(label)] = dialog->value(QString::fromLatin1(label));
        dialog->accept();
    });
    rig.w().menuAction(shell::MenuItem::DriveInformation)->trigger();
    QCOMPARE(values[QStringLiteral("File System")], QStringLiteral("NTFS"));
    QCOMPARE(values[QStringLiteral("Start Sector")], QStringLiteral("2048"));
    QCOMPARE(values[QStringLiteral("First FAT")], QStringLiteral("N/A"));
    QCOMPARE(values[QStringLiteral("Second FAT")], QStringLiteral("N/A"));
    QVERIFY(!values[QStringLiteral("MFT Start")].isEmpty());

    QString about;
    onNextDialog<gui::AboutDialog>([&about](gui::AboutDialog* dialog) {
        about = dialog->text();
        dialog->accept();
    });
    rig.w().menuAction(shell::MenuItem::About)->trigger();
    QCOMPARE(about, QStringLiteral("Quorvel Dravik for NTFS Version 4.02"));

    rig.w().menuAction(shell::MenuItem::OpenLog)->trigger();
    QCOMPARE(rig.prompter->plainMessages, QStringList{gui::toQt(msg::kOpenLogText)});
}

void GuiFlowTest::noTableLeadsToTheQuickSearch()
{
    QTemporaryDir dir;
    const QString blank = dir.filePath(QStringLiteral("blank.img"));
    {
        QFile file(blank);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(4 * 1024 * 1024));
    }
    Rig rig(blank);
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(ctl::kNext);
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kNoPartitionsQuickSearch)));
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kNoPartitionStandard)));
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    QVERIFY(rig.w().control(ctl::kBack)->isVisible());
    QVERIFY(rig.w().control(ctl::kSearchPartitions)->isVisible());
    QVERIFY(!rig.w().control(ctl::kStop)->isVisible());
    QVERIFY(!rig.w().control(ctl::kProgress)->isVisible());
    QVERIFY(rig.w().treeView(shell::LeftTree::Partitions)->isEnabled());

    // The link runs it again.
    rig.prompter->messages.clear();
    rig.click(ctl::kSearchPartitions);
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kNoPartitionStandard)));
}

void GuiFlowTest::gptPartitionsInTheTreeAndBitLockerRefused()
{
    Rig rig(gui_test::fixture("gpt.img"));
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    const auto& list = rig.s().partitionList;
    QCOMPARE(list.partitionCount, 6u);
    const QStringList expected = {QStringLiteral("Partition 1 - EFI System"),
                                  QStringLiteral("Partition 2 - Microsoft Reserved"),
                                  QStringLiteral("Partition 3 - NTFS"),
                                  QStringLiteral("Partition 4 - NTFS"),
                                  QStringLiteral("Partition 5 - BitLocker"),
                                  QStringLiteral("Partition 6 - Linux")};
    const auto* tree = rig.w().treeModel(shell::LeftTree::Partitions);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(tree->text(list.records[static_cast<std::size_t>(i)].treeItem), expected[i]);

    rig.clickTree(shell::LeftTree::Partitions, list.records[4].treeItem);
    QCOMPARE(qobject_cast<QLabel*>(rig.w().control(ctl::PanelValueId(1)))->text(), QStringLiteral("BitLocker"));
    rig.click(ctl::kNext);
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kBitLockerPartition)));
    QCOMPARE(rig.s().wizard.wizardStep, 1);

    rig.clickTree(shell::LeftTree::Partitions, list.records[3].treeItem);
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 3);
    QVERIFY(rig.row(QStringLiteral("Photos")) >= 0);
}

void GuiFlowTest::stopAnsweredNoThenYesDuringAnAdvanceScan()
{
    // A sparse 2 GiB disk of zeros: long enough a sweep to be stopped, quick to read.
    QTemporaryDir dir;
    const QString blank = dir.filePath(QStringLiteral("large-blank.img"));
    {
        QFile file(blank);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64{2} * 1024 * 1024 * 1024));
    }
    Rig rig(blank);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(rig.w().control(ctl::kAdvanceScan)), Qt::LeftButton);
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());  // the quick search that an empty table starts
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kNoPartitionAdvance)));
    QCOMPARE(rig.w().ControlText(ctl::kStartSectorBox), std::string("0"));

    QCOMPARE(rig.w().ControlText(ctl::kFileSystemList), std::string("FAT32"));  // none listed
    qobject_cast<QComboBox*>(rig.w().control(ctl::kFileSystemList))->setCurrentIndex(shell::kFileSystemEntryNtfs);
    rig.click(ctl::kNext);
    QVERIFY(rig.w().workerRunning());
    QVERIFY(QTest::qWaitFor([&] { return rig.w().control(ctl::kStop)->isVisible(); }, 5000));
    QVERIFY(!rig.w().control(ctl::kBack)->isVisible());
    QVERIFY(!rig.w().control(ctl::kNext)->isVisible());

    rig.prompter->answers = {false};
    rig.click(ctl::kStop);
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kStopQuestion)));
    QVERIFY(rig.w().workerRunning());  // "&No" changes nothing

    rig.prompter->answers = {true};
    rig.click(ctl::kStop);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 2);
    QVERIFY(!rig.w().control(ctl::kStop)->isVisible());
    QVERIFY(rig.w().control(ctl::kBack)->isVisible());
    QVERIFY(!rig.w().control(ctl::kNext)->isVisible());  // nothing identified
}

void GuiFlowTest::snapshotSavedThenLoaded()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    QTemporaryDir dir;
    rig.prompter->saveName = dir.filePath(QStringLiteral("scan"));
    QTest::mouseClick(rig.w().toolButton(2), Qt::LeftButton);
    const QString saved = dir.filePath(QStringLiteral("scan.QDN"));
    QVERIFY(QFile::exists(saved));
    QCOMPARE(rig.prompter->filters.front(), gui::toQt(msg::kSnapshotPattern));

    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    QVERIFY(!rig.w().control(ctl::kList)->isVisible());
    rig.prompter->openNames = {saved};
    QTest::mouseClick(rig.w().toolButton(3), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 3);
    QVERIFY(rig.row(QStringLiteral("Documents")) >= 0);
    rig.enterFolder(QStringLiteral("Documents"));
    QVERIFY(rig.row(QStringLiteral("letter.txt")) >= 0);
}

void GuiFlowTest::advanceScanToTheMountedFileSystem()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QTest::mouseClick(qobject_cast<QAbstractButton*>(rig.w().control(ctl::kAdvanceScan)), Qt::LeftButton);
    QCOMPARE(rig.s().wizard.scanMethod, shell::kAdvanceScan);
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(ctl::kNext);
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    QVERIFY(rig.w().control(ctl::kFileSystemFrame)->isVisible());
    QCOMPARE(rig.w().ControlText(ctl::kFileSystemList), std::string("NTFS"));
    QCOMPARE(rig.w().ControlText(ctl::kStartSectorBox), std::string("2048"));

    // A range the checks refuse keeps the step.
    const std::string end = rig.w().ControlText(ctl::kEndSectorBox);
    rig.w().SetControlText(ctl::kEndSectorBox, "2048");
    rig.click(ctl::kNext);
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kEndBeforeStart)));
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    rig.w().SetControlText(ctl::kEndSectorBox, end);

    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 2);
    QVERIFY(rig.w().treeView(shell::LeftTree::FileSystems)->isVisible());
    QVERIFY(!rig.s().catalog.FileSystems().empty());
    rig.clickTree(shell::LeftTree::FileSystems, rig.s().catalog.FileSystems().front().key);
    QCOMPARE(qobject_cast<QLabel*>(rig.w().control(ctl::PanelValueId(1)))->text(), QStringLiteral("2048"));
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 3);
    QVERIFY(rig.row(QStringLiteral("Documents")) >= 0);

    // Back returns to the file-system list, then to the range.
    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 2);
    QVERIFY(rig.w().treeView(shell::LeftTree::FileSystems)->isVisible());
    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    QVERIFY(rig.w().control(ctl::kFileSystemFrame)->isVisible());
}

// The 3 TiB GPT disk whose NTFS partition starts at 2^32 + 2048, assembled sparse from the
// committed partition image and the sectors of both tables.
void GuiFlowTest::disksBeyond2TiBScannedAndSweptThere()
{
    constexpr qint64 kDiskSectors = 6442450944;
    constexpr qint64 kStart = 4294969344;
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("big.img"));
    {
        QFile disk(image);
        QVERIFY(disk.open(QIODevice::WriteOnly));
        if (!disk.resize(kDiskSectors * 512))
            QSKIP("no room for a sparse 3 TiB file");
        const auto put = [&disk](const char* part, qint64 sector) {
            QFile in(gui_test::fixture(part));
            return in.open(QIODevice::ReadOnly) && disk.seek(sector * 512) && disk.write(in.readAll()) == in.size();
        };
        QVERIFY(put("big_gpt.head.bin", 0));
        QVERIFY(put("big_gpt.part.img", kStart));
        QVERIFY(put("big_gpt.tail.bin", kDiskSectors - 33));
    }

    {
        Rig rig(image);
        rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
        rig.click(ctl::kNext);
        QVERIFY(rig.waitIdle());
        const auto& list = rig.s().partitionList;
        QCOMPARE(list.partitionCount, 1u);
        QCOMPARE(list.records[0].startSector, std::uint64_t{kStart});
        rig.clickTree(shell::LeftTree::Partitions, list.records[0].treeItem);
        rig.click(ctl::kNext);
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.s().wizard.wizardStep, 3);
        QVERIFY(rig.row(QStringLiteral("Far Away")) >= 0);
        QVERIFY(rig.row(QStringLiteral("big.bin")) >= 0);
    }

    // The Advance Scan: the range boxes hold the partition's 64-bit sectors, and its sweep mounts it.
    Rig rig(image);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(rig.w().control(ctl::kAdvanceScan)), Qt::LeftButton);
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.w().ControlText(ctl::kStartSectorBox), std::string("4294969344"));
    QCOMPARE(rig.w().ControlText(ctl::kEndSectorBox), std::string("4295002112"));
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 2);
    QVERIFY(!rig.s().catalog.FileSystems().empty());
    rig.clickTree(shell::LeftTree::FileSystems, rig.s().catalog.FileSystems().front().key);
    QCOMPARE(qobject_cast<QLabel*>(rig.w().control(ctl::PanelValueId(1)))->text(), QStringLiteral("4294969344"));
    rig.click(ctl::kNext);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.s().wizard.wizardStep, 3);
    QVERIFY(rig.row(QStringLiteral("Far Away")) >= 0);
}

void GuiFlowTest::backTwiceThenTheCloseBox()
{
    Rig rig(gui_test::fixture("ntfs_basic.img"));
    QVERIFY(rig.toBrowseStep());
    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    QVERIFY(rig.w().treeView(shell::LeftTree::Partitions)->isVisible());
    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 0);
    QVERIFY(rig.w().treeView(shell::LeftTree::Drives)->isVisible());
    QVERIFY(rig.w().control(ctl::kStandardScan)->isVisible());

    // F1 looks for the help file in the start-up folder.
    QTest::keyClick(rig.w().treeView(shell::LeftTree::Drives), Qt::Key_F1);
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kHelpFileMissing)));

    // "E&xit..." answered "&No" leaves everything as it was.
    rig.prompter->answers = {false};
    rig.w().menuAction(shell::MenuItem::Exit)->trigger();
    QVERIFY(rig.prompter->sawMessage(gui::toQt(msg::kExitQuestion)));
    QVERIFY(rig.w().isVisible());
    QCOMPARE(rig.s().wizard.wizardStep, 0);
    rig.prompter->messages.clear();

    // Escape never closes the window; the close box asks first.
    QTest::keyClick(&rig.w(), Qt::Key_Escape);
    QVERIFY(rig.w().isVisible());
    rig.prompter->answers = {false};
    rig.w().close();
    QVERIFY(QTest::qWaitFor([&] { return rig.prompter->sawMessage(gui::toQt(msg::kExitQuestion)); }, 2000));
    QVERIFY(rig.w().isVisible());
    rig.prompter->answers = {true};
    rig.w().close();
    QVERIFY(QTest::qWaitFor([&] { return !rig.w().isVisible(); }, 2000));
}

QTEST_MAIN(GuiFlowTest)
#include "gui_flow_test.moc"

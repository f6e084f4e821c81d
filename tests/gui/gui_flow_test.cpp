// Whole flows through the real main window, offscreen, on the ntfs_basic fixture: Standard Scan
// to the browse step, folders entered by double-click and by tree click, rename then recover
// (checked by sha256), Recover All under each duplicate policy, filters, find files, snapshot
// save and load, Advance Scan to the mounted file system, Back twice and the close box.
#include <QApplication>
#include <QButtonGroup>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <map>

#include "core/messages.h"
#include "gui/dialogs/file_filters_dialog.h"
#include "gui/dialogs/find_files_dialog.h"
#include "gui/dialogs/recovery_settings_dialog.h"
#include "gui/models/left_tree_model.h"
#include "gui/models/list_model.h"
#include "gui/qt_text.h"
#include "gui/wizard_app.h"
#include "scripted_prompter.h"
#include "shell/window_changes.h"

using gui_test::ScriptedPrompter;
namespace ctl = shell::ctl;
namespace msg = core::msg;

namespace {

constexpr int kWorkerTimeoutMs = 120000;

QString fixture(const char* name)
{
    return QStringLiteral(DRAVIK_FIXTURE_DIR "/") + QString::fromLatin1(name);
}

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

// The window, its session and the scripted prompter, started on one fixture image with the
// machine's own disks left out.
struct Rig
{
    explicit Rig(const char* image = "ntfs_basic.img") : app({fixture(image).toStdString()})
    {
        app.session().discoveryRoots.sysBlock = std::filesystem::path();
        auto owned = std::make_unique<ScriptedPrompter>();
        prompter = owned.get();
        app.window().setPrompter(std::move(owned));
        app.window().show();
        started = app.start();
    }

    gui::MainWindow& w() { return app.window(); }
    shell::Session& s() { return app.session(); }

    void click(int id) { QTest::mouseClick(qobject_cast<QAbstractButton*>(w().control(id)), Qt::LeftButton); }

    void clickTree(shell::LeftTree tree, core::TreeItemId item)
    {
        QTreeView* view = w().treeView(tree);
        const QModelIndex index = w().treeModel(tree)->indexForId(item);
        QVERIFY(index.isValid());
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

    int row(const QString& name)
    {
        const auto& rows = w().listModel()->rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (gui::fromLatin1(rows[i].name) == name)
                return static_cast<int>(i);
        }
        return -1;
    }

    QRect rowRect(int r)
    {
        QTreeView* view = w().detailsView();
        const QModelIndex index = w().listModel()->index(r, 0);
        view->scrollTo(index);
        return view->visualRect(index);
    }

    void clickRow(int r) { QTest::mouseClick(w().detailsView()->viewport(), Qt::LeftButton, {}, rowRect(r).center()); }
    void doubleClickRow(int r)
    {
        clickRow(r);
        QTest::mouseDClick(w().detailsView()->viewport(), Qt::LeftButton, {}, rowRect(r).center());
    }

    bool waitIdle()
    {
        return QTest::qWaitFor([this] { return !w().workerRunning() && !w().saveProgressDialog(); }, kWorkerTimeoutMs);
    }

    // Drive 0, Next, its first partition, Next, and the Standard Scan to its end.
    bool toBrowseStep()
    {
        clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
        click(ctl::kNext);
        if (s().wizard.wizardStep != 1 || s().partitionList.partitionCount == 0)
            return false;
        clickTree(shell::LeftTree::Partitions, s().partitionList.records[0].treeItem);
        click(ctl::kNext);
        return waitIdle() && s().wizard.wizardStep == 3;
    }

    void enterFolder(const QString& name) { doubleClickRow(row(name)); }

    gui::WizardApp app;
    ScriptedPrompter* prompter = nullptr;
    bool started = false;
};

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
    void renameThenRecoverSelected();
    void recoverAllUnderEachDuplicatePolicy();
    void filtersChangeTheList();
    void findFilesListsHitsWithTheirPaths();
    void snapshotSavedThenLoaded();
    void advanceScanToTheMountedFileSystem();
    void backTwiceThenTheCloseBox();
};

void GuiFlowTest::standardScanToTheBrowseStep()
{
    Rig rig;
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
    QCOMPARE(rig.w().listModel()->columnCount(), 6);
    QVERIFY(rig.row(QStringLiteral("Documents")) >= 0);
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);
    // Menu state 3: recovery offered, loading greyed; the tool buttons follow.
    QVERIFY(rig.w().menuAction(shell::MenuItem::RecoverAll)->isEnabled());
    QVERIFY(!rig.w().menuAction(shell::MenuItem::LoadSnapshot)->isEnabled());
    QVERIFY(rig.w().control(ctl::kBack)->isVisible());
    QVERIFY(!rig.w().control(ctl::kStop)->isVisible());
}

void GuiFlowTest::foldersByDoubleClickAndByTreeClick()
{
    Rig rig;
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

    // A click on the tree's root lists the root again.
    rig.clickTree(shell::LeftTree::Folders, rig.w().treeModel(shell::LeftTree::Folders)->rootId());
    QVERIFY(rig.row(QStringLiteral("README.TXT")) >= 0);
    QCOMPARE(rig.s().browse.treeFocus, true);

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
    Rig rig;
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
    QVERIFY(rig.waitIdle());
    QVERIFY(QFile::exists(out.filePath(QStringLiteral("b.txt"))));
    QVERIFY(!QFile::exists(out.filePath(QStringLiteral("letter.txt"))));
    QCOMPARE(sha256Of(out.filePath(QStringLiteral("b.txt"))), manifestHashes()[QStringLiteral("Documents/letter.txt")]);
}

void GuiFlowTest::recoverAllUnderEachDuplicatePolicy()
{
    Rig rig;
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

void GuiFlowTest::filtersChangeTheList()
{
    Rig rig;
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
    Rig rig;
    QVERIFY(rig.toBrowseStep());
    bool checked = false;
    onNextDialog<gui::FindFilesDialog>([&checked](gui::FindFilesDialog* dialog) {
        QVERIFY(!dialog->stopButton()->isEnabled());
        QTest::keyClicks(dialog->patternEdit(), QStringLiteral("letter"));
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([dialog] { return dialog->startButton()->isEnabled(); }, kWorkerTimeoutMs));
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

void GuiFlowTest::snapshotSavedThenLoaded()
{
    Rig rig;
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
    Rig rig;
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

void GuiFlowTest::backTwiceThenTheCloseBox()
{
    Rig rig;
    QVERIFY(rig.toBrowseStep());
    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 1);
    QVERIFY(rig.w().treeView(shell::LeftTree::Partitions)->isVisible());
    rig.click(ctl::kBack);
    QCOMPARE(rig.s().wizard.wizardStep, 0);
    QVERIFY(rig.w().treeView(shell::LeftTree::Drives)->isVisible());
    QVERIFY(rig.w().control(ctl::kStandardScan)->isVisible());

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

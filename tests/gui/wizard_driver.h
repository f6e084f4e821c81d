// Drives the real main window the way a user does (clicks on trees, buttons and list rows), with
// a scripted prompter answering its questions. Shared by the GUI tests, the screenshot tool and
// the responsiveness benchmark.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTreeView>

#include "gui/models/left_tree_model.h"
#include "gui/models/list_model.h"
#include "gui/qt_text.h"
#include "gui/wizard_app.h"
#include "scripted_prompter.h"
#include "shell/window_changes.h"

namespace gui_test {

namespace ctl = shell::ctl;

inline constexpr int kWorkerTimeoutMs = 600000;

#ifdef DRAVIK_FIXTURE_DIR
inline QString fixture(const char* name)
{
    return QStringLiteral(DRAVIK_FIXTURE_DIR "/") + QString::fromLatin1(name);
}
#endif

// The window, its session and the scripted prompter, started on one disk image with the
// machine's own disks left out.
struct Rig
{
    explicit Rig(const QString& image) : app({image.toStdString()})
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
        if (!index.isValid())
            return;
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

    // The view row showing the entry named `name` (the listing's row until a column is sorted); -1 when none.
    int row(const QString& name)
    {
        const auto& rows = w().listModel()->rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (gui::toQt(rows[i].name) == name)
                return w().listModel()->viewRow(static_cast<int>(i));  // where the view shows it
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

}  // namespace gui_test

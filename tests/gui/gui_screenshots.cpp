// Walks the wizard on a disk image offscreen and writes a picture of each step:
//   gui_screenshots IMAGE OUT_DIR
// Used by tools/screenshots.sh; not a test.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "core/messages.h"
#include "gui/dialogs/message_box.h"
#include "gui/dialogs/recovery_settings_dialog.h"
#include "gui/formatted_tips.h"
#include "wizard_driver.h"

namespace {

bool save(QWidget& widget, const QString& dir, const char* name)
{
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: gui_screenshots IMAGE OUT_DIR\n");
        return 1;
    }
    const QString image = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);

    gui_test::Rig rig(image);
    if (!rig.started)
        return 1;
    rig.w().resize(1000, 700);
    bool ok = true;

    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    ok &= save(rig.w(), out, "1-drive-step");

    rig.click(gui_test::ctl::kNext);
    if (rig.s().partitionList.partitionCount > 0)
        rig.clickTree(shell::LeftTree::Partitions, rig.s().partitionList.records[0].treeItem);
    ok &= save(rig.w(), out, "2-partition-step");

    rig.click(gui_test::ctl::kNext);
    if (!rig.waitIdle())
        return 1;
    ok &= save(rig.w(), out, "3-browse-step");

    const int documents = rig.row(QStringLiteral("Documents"));
    if (documents >= 0)
        rig.enterFolder(QStringLiteral("Documents"));
    rig.w().SetListStyle(shell::ListStyle::Icons);
    ok &= save(rig.w(), out, "4-browse-icons");
    rig.w().SetListStyle(shell::ListStyle::Details);

    // Details with deleted entries greyed, the Recoverable column, the status line and the preview
    // of a file (a deleted one where the folder has one).
    rig.w().resize(1250, 700);
    rig.w().previewAction()->trigger();
    int pick = -1;
    const auto& rows = rig.w().listModel()->rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].folder && (pick < 0 || rows[i].deleted))
            pick = static_cast<int>(i);
        if (pick >= 0 && rows[static_cast<std::size_t>(pick)].deleted)
            break;
    }
    if (pick >= 0) {
        rig.clickRow(rig.w().listModel()->viewRow(pick));
        QElapsedTimer waited;
        waited.start();
        while (rig.w().previewPending() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ok &= save(rig.w(), out, "10-browse-preview");
    rig.w().previewAction()->trigger();
    rig.w().resize(1000, 700);

    // Back to the drive step, then the Advance Scan over the first partition's range.
    rig.click(gui_test::ctl::kBack);
    rig.click(gui_test::ctl::kBack);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(rig.w().control(gui_test::ctl::kAdvanceScan)), Qt::LeftButton);
    rig.clickTree(shell::LeftTree::Drives, shell::DriveItemId(0));
    rig.click(gui_test::ctl::kNext);
    ok &= save(rig.w(), out, "5-advance-range");
    rig.click(gui_test::ctl::kNext);
    if (!rig.waitIdle())
        return 1;
    if (!rig.s().catalog.FileSystems().empty())
        rig.clickTree(shell::LeftTree::FileSystems, rig.s().catalog.FileSystems().front().key);
    ok &= save(rig.w(), out, "6-file-systems");

    gui::MessageBox box(gui::toQt(core::msg::kStandardScanDone), gui::MessageKind::Information, &rig.w());
    box.show();
    ok &= save(box, out, "7-message-box");
    box.hide();

    recovery::SettingsChoice choice;
    choice.sectorsIndex = 59;
    choice.retriesIndex = 2;
    choice.duplicate = recovery::DuplicatePolicy::Rename;
    choice.deleted = recovery::DeletedPolicy::Include;
    gui::RecoverySettingsDialog settings(choice, &rig.w());
    settings.show();
    ok &= save(settings, out, "8-recovery-settings");
    settings.hide();

    // The scan-type tip as its help icon shows it.
    QLabel tip(gui::scanTypeTip());
    tip.setForegroundRole(QPalette::ToolTipText);
    tip.setBackgroundRole(QPalette::ToolTipBase);
    tip.setAutoFillBackground(true);
    tip.setMargin(6);
    tip.show();
    ok &= save(tip, out, "9-scan-type-tip");
    return ok ? 0 : 1;
}

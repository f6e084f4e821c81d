// The wiring between the window's signals and the shell.
#include "gui/wizard_app.h"

#include <QMessageBox>

#include "core/messages.h"
#include "gui/qt_text.h"
#include "platform/elevation.h"
#include "platform/shared_library.h"

namespace gui {

WizardApp::WizardApp(std::vector<std::string> images)
    : m_session(std::make_unique<shell::Session>()), m_window(std::make_unique<MainWindow>())
{
    m_session->images = std::move(images);
    m_session->elevationProgram = platform::ElevationProgram();
    m_session->programPath = platform::ExecutablePath();
    m_wizard = std::make_unique<shell::Wizard>(*m_session, *m_window);
    m_commands = std::make_unique<shell::BrowseCommands>(*m_session, *m_window, *m_wizard);
    connectWindow();
}

WizardApp::~WizardApp() = default;

bool WizardApp::start()
{
    if (m_wizard->Start() == shell::Wizard::StartOutcome::LibraryFatal) {
        QMessageBox::critical(nullptr, toQt(core::msg::kAppCaption), toQt(m_wizard->FatalText()));
        return false;
    }
    return true;
}

void WizardApp::connectWindow()
{
    MainWindow* w = m_window.get();
    shell::Wizard* wizard = m_wizard.get();
    shell::BrowseCommands* commands = m_commands.get();

    QObject::connect(w, &MainWindow::nextClicked, w, [wizard] { wizard->Next(); });
    QObject::connect(w, &MainWindow::backClicked, w, [wizard] { wizard->Back(); });
    QObject::connect(w, &MainWindow::stopClicked, w, [wizard] { wizard->Stop(); });
    QObject::connect(w, &MainWindow::searchPartitionsClicked, w, [wizard] { wizard->SearchPartitions(); });
    QObject::connect(w, &MainWindow::scanMethodChosen, w, [wizard](int method) {
        if (method == shell::kAdvanceScan)
            wizard->ChooseAdvanceScan();
        else
            wizard->ChooseStandardScan();
    });
    QObject::connect(w, &MainWindow::closeRequested, w, [w, wizard] {
        if (wizard->ConfirmClose())
            w->acceptClose();
    });

    // The preview reads the file of a listing row as the Open command does: the record at its ID,
    // through the session's disk and $MFT map. FAT files are not previewed.
    w->setPreviewPreparer([session = m_session.get()](std::size_t row, std::uint64_t cap) -> MainWindow::PreviewReader {
        if (row >= session->browse.rows.size() || session->catalog.volumeParams.type != core::kFsNtfs)
            return {};
        const ntfs::ListRow& r = session->browse.rows[row];
        if (r.folder)
            return {};
        const catalog::VolumeParams& v = session->catalog.volumeParams;
        const recovery::ClusterGeometry geometry{v.clusterBase, v.sectorsPerCluster, v.endSector};
        const ntfs::MftRunTable* map = session->mftRunTable.Count() != 0 ? &session->mftRunTable : nullptr;
        const core::Sector sector = std::strtoull(r.id.c_str(), nullptr, 10);
        return [disk = &session->disk, sector, size = r.sizeBytes, geometry, map, cap] {
            return recovery::ReadNtfsPreview(*disk, sector, size, geometry, map, cap);
        };
    });

    QObject::connect(w, &MainWindow::treeItemClicked, w,
                     [commands](shell::LeftTree tree, core::TreeItemId item) { commands->OnTreeClick(tree, item); });
    QObject::connect(w, &MainWindow::listClicked, w, [commands] { commands->OnListClick(); });
    QObject::connect(w, &MainWindow::listActivated, w, [commands](int) { commands->OnListDoubleClick(); });
    QObject::connect(w, &MainWindow::listContextMenuRequested, w, [commands] { commands->OnListRightClick(); });
    QObject::connect(w, &MainWindow::renameEnded, w, [commands](int, const QString& text, bool accepted) {
        commands->EndRename(accepted ? std::optional<std::string>(toUtf8(text)) : std::nullopt);
    });
    QObject::connect(w, &MainWindow::menuTriggered, w, [commands](shell::MenuItem item) { commands->Command(item); });
    QObject::connect(w, &MainWindow::toolButtonClicked, w, [commands](int button) { commands->ToolButton(button); });
    w->setKeyHandler([commands](shell::Key key) { return commands->OnKey(key); });
}

}  // namespace gui

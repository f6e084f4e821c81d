// The main window: construction, the controls by layout id, messages, workers, dialogs and the
// desktop hand-offs of the window port, and the keys of the browse step.
#include "gui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>

#include "core/messages.h"
#include "gui/app_icons.h"
#include "gui/dialogs/about_dialog.h"
#include "gui/dialogs/drive_information_dialog.h"
#include "gui/dialogs/file_filters_dialog.h"
#include "gui/dialogs/find_files_dialog.h"
#include "gui/dialogs/properties_dialog.h"
#include "gui/dialogs/recovery_settings_dialog.h"
#include "gui/dialogs/save_progress_dialog.h"
#include "gui/models/left_tree_model.h"
#include "gui/models/list_model.h"
#include "gui/qt_text.h"
#include "platform/temp_folder.h"

namespace gui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_prompter(std::make_unique<Prompter>())
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(toQt(core::msg::kAppCaption));
    setWindowIcon(applicationIcon());
    buildMenus();
    buildToolBar();
    buildLayout();
    buildContextMenu();

    // The worker's values land where the shell's own texts do, so ControlText reads them back.
    connect(&m_bridge, &ProgressBridge::statusChanged, this,
            [this](const QString& text) { setLabelText(shell::ctl::kStatus, text); });
    connect(&m_bridge, &ProgressBridge::progressChanged, this, [this](int percent) { SetProgressPosition(percent); });
    connect(&m_bridge, &ProgressBridge::rateChanged, this, [this](const QString& text) {
        m_rate->setText(text);
        m_rate->setVisible(!text.isEmpty());
    });
    connect(&m_bridge, &ProgressBridge::panelValueChanged, this,
            [this](int row, const QString& text) { setLabelText(shell::ctl::PanelValueId(row), text); });
    connect(&m_bridge, &ProgressBridge::outOfMemory, this, [this] {
        MessageBox(core::msg::kOutOfMemory, shell::MessageKind::Error);
        std::_Exit(0);
    });

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        if (m_keyHandler)
            m_keyHandler(shell::Key::F1);
    });

    const QSize available = screen() ? screen()->availableSize() : QSize(1280, 800);
    const int em = fontMetrics().averageCharWidth();
    resize(std::min(available.width() * 9 / 10, em * 140), std::min(available.height() * 9 / 10, em * 95));
    setMinimumSize(em * 70, em * 50);
}

MainWindow::~MainWindow()
{
    // The views go before the members their models read (the file types, the bridge).
    disconnect(&m_bridge, nullptr, this, nullptr);
    if (m_previewThread.joinable())
        m_previewThread.join();
    delete takeCentralWidget();
}

void MainWindow::setPrompter(std::unique_ptr<Prompter> prompter)
{
    m_prompter = std::move(prompter);
}

QWidget* MainWindow::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void MainWindow::SetControlText(int id, std::string_view text)
{
    setLabelText(id, toQt(text));
}

void MainWindow::setLabelText(int id, const QString& raw)
{
    QWidget* widget = control(id);
    if (!widget)
        return;
    m_rawTexts[id] = raw;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(raw);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        QString shown = raw;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(raw);
    }
}

std::string MainWindow::ControlText(int id) const
{
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return toUtf8(edit->text());
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return toUtf8(combo->currentText());
    const auto it = m_rawTexts.find(id);
    if (it != m_rawTexts.end())
        return toUtf8(it->second);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return toUtf8(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return toUtf8(button->text());
    return {};
}

void MainWindow::ShowControl(int id, bool visible)
{
    QWidget* widget = control(id);
    if (!widget)
        return;
    widget->setVisible(visible);
    if (widget->parentWidget() != m_panel)
        return;
    bool anyRow = false;
    for (int row = 1; row <= shell::ctl::kPanelRows; ++row)
        anyRow = anyRow || !control(shell::ctl::PanelLabelId(row))->isHidden();
    m_panel->setVisible(anyRow);
}

void MainWindow::EnableControl(int id, bool enabled)
{
    if (QWidget* widget = control(id))
        widget->setEnabled(enabled);
}

void MainWindow::CheckControl(int id, bool checked)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control(id)))
        button->setChecked(checked);
}

void MainWindow::SelectListEntry(int id, int index)
{
    if (auto* combo = qobject_cast<QComboBox*>(control(id)))
        combo->setCurrentIndex(index);
}

int MainWindow::SelectedListEntry(int id) const
{
    auto* combo = qobject_cast<QComboBox*>(control(id));
    return combo ? combo->currentIndex() : -1;
}

void MainWindow::SetProgressPosition(int percent)
{
    m_progress->setValue(std::clamp(percent, 0, 100));
}

void MainWindow::SetMenuItemEnabled(shell::MenuItem item, bool enabled)
{
    menuAction(item)->setEnabled(enabled);
    // The context menu's commands follow their menu items.
    switch (item) {
    case shell::MenuItem::RecoverSelected:
        contextAction(shell::ContextItem::RecoverSelected)->setEnabled(enabled);
        break;
    case shell::MenuItem::RecoverAll:
        contextAction(shell::ContextItem::RecoverAll)->setEnabled(enabled);
        break;
    case shell::MenuItem::FindFiles:
        contextAction(shell::ContextItem::FindFiles)->setEnabled(enabled);
        break;
    case shell::MenuItem::Settings:
        contextAction(shell::ContextItem::Settings)->setEnabled(enabled);
        break;
    default:
        break;
    }
}

shell::Answer MainWindow::MessageBox(std::string_view text, shell::MessageKind kind)
{
    const bool yes = m_prompter->message(this, toQt(text), messageKindFromInt(static_cast<int>(kind)));
    if (kind != shell::MessageKind::Question)
        return shell::Answer::Ok;
    return yes ? shell::Answer::Yes : shell::Answer::No;
}

shell::Answer MainWindow::AskFromWorker(std::string_view text, shell::MessageKind kind)
{
    shell::Answer answer = shell::Answer::Ok;
    const std::string copy(text);
    m_bridge.runOnGuiThread([&] { answer = MessageBox(copy, kind); });
    return answer;
}

void MainWindow::ShowPlainMessage(std::string_view text)
{
    m_prompter->plainMessage(this, toQt(text));
}

shell::BatchSummaryChoice MainWindow::OfferReport(std::string_view summary)
{
    return m_prompter->offerReport(this, toQt(summary));
}

void MainWindow::StartWorker(std::function<void()> work, std::function<void()> onEnd)
{
    m_bridge.start(std::move(work), std::move(onEnd));
}

void MainWindow::ChangeFromWorker(const std::function<void()>& change)
{
    m_bridge.runOnGuiThread(change);
}

core::ProgressSink& MainWindow::WorkerSink()
{
    return m_bridge;
}

std::optional<std::filesystem::path> MainWindow::ChooseFolder()
{
    const QString folder = m_prompter->existingDirectory(this, QStringLiteral("Select the folder to save the data"));
    if (folder.isEmpty())
        return std::nullopt;
    return std::filesystem::path(folder.toStdString());
}

std::optional<std::string> MainWindow::AskSaveFileName(std::string_view pattern)
{
    const QString name = m_prompter->saveFileName(this, toQt(core::msg::kMenuSaveSnapshot).remove(QLatin1Char('&')),
                                                  toQt(pattern));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> MainWindow::AskReportFileName()
{
    const QString name = m_prompter->reportFileName(this, toQt(core::msg::kSaveReport), toQt(core::msg::kReportPattern));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> MainWindow::AskOpenFileName(std::string_view pattern)
{
    // One port call serves both open dialogs; the disk-image one is told by its file types.
    const std::string_view caption =
        pattern == core::msg::kDiskImagePatterns ? core::msg::kOpenDiskImage : core::msg::kMenuLoadSnapshot;
    const QStringList names = m_prompter->openFileNames(this, toQt(caption).remove(QLatin1Char('&')), toQt(pattern));
    if (names.isEmpty())
        return std::nullopt;
    return names.last().toStdString();
}

std::optional<recovery::SettingsChoice> MainWindow::AskRecoverySettings(const recovery::SettingsChoice& current)
{
    RecoverySettingsDialog dialog(current, this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

void MainWindow::ShowProperties(const shell::PropertiesInfo& info)
{
    PropertiesDialog dialog(info, this);
    dialog.exec();
}

void MainWindow::ShowDriveInformation(const shell::DriveInformation& info)
{
    DriveInformationDialog dialog(info, this);
    dialog.exec();
}

void MainWindow::ShowAbout(std::string_view text)
{
    AboutDialog dialog(toQt(text), this);
    dialog.exec();
}

core::ProgressSink& MainWindow::OpenSaveProgress(recovery::RecoveryState& state)
{
    if (m_saveProgress)
        m_saveProgress->deleteLater();
    m_saveProgress = new SaveProgressDialog(state, this);
    m_saveProgress->open();
    return m_saveProgress->sink();
}

void MainWindow::CloseSaveProgress()
{
    if (!m_saveProgress)
        return;
    m_saveProgress->finish();
    m_saveProgress->deleteLater();
    m_saveProgress = nullptr;
}

bool MainWindow::OpenWithDefaultApplication(const std::filesystem::path& file)
{
    return m_prompter->openFile(QString::fromStdString(file.string()));
}

void MainWindow::OpenWithChooser(const std::filesystem::path& file)
{
    m_prompter->openWith(this, QString::fromStdString(file.string()));
}

bool MainWindow::OpenHelpFile(const std::filesystem::path& file)
{
    return m_prompter->openFile(QString::fromStdString(file.string()));
}

bool MainWindow::StartProgram(const std::filesystem::path& program, std::string_view parameter)
{
    return QProcess::startDetached(QString::fromStdString(program.string()), {toQt(parameter)});
}

bool MainWindow::StartDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i)
        arguments.push_back(QString::fromStdString(argv[i]));
    return QProcess::startDetached(QString::fromStdString(argv.front()), arguments);
}

void MainWindow::EndProgram()
{
    std::fflush(nullptr);
    platform::RemoveTemporaryFolder();
    std::_Exit(0);
}

void MainWindow::acceptClose()
{
    m_closeAccepted = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closeAccepted) {
        event->accept();
        return;
    }
    event->ignore();
    // Asked after this event returns, so the question is not nested in the close handling.
    QMetaObject::invokeMethod(this, &MainWindow::closeRequested, Qt::QueuedConnection);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape never closes the main window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A left click beside every item of a tree reaches the shell as item 0.
    if (event->type() == QEvent::MouseButtonRelease) {
        for (std::size_t i = 0; i < m_trees.size(); ++i) {
            if (watched != m_trees[i]->viewport())
                continue;
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && !m_trees[i]->indexAt(mouse->position().toPoint()).isValid())
                Q_EMIT treeItemClicked(static_cast<shell::LeftTree>(i), 0);
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyRelease)
        m_treeKeyMove = false;
    if (event->type() != QEvent::KeyPress || !m_keyHandler)
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool fromList = watched == m_details || watched == m_icons;
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        m_treeKeyMove = !fromList;
        return QMainWindow::eventFilter(watched, event);
    default:
        break;
    }
    switch (key->key()) {
    case Qt::Key_Tab:
        if (key->modifiers() == Qt::NoModifier)
            return m_keyHandler(shell::Key::Tab);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter never reaches a default button; an open rename editor gets it before this filter.
        m_keyHandler(shell::Key::Enter);
        return true;
    case Qt::Key_F2:
        if (fromList)
            return m_keyHandler(shell::Key::F2);
        break;
    case Qt::Key_Menu:
        if (fromList) {
            QAbstractItemView* view = currentListView();
            const QRect at = view->visualRect(view->currentIndex());
            m_contextPos = view->viewport()->mapToGlobal(at.center());
            return m_keyHandler(shell::Key::ContextMenu);
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::RunFiltersDialog(shell::FileFiltersDialog& logic)
{
    FileFiltersDialog dialog(logic, this);
    dialog.exec();
}

void MainWindow::RunFindDialog(shell::FindFilesDialog& logic)
{
    FindFilesDialog dialog(logic, m_fileTypes, this);
    dialog.exec();
}

}  // namespace gui

// Menus, the seven tool buttons and the list's context menu. Every command leaves the window as
// menuTriggered / contextTriggered; a tool button acts only while its menu item is enabled.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "core/messages.h"
#include "gui/file_types.h"
#include "gui/main_window.h"
#include "gui/preview_pane.h"
#include "gui/models/list_model.h"
#include "gui/qt_text.h"

namespace gui {

using shell::ContextItem;
using shell::MenuItem;

QAction* MainWindow::addMenuAction(QMenu* menu, const QString& text, MenuItem item)
{
    QAction* action = menu->addAction(text);
    m_menuActions[static_cast<std::size_t>(item)] = action;
    connect(action, &QAction::triggered, this, [this, item] { Q_EMIT menuTriggered(item); });
    return action;
}

void MainWindow::buildMenus()
{
    namespace msg = core::msg;
    QMenu* recovery = menuBar()->addMenu(toQt(msg::kMenuRecovery));
    addMenuAction(recovery, toQt(msg::kOpenDiskImage), MenuItem::OpenDiskImage);
    recovery->addSeparator();
    addMenuAction(recovery, toQt(msg::kMenuRecoverSelected), MenuItem::RecoverSelected);
    addMenuAction(recovery, toQt(msg::kMenuRecoverAll), MenuItem::RecoverAll);
    addMenuAction(recovery, toQt(msg::kSaveReport), MenuItem::SaveReport);
    recovery->addSeparator();
    addMenuAction(recovery, toQt(msg::kMenuSaveSnapshot), MenuItem::SaveSnapshot);
    addMenuAction(recovery, toQt(msg::kMenuLoadSnapshot), MenuItem::LoadSnapshot);
    recovery->addSeparator();
    addMenuAction(recovery, toQt(msg::kMenuExit), MenuItem::Exit);

    QMenu* view = menuBar()->addMenu(toQt(msg::kMenuView));
    auto* styles = new QActionGroup(this);
    for (auto [text, item] : {std::pair{msg::kMenuIcons, MenuItem::Icons}, std::pair{msg::kMenuList, MenuItem::List},
                              std::pair{msg::kMenuDetails, MenuItem::Details}}) {
        QAction* action = addMenuAction(view, toQt(text), item);
        action->setCheckable(true);
        styles->addAction(action);
    }
    menuAction(MenuItem::Details)->setChecked(true);
    view->addSeparator();
    m_previewAction = view->addAction(toQt(msg::kMenuPreview));
    m_previewAction->setObjectName(QStringLiteral("previewAction"));
    m_previewAction->setCheckable(true);
    m_previewAction->setChecked(false);
    connect(m_previewAction, &QAction::toggled, this, [this](bool on) {
        m_preview->setVisible(on);
        requestPreview();
    });

    QMenu* tools = menuBar()->addMenu(toQt(msg::kMenuTools));
    addMenuAction(tools, toQt(msg::kMenuFindFiles), MenuItem::FindFiles);
    addMenuAction(tools, toQt(msg::kMenuFileFilters), MenuItem::FileFilters);
    addMenuAction(tools, toQt(msg::kMenuSettings), MenuItem::Settings);
    tools->addSeparator();
    addMenuAction(tools, toQt(msg::kMenuOpenLog), MenuItem::OpenLog);
    addMenuAction(tools, toQt(msg::kMenuDriveInformation), MenuItem::DriveInformation);
    addMenuAction(tools, toQt(msg::kMenuLiveUpdate), MenuItem::LiveUpdate);

    QMenu* help = menuBar()->addMenu(toQt(msg::kMenuHelp));
    addMenuAction(help, toQt(msg::kMenuContents), MenuItem::Contents);
    help->addSeparator();
    addMenuAction(help, toQt(msg::kMenuAbout), MenuItem::About);

    // The menu resource's initial state: recovery, snapshots, view, find, filters, drive
    // information and the report of a batch greyed; the rest enabled.
    for (MenuItem item : {MenuItem::RecoverSelected, MenuItem::RecoverAll, MenuItem::SaveSnapshot,
                          MenuItem::LoadSnapshot, MenuItem::Icons, MenuItem::List, MenuItem::Details,
                          MenuItem::FindFiles, MenuItem::FileFilters, MenuItem::DriveInformation,
                          MenuItem::SaveReport})
        menuAction(item)->setEnabled(false);
}

void MainWindow::buildToolBar()
{
    namespace msg = core::msg;
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int extent = style()->pixelMetric(QStyle::PM_ToolBarIconSize);
    bar->setIconSize(QSize(extent, extent));

    struct Button
    {
        MenuItem item;
        std::string_view tip;
        const char* icon;
        const char* fallbackIcon;
        QStyle::StandardPixmap standard;
    };
    const Button buttons[] = {
        {MenuItem::RecoverSelected, msg::kTipRecoverSelected, "document-save", "document-save", QStyle::SP_DialogSaveButton},
        {MenuItem::RecoverAll, msg::kTipRecoverAll, "document-save-all", "document-save-as", QStyle::SP_DriveFDIcon},
        {MenuItem::SaveSnapshot, msg::kTipSaveSnapshot, "document-export", "camera-photo", QStyle::SP_FileDialogListView},
        {MenuItem::LoadSnapshot, msg::kTipLoadSnapshot, "document-open", "document-import", QStyle::SP_DialogOpenButton},
        {MenuItem::FindFiles, msg::kTipFindFiles, "edit-find", "system-search", QStyle::SP_FileDialogContentsView},
        {MenuItem::Settings, msg::kTipSettings, "configure", "preferences-system", QStyle::SP_FileDialogDetailedView},
        {MenuItem::LiveUpdate, msg::kTipLiveUpdate, "system-software-update", "view-refresh", QStyle::SP_BrowserReload},
    };
    int index = 0;
    for (const Button& b : buttons) {
        QIcon icon = QIcon::fromTheme(QString::fromLatin1(b.icon), QIcon::fromTheme(QString::fromLatin1(b.fallbackIcon)));
        if (icon.isNull())
            icon = style()->standardIcon(b.standard);
        QAction* menu = menuAction(b.item);
        menu->setIcon(icon);
        auto* button = new QToolButton(bar);
        button->setObjectName(QStringLiteral("toolButton%1").arg(1049 + index));
        button->setIcon(icon);
        button->setToolTip(toQt(b.tip));
        button->setAutoRaise(true);
        const int number = index + 1;
        connect(button, &QToolButton::clicked, this, [this, number] { Q_EMIT toolButtonClicked(number); });
        bar->addWidget(button);
        m_toolButtons[static_cast<std::size_t>(index)] = button;
        ++index;
    }
}

void MainWindow::buildContextMenu()
{
    namespace msg = core::msg;
    m_contextMenu = new QMenu(toQt(msg::kContextMenuCaption), this);
    auto add = [this](QMenu* menu, std::string_view text, ContextItem item) {
        QAction* action = menu->addAction(toQt(text));
        m_contextActions[static_cast<std::size_t>(item)] = action;
    };
    add(m_contextMenu, msg::kContextOpen, ContextItem::Open);
    add(m_contextMenu, msg::kContextOpenWith, ContextItem::OpenWith);
    m_contextMenu->addSeparator();
    add(m_contextMenu, msg::kMenuRecoverSelected, ContextItem::RecoverSelected);
    add(m_contextMenu, msg::kMenuRecoverAll, ContextItem::RecoverAll);
    m_contextMenu->addSeparator();
    QMenu* view = m_contextMenu->addMenu(toQt(msg::kMenuView));
    add(view, msg::kContextIcons, ContextItem::Icons);
    add(view, msg::kMenuList, ContextItem::List);
    add(view, msg::kMenuDetails, ContextItem::Details);
    add(m_contextMenu, msg::kMenuFindFiles, ContextItem::FindFiles);
    m_contextMenu->addSeparator();
    add(m_contextMenu, msg::kContextRename, ContextItem::Rename);
    add(m_contextMenu, msg::kContextSettings, ContextItem::Settings);
    add(m_contextMenu, msg::kContextProperties, ContextItem::Properties);
}

shell::ContextItem MainWindow::contextItemOf(const QAction* action) const
{
    for (std::size_t i = 0; i < m_contextActions.size(); ++i) {
        if (m_contextActions[i] == action)
            return static_cast<ContextItem>(i);
    }
    return ContextItem::Open;
}

std::optional<ContextItem> MainWindow::TrackContextMenu(bool openWithEnabled)
{
    contextAction(ContextItem::OpenWith)->setEnabled(openWithEnabled);
    QAction* chosen = m_prompter->contextMenu(m_contextMenu, m_contextPos);
    if (!chosen)
        return std::nullopt;
    return contextItemOf(chosen);
}

}  // namespace gui

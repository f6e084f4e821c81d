// The application chooser of "Open &With...".
#include "gui/dialogs/open_with_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace gui {

OpenWithDialog::OpenWithDialog(const QString& path, QWidget* parent, const QStringList& dirs)
    : QDialog(parent), m_path(path)
{
    setWindowTitle(QStringLiteral("Open With"));
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
    QStringList types{mime.name()};
    types += mime.allAncestors();
    m_apps = applicationsForMimeTypes(types, dirs);

    auto* caption = new QLabel(QStringLiteral("Choose the program you want to use to open this file:\n%1 (%2)")
                                   .arg(QFileInfo(path).fileName(), mime.comment()),
                               this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("openWithList"));
    for (const DesktopApp& app : m_apps) {
        auto* item = new QListWidgetItem(QIcon::fromTheme(app.icon, QIcon::fromTheme(QStringLiteral("application-x-executable"))),
                                         app.name, m_list);
        item->setToolTip(app.exec);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    m_open = buttons->button(QDialogButtonBox::Open);
    m_open->setEnabled(m_list->count() > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(420, 360);
}

QStringList OpenWithDialog::chosenCommand() const
{
    const int row = m_list->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= m_apps.size())
        return {};
    return commandForFile(m_apps[static_cast<std::size_t>(row)].exec, m_path);
}

bool OpenWithDialog::launch() const
{
    QStringList command = chosenCommand();
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

}  // namespace gui

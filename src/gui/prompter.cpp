// The real dialogs and desktop hand-offs behind the prompter seam.
#include "gui/prompter.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

#include "core/messages.h"
#include "gui/dialogs/message_box.h"
#include "gui/dialogs/open_with_dialog.h"
#include "gui/qt_text.h"

namespace gui {

MessageKind messageKindFromInt(int kind) noexcept
{
    switch (kind) {
    case 1:
        return MessageKind::Information;
    case 2:
        return MessageKind::Error;
    case 3:
        return MessageKind::Question;
    default:
        return MessageKind::None;
    }
}

bool Prompter::message(QWidget* parent, const QString& text, MessageKind kind)
{
    MessageBox box(text, kind, parent);
    return box.exec() == QDialog::Accepted && kind == MessageKind::Question;
}

void Prompter::plainMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, toQt(core::msg::kAppCaption), text);
}

shell::BatchSummaryChoice Prompter::offerReport(QWidget* parent, const QString& summary)
{
    QMessageBox box(QMessageBox::Warning, toQt(core::msg::kAppCaption), summary, QMessageBox::Close, parent);
    const QAbstractButton* log = box.addButton(toQt(core::msg::kMenuOpenLog), QMessageBox::ActionRole);
    const QAbstractButton* save = box.addButton(toQt(core::msg::kSaveReport), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == log)
        return shell::BatchSummaryChoice::OpenLog;
    if (box.clickedButton() == save)
        return shell::BatchSummaryChoice::SaveReport;
    return shell::BatchSummaryChoice::Close;
}

QString Prompter::reportFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

QString Prompter::saveFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    // The caller asks before replacing: the file written is not always the name chosen here.
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QStringList Prompter::openFileNames(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, QString(), filter);
}

QString Prompter::existingDirectory(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption);
}

bool Prompter::openFile(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Prompter::openWith(QWidget* parent, const QString& path)
{
    OpenWithDialog dialog(path, parent);
    if (dialog.exec() == QDialog::Accepted)
        dialog.launch();
}

QAction* Prompter::contextMenu(QMenu* menu, const QPoint& globalPos)
{
    return menu->exec(globalPos);
}

}  // namespace gui

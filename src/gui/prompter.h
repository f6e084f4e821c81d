// Everything the window asks the user or hands to the desktop, behind one seam: the system's own
// message box, the file and folder choosers and opening a file. The desktop wizard uses the
// real dialogs; GUI tests install a scripted prompter that answers without showing anything.
#pragma once

#include <QString>
#include <QStringList>

#include "shell/main_window.h"

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace gui {

// Kinds of the message box: the icon it shows; Question has "&Yes" and "&No".
enum class MessageKind
{
    None = 0,
    Information = 1,
    Error = 2,
    Question = 3,
};

MessageKind messageKindFromInt(int kind) noexcept;

class Prompter
{
public:
    virtual ~Prompter() = default;

    // Shows the message box modally; true when a question was answered "&Yes" (false for the
    // other kinds).
    virtual bool message(QWidget* parent, const QString& text, MessageKind kind);
    // The platform's plain message box ("&Open Log").
    virtual void plainMessage(QWidget* parent, const QString& text);
    // A batch's summary with "Save Report..." and Close; true when "Save Report..." was chosen.
    virtual shell::BatchSummaryChoice offerReport(QWidget* parent, const QString& summary);
    // The save dialog of the per-file report, asking before replacing a file. Empty when cancelled.
    virtual QString reportFileName(QWidget* parent, const QString& caption, const QString& filter);
    // The save dialog with one name filter. It does not ask about an existing file: the caller
    // asks about the file it will really write. Empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& filter);
    // The open dialog with a name filter (patterns separated by blanks), several files allowed.
    // Empty when cancelled.
    virtual QStringList openFileNames(QWidget* parent, const QString& caption, const QString& filter);
    // A folder to write recovered files into. Empty when cancelled.
    virtual QString existingDirectory(QWidget* parent, const QString& caption);
    // Opens a file with the desktop's default application; false when none would take it.
    virtual bool openFile(const QString& path);
    // Lets the user choose the application for a file, then starts it.
    virtual void openWith(QWidget* parent, const QString& path);
    // Shows a context menu at a global position; the action chosen, or nullptr.
    virtual QAction* contextMenu(QMenu* menu, const QPoint& globalPos);
};

}  // namespace gui

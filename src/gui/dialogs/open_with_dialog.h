// "Open With": the applications the desktop registers for a file's MIME type (or its parents),
// one to choose, and the start of the chosen one on the file.
#pragma once

#include <QDialog>
#include <vector>

#include "gui/desktop_apps.h"

class QListWidget;
class QPushButton;

namespace gui {

class OpenWithDialog : public QDialog
{
    Q_OBJECT

public:
    // Lists the applications found under `dirs` (by default the XDG applications folders).
    explicit OpenWithDialog(const QString& path, QWidget* parent = nullptr,
                            const QStringList& dirs = applicationDirs());

    const std::vector<DesktopApp>& applications() const noexcept { return m_apps; }
    QListWidget* list() const noexcept { return m_list; }
    // The chosen application's command for the file; empty when none is chosen.
    QStringList chosenCommand() const;
    // Starts the chosen application detached; false when none is chosen or it fails to start.
    bool launch() const;

private:
    QString m_path;
    std::vector<DesktopApp> m_apps;
    QListWidget* m_list = nullptr;
    QPushButton* m_open = nullptr;
};

}  // namespace gui

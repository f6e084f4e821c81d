// File-type names and icons by file name only, from the desktop's MIME database and icon theme
// (Qt's standard icons where the theme has none). Lookups are cached by extension and may be
// made from any thread.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <mutex>
#include <string>
#include <string_view>

namespace gui {

class FileTypes
{
public:
    // The type description shown in the list's "Type" column, as UTF-8 bytes for the engine:
    // the MIME type's comment ("plain text document"); for a type the database does not know,
    // the upper-cased extension followed by " File", or "File" for a name without one.
    std::string describe(std::string_view name);
    QString typeName(const QString& name);
    QIcon fileIcon(const QString& name);
    QIcon folderIcon();

private:
    struct Entry
    {
        QString comment;
        QString iconName;
        QString genericIconName;
    };
    Entry lookup(const QString& name);

    std::mutex m_mutex;
    QHash<QString, Entry> m_byExtension;
    QHash<QString, QIcon> m_icons;
    QIcon m_folder;
};

// Icon from the desktop theme, or a standard one of the application style.
QIcon themeIcon(const QString& name, int standardPixmap);

}  // namespace gui

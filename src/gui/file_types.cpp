// MIME-based type names and icons with a per-extension cache.
#include "gui/file_types.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

#include "gui/qt_text.h"

namespace gui {

namespace {

QString extensionKey(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

}  // namespace

QIcon themeIcon(const QString& name, int standardPixmap)
{
    QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardPixmap));
    return icon;
}

FileTypes::Entry FileTypes::lookup(const QString& name)
{
    const QString key = extensionKey(name);
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_byExtension.constFind(key);
        if (it != m_byExtension.constEnd())
            return *it;
    }
    Entry entry;
    const QMimeType mime = key.isEmpty() ? QMimeType() : QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (mime.isValid() && !mime.isDefault()) {
        entry.comment = mime.comment();
        entry.iconName = mime.iconName();
        entry.genericIconName = mime.genericIconName();
    } else {
        entry.comment = key.isEmpty() ? QStringLiteral("File") : key.toUpper() + QStringLiteral(" File");
        entry.iconName = QStringLiteral("application-octet-stream");
        entry.genericIconName = QStringLiteral("text-x-generic");
    }
    std::lock_guard lock(m_mutex);
    m_byExtension.insert(key, entry);
    return entry;
}

std::string FileTypes::describe(std::string_view name)
{
    return toUtf8(lookup(toQt(name)).comment);
}

QString FileTypes::typeName(const QString& name)
{
    return lookup(name).comment;
}

QIcon FileTypes::fileIcon(const QString& name)
{
    const Entry entry = lookup(name);
    std::lock_guard lock(m_mutex);
    auto it = m_icons.find(entry.iconName);
    if (it != m_icons.end())
        return *it;
    QIcon icon = QIcon::fromTheme(entry.iconName);
    if (icon.isNull())
        icon = QIcon::fromTheme(entry.genericIconName);
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    m_icons.insert(entry.iconName, icon);
    return icon;
}

QIcon FileTypes::folderIcon()
{
    std::lock_guard lock(m_mutex);
    if (m_folder.isNull())
        m_folder = themeIcon(QStringLiteral("folder"), QStyle::SP_DirIcon);
    return m_folder;
}

}  // namespace gui

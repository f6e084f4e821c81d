// The desktop applications registered for a MIME type: the .desktop entries under the XDG data
// folders' applications/ (with their mimeinfo.cache), and how one is started on a file.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace gui {

struct DesktopApp
{
    QString id;       // desktop file id, "org.gnome.gedit.desktop"
    QString name;     // Name=
    QString exec;     // Exec=, field codes still in it
    QString icon;     // Icon=
    QStringList mimeTypes;
};

// One .desktop file's [Desktop Entry]; empty name when the entry is hidden, no application, or
// has no Exec line.
DesktopApp parseDesktopEntry(const QString& id, const QString& text);

// The ids a mimeinfo.cache lists for each of `mimeTypes`, in the cache's order.
QStringList idsFromMimeCache(const QString& cacheText, const QStringList& mimeTypes);

// The command line that opens `path` with `exec`: %f %F %u %U become the path (a URL for %u/%U),
// %i %c %k and the deprecated codes are dropped, "%%" is a percent sign; with no file code the
// path is appended. Quoting follows the desktop entry rules.
QStringList commandForFile(const QString& exec, const QString& path);

// Applications for a MIME type or any of its parents, looked up under `applicationDirs` (the
// first holding an id wins), sorted by name; ids seen twice are listed once.
std::vector<DesktopApp> applicationsForMimeTypes(const QStringList& mimeTypes, const QStringList& applicationDirs);

// The XDG applications folders: $XDG_DATA_HOME/applications, then $XDG_DATA_DIRS' ones.
QStringList applicationDirs();

}  // namespace gui

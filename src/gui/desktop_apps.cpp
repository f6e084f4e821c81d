// Reading desktop entries and mimeinfo caches, and expanding an Exec line for one file.
#include "gui/desktop_apps.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace gui {

namespace {

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(1 << 20));
}

// The key/value lines of one group of an ini-style desktop file.
QList<QPair<QString, QString>> groupLines(const QString& text, const QString& group)
{
    QList<QPair<QString, QString>> lines;
    bool inGroup = false;
    const auto all = text.split(QLatin1Char('\n'));
    for (const QString& raw : all) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        lines.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
    return lines;
}

// Splits an Exec value into arguments: blanks separate, double quotes group, and inside quotes
// a backslash escapes the next character.
QStringList splitExec(const QString& exec)
{
    QStringList args;
    QString current;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                current += exec.at(++i);
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c.isSpace()) {
            if (any || !current.isEmpty())
                args.append(current);
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        args.append(current);
    return args;
}

}  // namespace

DesktopApp parseDesktopEntry(const QString& id, const QString& text)
{
    DesktopApp app;
    app.id = id;
    bool hidden = false;
    QString type;
    for (const auto& [key, value] : groupLines(text, QStringLiteral("Desktop Entry"))) {
        if (key == QLatin1String("Name"))
            app.name = value;
        else if (key == QLatin1String("Exec"))
            app.exec = value;
        else if (key == QLatin1String("Icon"))
            app.icon = value;
        else if (key == QLatin1String("Type"))
            type = value;
        else if (key == QLatin1String("MimeType"))
            app.mimeTypes = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        else if ((key == QLatin1String("Hidden") || key == QLatin1String("NoDisplay")) && value == QLatin1String("true"))
            hidden = true;
    }
    if (hidden || type != QLatin1String("Application") || app.exec.isEmpty())
        app.name.clear();
    return app;
}

QStringList idsFromMimeCache(const QString& cacheText, const QStringList& mimeTypes)
{
    QStringList ids;
    const auto lines = groupLines(cacheText, QStringLiteral("MIME Cache"));
    for (const QString& mime : mimeTypes) {
        for (const auto& [key, value] : lines) {
            if (key != mime)
                continue;
            for (const QString& id : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                if (!ids.contains(id))
                    ids.append(id);
            }
        }
    }
    return ids;
}

QStringList commandForFile(const QString& exec, const QString& path)
{
    QStringList out;
    bool placed = false;
    for (const QString& arg : splitExec(exec)) {
        if (arg == QLatin1String("%f") || arg == QLatin1String("%F")) {
            out.append(path);
            placed = true;
            continue;
        }
        if (arg == QLatin1String("%u") || arg == QLatin1String("%U")) {
            out.append(QUrl::fromLocalFile(path).toString());
            placed = true;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg.at(i) != QLatin1Char('%') || i + 1 >= arg.size()) {
                expanded += arg.at(i);
                continue;
            }
            const QChar code = arg.at(++i);
            if (code == QLatin1Char('%'))
                expanded += QLatin1Char('%');
            else if (code == QLatin1Char('f') || code == QLatin1Char('F')) {
                expanded += path;
                placed = true;
            } else if (code == QLatin1Char('u') || code == QLatin1Char('U')) {
                expanded += QUrl::fromLocalFile(path).toString();
                placed = true;
            }
        }
        if (!expanded.isEmpty())
            out.append(expanded);
    }
    if (!placed && !out.isEmpty())
        out.append(path);
    return out;
}

std::vector<DesktopApp> applicationsForMimeTypes(const QStringList& mimeTypes, const QStringList& dirs)
{
    QSet<QString> wanted;
    for (const QString& dir : dirs) {
        const QString cache = readText(dir + QStringLiteral("/mimeinfo.cache"));
        for (const QString& id : idsFromMimeCache(cache, mimeTypes))
            wanted.insert(id);
    }

    std::vector<DesktopApp> apps;
    QSet<QString> seen;
    for (const QString& dir : dirs) {
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QString id = QDir(dir).relativeFilePath(file);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue;
            seen.insert(id);
            DesktopApp app = parseDesktopEntry(id, readText(file));
            if (app.name.isEmpty())
                continue;
            const bool listed = wanted.contains(id) || std::any_of(mimeTypes.begin(), mimeTypes.end(), [&](const QString& m) {
                                    return app.mimeTypes.contains(m);
                                });
            if (listed)
                apps.push_back(std::move(app));
        }
    }
    std::sort(apps.begin(), apps.end(), [](const DesktopApp& a, const DesktopApp& b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    return apps;
}

QStringList applicationDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

}  // namespace gui

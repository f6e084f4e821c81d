// Conversions between the system's texts and Qt's: the fixed texts are UTF-8, catalog names are
// Latin-1 (one byte per UTF-16 unit, as the engine keeps them).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace gui {

inline QString toQt(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline QString fromLatin1(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

inline std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

// Engine texts (fixed texts are ASCII, names Latin-1) are shown as Latin-1.
// Back to a catalog name; characters past U+00FF become '?'.
inline std::string toLatin1(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace gui

// Conversions between the system's texts and Qt's: fixed texts and catalog names are UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace gui {

inline QString toQt(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

}  // namespace gui

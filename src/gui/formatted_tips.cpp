// The help icons' tips. The widget kit's markup of the original (tables, fonts, indents of <t>,
// a green rule, an animated image list) is turned into Qt rich text; the words are kept as they
// are, "Advence Mode" and the doubled blanks included.
#include "gui/formatted_tips.h"

#include <QBuffer>
#include <QPixmap>

#include "gui/app_icons.h"

namespace gui {

namespace {

// The application icon as an inline PNG, so the tip needs no resource file.
QString iconCell()
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    applicationIcon().pixmap(32, 32).toImage().save(&buffer, "PNG");
    return QStringLiteral("<td valign=\"top\"><img src=\"data:image/png;base64,%1\" width=\"32\" height=\"32\"></td>")
        .arg(QString::fromLatin1(png.toBase64()));
}

const QString kIndent = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;");
const QString kFont = QStringLiteral("<p style=\"margin-top:0; margin-bottom:0; color:black; font-size:10pt\">");

}  // namespace

QString scanTypeTip()
{
    return QStringLiteral("<table><tr>") + iconCell()
           + QStringLiteral("<td valign=\"top\"><h3>SCAN TYPE</h3><hr style=\"color:green\"><h3>Standard Scan</h3>")
           + kFont + QStringLiteral("This is fast mode for recovering data.<br>") + kIndent
           + QStringLiteral(" select this for cases like:- File deletion,<br>") + kIndent
           + QStringLiteral("Partition deletion, Bad Sectors etc.</p><h3>Advence Mode</h3>") + kFont
           + QStringLiteral("This is deep and more efficient method&nbsp;&nbsp;<br>") + kIndent
           + QStringLiteral("for recovering data , select this for&nbsp;&nbsp;<br>") + kIndent
           + QStringLiteral("cases like drive format , OS Reload&nbsp;&nbsp;<br>") + kIndent
           + QStringLiteral("or where Standard Scan fails to recover the data.<br></p></td></tr></table>");
}

QString rangeTip()
{
    return QStringLiteral("<table><tr>") + iconCell()
           + QStringLiteral("<td valign=\"top\"><h3>Scan Control</h3><hr style=\"color:green\">") + kFont
           + QStringLiteral("Here select the file system to recover and <br>")
           + QStringLiteral("&nbsp;the range of the disk area to scan.</p></td></tr></table>");
}

}  // namespace gui

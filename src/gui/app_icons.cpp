// The application icon, painted at each size.
#include "gui/app_icons.h"

#include <QPainter>
#include <algorithm>
#include <QPixmap>

namespace gui {

namespace {

QPixmap paintIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QRadialGradient platter(QPointF(s * 0.42, s * 0.42), s * 0.45);
    platter.setColorAt(0.0, QColor(0xf2, 0xf6, 0xfc));
    platter.setColorAt(0.8, QColor(0x9d, 0xb4, 0xd4));
    platter.setColorAt(1.0, QColor(0x5b, 0x7a, 0xa8));
    painter.setPen(QPen(QColor(0x2c, 0x4a, 0x78), std::max(1.0, s / 24)));
    painter.setBrush(platter);
    painter.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.76, s * 0.76));
    painter.setBrush(QColor(0x2c, 0x4a, 0x78));
    painter.drawEllipse(QPointF(s * 0.42, s * 0.42), s * 0.06, s * 0.06);

    // The magnifier: a lens over the platter's edge and its handle towards the corner.
    painter.setBrush(QColor(0xff, 0xff, 0xff, 150));
    painter.setPen(QPen(QColor(0x1e, 0x7d, 0x32), std::max(1.5, s / 12)));
    painter.drawEllipse(QPointF(s * 0.62, s * 0.62), s * 0.18, s * 0.18);
    painter.setPen(QPen(QColor(0x1e, 0x7d, 0x32), std::max(2.0, s / 8), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(s * 0.76, s * 0.76), QPointF(s * 0.93, s * 0.93));
    return pixmap;
}

}  // namespace

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(paintIcon(size));
    return icon;
}

}  // namespace gui

// The message dialog and its background picture: a pale blue wash with a disk platter in the
// lower right corner.
#include "gui/dialogs/message_box.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/qt_text.h"

namespace gui {

namespace {

QStyle::StandardPixmap pixmapForKind(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information:
        return QStyle::SP_MessageBoxInformation;
    case MessageKind::Error:
        return QStyle::SP_MessageBoxCritical;
    case MessageKind::Question:
        return QStyle::SP_MessageBoxQuestion;
    case MessageKind::None:
        break;
    }
    return QStyle::SP_CustomBase;
}

}  // namespace

void paintMessageBackground(QPainter& painter, const QRect& rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wash(rect.topLeft(), rect.bottomLeft());
    wash.setColorAt(0.0, QColor(0xf4, 0xf8, 0xff));
    wash.setColorAt(1.0, QColor(0xd6, 0xe4, 0xf7));
    painter.fillRect(rect, wash);

    // A disk platter, mostly outside the dialog, so only a quarter of it shows behind the buttons.
    const int radius = std::max(rect.height(), 80);
    const QPointF centre(rect.right() - radius / 6.0, rect.bottom() - radius / 6.0);
    QRadialGradient platter(centre, radius);
    platter.setColorAt(0.0, QColor(0xc8, 0xd6, 0xea, 170));
    platter.setColorAt(0.7, QColor(0xe6, 0xee, 0xfa, 120));
    platter.setColorAt(1.0, QColor(0xb0, 0xc4, 0xe0, 150));
    painter.setPen(Qt::NoPen);
    painter.setBrush(platter);
    painter.drawEllipse(centre, radius * 0.5, radius * 0.5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x9f, 0xb6, 0xd6, 140), 1.0));
    for (double r = 0.18; r < 0.5; r += 0.08)
        painter.drawEllipse(centre, radius * r, radius * r);
    painter.setBrush(QColor(0x8a, 0xa3, 0xc8, 160));
    painter.drawEllipse(centre, radius * 0.05, radius * 0.05);

    painter.setPen(QPen(QColor(0x3a, 0x6e, 0xb5), 3.0));
    painter.drawLine(rect.topLeft() + QPointF(0, 1.5), rect.topRight() + QPointF(0, 1.5));
    painter.restore();
}

MessageBox::MessageBox(const QString& text, MessageKind kind, QWidget* parent) : QDialog(parent), m_kind(kind)
{
    setWindowTitle(toQt(core::msg::kAppCaption));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("messageIcon"));
    if (kind != MessageKind::None) {
        const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(style()->standardIcon(pixmapForKind(kind), nullptr, this).pixmap(extent, extent));
    }
    icon->setAlignment(Qt::AlignTop);

    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("messageText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setMinimumWidth(fontMetrics().averageCharWidth() * 40);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    if (kind == MessageKind::Question) {
        m_yes = new QPushButton(QStringLiteral("&Yes"), this);
        m_no = new QPushButton(QStringLiteral("&No"), this);
        m_yes->setDefault(true);
        connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
        connect(m_no, &QPushButton::clicked, this, &QDialog::reject);
        buttons->addWidget(m_yes);
        buttons->addWidget(m_no);
    } else {
        m_ok = new QPushButton(QStringLiteral("&Ok"), this);
        m_ok->setDefault(true);
        connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
        buttons->addWidget(m_ok);
    }
    buttons->addStretch();

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(m_text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->addLayout(row, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString MessageBox::text() const
{
    return m_text->text();
}

void MessageBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    paintMessageBackground(painter, rect());
    QDialog::paintEvent(event);
}

}  // namespace gui

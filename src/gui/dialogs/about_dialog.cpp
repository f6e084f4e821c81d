// The About box.
#include "gui/dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/app_icons.h"
#include "gui/qt_text.h"

namespace gui {

AboutDialog::AboutDialog(const QString& text, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(toQt(core::msg::kMenuAboutSystem).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(64, 64));
    m_text = new QLabel(text, this);
    m_text->setTextFormat(Qt::PlainText);
    QFont font = m_text->font();
    font.setBold(true);
    m_text->setFont(font);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(m_text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString AboutDialog::text() const
{
    return m_text->text();
}

}  // namespace gui

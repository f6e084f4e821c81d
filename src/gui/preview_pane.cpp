// The preview pane.
#include "gui/preview_pane.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/qt_text.h"

namespace gui {

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("previewPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_stack = new QStackedWidget(this);
    m_message = new QLabel(m_stack);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    auto* scroll = new QScrollArea(m_stack);
    m_image = new QLabel(scroll);
    m_image->setAlignment(Qt::AlignCenter);
    scroll->setWidget(m_image);
    scroll->setWidgetResizable(true);
    m_text = new QPlainTextEdit(m_stack);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_stack->addWidget(m_message);
    m_stack->addWidget(scroll);
    m_stack->addWidget(m_text);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->hide();
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_note);
    showMessage(toQt(core::msg::kPreviewNothing));
}

void PreviewPane::showMessage(const QString& text)
{
    m_kind = Kind::Message;
    m_message->setText(text);
    m_note->hide();
    m_stack->setCurrentWidget(m_message);
}

QString PreviewPane::shownText() const
{
    switch (m_kind) {
    case Kind::Message:
        return m_message->text();
    case Kind::Text:
    case Kind::Hex:
        return m_text->toPlainText();
    case Kind::Image:
        break;
    }
    return {};
}

QString PreviewPane::guessText(const QByteArray& bytes, bool* ok)
{
    *ok = true;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringConverter::Utf16);
        return decoder.decode(bytes);
    }
    if (bytes.contains('\0')) {
        *ok = false;
        return {};
    }
    // Valid UTF-8, allowing a sequence cut by the end of the bytes read.
    for (qsizetype cut = 0; cut <= 3 && cut < bytes.size(); ++cut) {
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString text = utf8.decode(bytes.left(bytes.size() - cut));
        if (!utf8.hasError())
            return text;
        if (bytes.size() < kTextBytes)
            break;
    }
    int printable = 0;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        printable += (u >= 0x20 || u == '\n' || u == '\r' || u == '\t') ? 1 : 0;
    }
    if (!bytes.isEmpty() && printable * 100 >= bytes.size() * 95)
        return QString::fromLatin1(bytes);
    *ok = false;
    return {};
}

QString PreviewPane::hexDump(const QByteArray& bytes)
{
    QString out;
    for (qsizetype line = 0; line < bytes.size(); line += 16) {
        out += QStringLiteral("%1  ").arg(line, 8, 16, QLatin1Char('0'));
        QString chars;
        for (qsizetype i = line; i < line + 16; ++i) {
            if (i < bytes.size()) {
                const auto u = static_cast<unsigned char>(bytes[i]);
                out += QStringLiteral("%1 ").arg(u, 2, 16, QLatin1Char('0'));
                chars += (u >= 0x20 && u < 0x7F) ? QChar(u) : QLatin1Char('.');
            } else {
                out += QStringLiteral("   ");
            }
        }
        out += QLatin1Char(' ') + chars + QLatin1Char('\n');
    }
    return out;
}

void PreviewPane::showBytes(const QString& name, const recovery::PreviewBytes& preview)
{
    if (!preview.readable) {
        showMessage(toQt(core::msg::kPreviewFailed));
        return;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(preview.bytes.data()),
                           static_cast<qsizetype>(preview.bytes.size()));
    QStringList notes;
    if (preview.incomplete || preview.unreadableSectors != 0)
        notes << toQt(core::msg::kPreviewDamaged);

    QImage image;
    const QString suffix = name.section(QLatin1Char('.'), -1).toLower();
    if (!preview.cut && QImageReader::supportedImageFormats().contains(suffix.toLatin1()))
        image.loadFromData(bytes);
    if (!image.isNull()) {
        m_kind = Kind::Image;
        m_image->setPixmap(QPixmap::fromImage(image));
        m_stack->setCurrentIndex(1);
    } else {
        bool text = false;
        const QByteArray head = bytes.left(kTextBytes);
        const QString decoded = guessText(head, &text);
        if (text) {
            m_kind = Kind::Text;
            m_text->setPlainText(decoded);
            if (bytes.size() > kTextBytes || preview.cut)
                notes << toQt(core::msg::kPreviewTruncated);
        } else {
            m_kind = Kind::Hex;
            m_text->setPlainText(hexDump(bytes.left(kHexBytes)));
            if (bytes.size() > kHexBytes || preview.cut)
                notes << toQt(core::msg::kPreviewTruncated);
        }
        m_text->setFont(m_kind == Kind::Hex ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : font());
        m_stack->setCurrentWidget(m_text);
    }
    m_note->setText(notes.join(QLatin1Char(' ')));
    m_note->setVisible(!notes.isEmpty());
}

}  // namespace gui

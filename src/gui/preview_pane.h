// The preview pane beside the list: the selected file's first 64 KiB as text (encoding guessed),
// an image Qt can read, or a hex view of the first sectors, from bytes read into memory on a
// worker thread (recovery::ReadNtfsPreview); nothing is written to disk.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include "recovery/preview.h"

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace gui {

class PreviewPane : public QWidget
{
    Q_OBJECT

public:
    enum class Kind
    {
        Message,
        Text,
        Image,
        Hex,
    };

    // Bytes of text shown at most, and bytes of the hex view.
    static constexpr int kTextBytes = 64 * 1024;
    static constexpr int kHexBytes = 4 * 512;

    explicit PreviewPane(QWidget* parent = nullptr);

    void showMessage(const QString& text);
    // Shows the bytes of the file `name` as an image, as text or in hex, in that order of choice.
    void showBytes(const QString& name, const recovery::PreviewBytes& preview);

    Kind kind() const noexcept { return m_kind; }
    // The text shown (text, hex or message); empty for an image.
    QString shownText() const;
    QLabel* imageLabel() const noexcept { return m_image; }

    // Decodes bytes that look like text: UTF-8 (a BOM or valid sequences), UTF-16 with a BOM, or
    // Latin-1 when nearly every byte is printable. Empty (ok false) for anything else.
    static QString guessText(const QByteArray& bytes, bool* ok);
    // Offset, 16 bytes in hex and their printable characters per line.
    static QString hexDump(const QByteArray& bytes);

private:
    Kind m_kind = Kind::Message;
    QStackedWidget* m_stack = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_image = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_note = nullptr;
};

}  // namespace gui

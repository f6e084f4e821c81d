// The system's own message dialog: caption "Quorvel Dravik for NTFS", a background picture, the
// message text, an icon by kind and "&Ok", or "&Yes" and "&No" for a question.
#pragma once

#include <QDialog>

#include "gui/prompter.h"

class QLabel;
class QPushButton;

namespace gui {

class MessageBox : public QDialog
{
    Q_OBJECT

public:
    MessageBox(const QString& text, MessageKind kind, QWidget* parent = nullptr);

    QString text() const;
    MessageKind kind() const noexcept { return m_kind; }
    // "&Ok" for every kind but the question, which has "&Yes" (accepts) and "&No" (rejects).
    QPushButton* okButton() const noexcept { return m_ok; }
    QPushButton* yesButton() const noexcept { return m_yes; }
    QPushButton* noButton() const noexcept { return m_no; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MessageKind m_kind;
    QLabel* m_text = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
};

// The background picture of the message box, drawn at the given size.
void paintMessageBackground(QPainter& painter, const QRect& rect);

}  // namespace gui

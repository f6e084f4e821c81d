// The About box: the application icon and "Quorvel Dravik for NTFS Version 4.02".
#pragma once

#include <QDialog>

class QLabel;

namespace gui {

class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(const QString& text, QWidget* parent = nullptr);
    QString text() const;

private:
    QLabel* m_text = nullptr;
};

}  // namespace gui

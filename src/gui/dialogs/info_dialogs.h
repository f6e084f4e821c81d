// Small read-only dialogs: a captioned table of label/value rows with an OK button.
#pragma once

#include <QDialog>
#include <utility>
#include <vector>

class QLabel;

namespace gui {

class InfoDialog : public QDialog
{
    Q_OBJECT

public:
    InfoDialog(const QString& caption, const std::vector<std::pair<QString, QString>>& rows, QWidget* parent = nullptr);

    // The value shown beside a label, for tests; empty when there is no such label.
    QString value(const QString& label) const;

private:
    std::vector<std::pair<QString, QLabel*>> m_values;
};

}  // namespace gui

// "File Filters": the edit box "Enter Pattern", the list of patterns (newest first) and "&Add",
// "&Remove", "&Close", over the shell's filter logic.
#pragma once

#include <QDialog>

namespace shell {
class FileFiltersDialog;
}

class QLineEdit;
class QListWidget;
class QPushButton;

namespace gui {

class FileFiltersDialog : public QDialog
{
    Q_OBJECT

public:
    FileFiltersDialog(shell::FileFiltersDialog& logic, QWidget* parent = nullptr);

    QLineEdit* patternEdit() const noexcept { return m_edit; }
    QListWidget* patternList() const noexcept { return m_list; }
    QPushButton* addButton() const noexcept { return m_add; }
    QPushButton* removeButton() const noexcept { return m_remove; }
    QPushButton* closeButton() const noexcept { return m_close; }

private:
    void add();
    void remove();
    void showEntries();

    shell::FileFiltersDialog& m_logic;
    QLineEdit* m_edit = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_close = nullptr;
};

}  // namespace gui

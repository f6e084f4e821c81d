// The file filters dialog.
#include "gui/dialogs/file_filters_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/qt_text.h"
#include "shell/browse_commands.h"

namespace gui {

FileFiltersDialog::FileFiltersDialog(shell::FileFiltersDialog& logic, QWidget* parent) : QDialog(parent), m_logic(logic)
{
    setObjectName(QStringLiteral("fileFiltersDialog"));
    setWindowTitle(toQt(core::msg::kFileFiltersCaption));

    auto* caption = new QLabel(QStringLiteral("Enter Pattern"), this);
    m_edit = new QLineEdit(this);
    m_edit->setMaxLength(299);
    caption->setBuddy(m_edit);
    m_list = new QListWidget(this);
    m_add = new QPushButton(QStringLiteral("&Add"), this);
    m_remove = new QPushButton(QStringLiteral("&Remove"), this);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_add->setDefault(true);
    connect(m_add, &QPushButton::clicked, this, &FileFiltersDialog::add);
    connect(m_remove, &QPushButton::clicked, this, &FileFiltersDialog::remove);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(m_edit, 1, 0);
    grid->addWidget(m_add, 1, 1);
    grid->addWidget(m_list, 2, 0, 3, 1);
    grid->addWidget(m_remove, 2, 1);
    grid->addWidget(m_close, 3, 1);
    grid->setRowStretch(4, 1);

    showEntries();
    m_edit->setFocus();
}

void FileFiltersDialog::showEntries()
{
    m_list->clear();
    for (const std::string& entry : m_logic.Entries())
        m_list->addItem(toQt(entry));
    m_remove->setEnabled(m_logic.RemoveEnabled());
}

void FileFiltersDialog::add()
{
    const shell::FileFiltersDialog::AddResult result = m_logic.Add(toUtf8(m_edit->text()));
    showEntries();
    if (result.clearEdit)
        m_edit->clear();
    if (result.selectLength > 0)
        m_edit->setSelection(static_cast<int>(result.selectFrom), static_cast<int>(result.selectLength));
    m_edit->setFocus();
}

void FileFiltersDialog::remove()
{
    std::optional<std::size_t> selected;
    if (m_list->currentRow() >= 0 && m_list->currentItem() && m_list->currentItem()->isSelected())
        selected = static_cast<std::size_t>(m_list->currentRow());
    const std::optional<std::size_t> next = m_logic.Remove(selected);
    showEntries();
    if (next && static_cast<int>(*next) < m_list->count())
        m_list->setCurrentRow(static_cast<int>(*next));
}

}  // namespace gui

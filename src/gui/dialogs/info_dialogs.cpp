// The label/value dialogs and the two that use it: properties and drive information.
#include "gui/dialogs/info_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/dialogs/drive_information_dialog.h"
#include "gui/dialogs/properties_dialog.h"
#include "gui/qt_text.h"

namespace gui {

InfoDialog::InfoDialog(const QString& caption, const std::vector<std::pair<QString, QString>>& rows, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    auto* form = new QFormLayout;
    for (const auto& [label, text] : rows) {
        auto* value = new QLabel(text, this);
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
        m_values.emplace_back(label, value);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString InfoDialog::value(const QString& label) const
{
    for (const auto& [name, widget] : m_values) {
        if (name == label)
            return widget->text();
    }
    return {};
}

PropertiesDialog::PropertiesDialog(const shell::PropertiesInfo& info, QWidget* parent)
    : InfoDialog(toQt(core::msg::kPropertiesCaption),
                 {{QStringLiteral("Name :"), toQt(info.name)},
                  {QStringLiteral("Size"), toQt(info.size)},
                  {QStringLiteral("Contains"), toQt(info.contains)},
                  {QStringLiteral("Creation Date"), toQt(info.created)},
                  {QStringLiteral("Modification Date"), toQt(info.modified)}},
                 parent)
{
    setObjectName(QStringLiteral("propertiesDialog"));
}

DriveInformationDialog::DriveInformationDialog(const shell::DriveInformation& info, QWidget* parent)
    : InfoDialog(toQt(core::msg::kDriveInformationCaption),
                 {{QStringLiteral("File System"), toQt(info.fileSystem)},
                  {QStringLiteral("Start Sector"), toQt(info.startSector)},
                  {QStringLiteral("Directories"), toQt(info.directories)},
                  {QStringLiteral("Files"), toQt(info.files)},
                  {QStringLiteral("SPC"), toQt(info.sectorsPerCluster)},
                  {QStringLiteral("First FAT"), toQt(info.firstFat)},
                  {QStringLiteral("Second FAT"), toQt(info.secondFat)},
                  {QStringLiteral("MFT Start"), toQt(info.mftStart)}},
                 parent)
{
    setObjectName(QStringLiteral("driveInformationDialog"));
}

}  // namespace gui

// The recovery settings dialog.
#include "gui/dialogs/recovery_settings_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/messages.h"
#include "gui/qt_text.h"

namespace gui {

namespace {

QComboBox* entryList(QWidget* parent, std::size_t count, std::string (*entry)(std::size_t), std::size_t selected)
{
    auto* list = new QComboBox(parent);
    for (std::size_t i = 0; i < count; ++i)
        list->addItem(toQt(entry(i)));
    list->setCurrentIndex(static_cast<int>(std::min(selected, count - 1)));
    return list;
}

QGroupBox* radioGroup(QWidget* parent, std::string_view title, std::initializer_list<std::string_view> texts,
                      QButtonGroup*& group, int checkedId)
{
    auto* box = new QGroupBox(toQt(title), parent);
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    int id = 1;
    for (std::string_view text : texts) {
        auto* radio = new QRadioButton(toQt(text), box);
        group->addButton(radio, id);
        radio->setChecked(id == checkedId);
        layout->addWidget(radio);
        ++id;
    }
    return box;
}

}  // namespace

RecoverySettingsDialog::RecoverySettingsDialog(const recovery::SettingsChoice& current, QWidget* parent) : QDialog(parent)
{
    namespace msg = core::msg;
    setObjectName(QStringLiteral("recoverySettingsDialog"));
    setWindowTitle(toQt(msg::kRecoverySettingsCaption));

    auto* sectorsBox = new QGroupBox(toQt(msg::kSectorsGroup), this);
    auto* sectorsRow = new QHBoxLayout(sectorsBox);
    m_sectors = entryList(sectorsBox, recovery::kSectorsEntryCount, &recovery::SectorsEntry, current.sectorsIndex);
    auto* sectorsLabel = new QLabel(toQt(msg::kSectorsLabel), sectorsBox);
    sectorsLabel->setBuddy(m_sectors);
    sectorsRow->addWidget(sectorsLabel);
    sectorsRow->addWidget(m_sectors);

    QGroupBox* duplicateBox =
        radioGroup(this, msg::kDuplicateGroup, {msg::kRenameDuplicates, msg::kOverwriteDuplicates, msg::kSkipDuplicates},
                   m_duplicate, current.duplicate ? static_cast<int>(*current.duplicate) : 0);
    QGroupBox* deletedBox = radioGroup(this, msg::kDeletedGroup, {msg::kIncludeDeleted, msg::kOnlyDeleted, msg::kExcludeDeleted},
                                       m_deleted, current.deleted ? static_cast<int>(*current.deleted) : 0);
    // Under the deleted-file choices: the least share of a deleted file's data still free.
    auto* minimumRow = new QHBoxLayout;
    m_minRecoverable = new QComboBox(deletedBox);
    m_minRecoverable->setObjectName(QStringLiteral("minRecoverable"));
    for (std::size_t i = 0; i < recovery::kMinRecoverableEntryCount; ++i)
        m_minRecoverable->addItem(i == 0 ? toQt(msg::kMinRecoverableNone) : QString::number(i * 10) + QLatin1Char('%'),
                                  static_cast<int>(i * 10));
    // A minimum set from the command line between the steps shows as the next entry up.
    m_minRecoverable->setCurrentIndex(std::min(static_cast<int>(recovery::kMinRecoverableEntryCount) - 1,
                                               (current.minRecoverable + 9) / 10));
    auto* minimumLabel = new QLabel(toQt(msg::kMinRecoverableLabel), deletedBox);
    minimumLabel->setBuddy(m_minRecoverable);
    minimumRow->addWidget(minimumLabel);
    minimumRow->addWidget(m_minRecoverable);
    static_cast<QVBoxLayout*>(deletedBox->layout())->addLayout(minimumRow);

    auto* retriesBox = new QGroupBox(toQt(msg::kBadSectorsGroup), this);
    auto* retriesRow = new QHBoxLayout(retriesBox);
    m_retries = entryList(retriesBox, recovery::kRetriesEntryCount, &recovery::RetriesEntry, current.retriesIndex);
    auto* retriesLabel = new QLabel(toQt(msg::kRetriesLabel), retriesBox);
    retriesLabel->setBuddy(m_retries);
    retriesRow->addWidget(retriesLabel);
    retriesRow->addWidget(m_retries);

    auto* ok = new QPushButton(toQt(msg::kSettingsOk), this);
    auto* cancel = new QPushButton(toQt(msg::kSettingsCancel), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sectorsBox);
    layout->addWidget(duplicateBox);
    layout->addWidget(deletedBox);
    layout->addWidget(retriesBox);
    layout->addLayout(buttons);
}

recovery::SettingsChoice RecoverySettingsDialog::choice() const
{
    recovery::SettingsChoice result;
    result.sectorsIndex = static_cast<std::size_t>(std::max(0, m_sectors->currentIndex()));
    result.retriesIndex = static_cast<std::size_t>(std::max(0, m_retries->currentIndex()));
    if (const int id = m_duplicate->checkedId(); id > 0)
        result.duplicate = static_cast<recovery::DuplicatePolicy>(id);
    if (const int id = m_deleted->checkedId(); id > 0)
        result.deleted = static_cast<recovery::DeletedPolicy>(id);
    result.minRecoverable = static_cast<std::uint8_t>(std::clamp(m_minRecoverable->currentData().toInt(), 0, 100));
    return result;
}

}  // namespace gui

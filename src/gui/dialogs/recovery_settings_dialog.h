// "Recovery Settings": sectors per read, the duplicate-file and deleted-file policies and the
// retries on bad sectors.
#pragma once

#include <QDialog>

#include "recovery/recovery_settings.h"

class QButtonGroup;
class QComboBox;

namespace gui {

class RecoverySettingsDialog : public QDialog
{
    Q_OBJECT

public:
    RecoverySettingsDialog(const recovery::SettingsChoice& current, QWidget* parent = nullptr);

    // The controls' state (what OK hands back).
    recovery::SettingsChoice choice() const;

    QComboBox* sectorsList() const noexcept { return m_sectors; }
    QComboBox* retriesList() const noexcept { return m_retries; }
    QButtonGroup* duplicateGroup() const noexcept { return m_duplicate; }
    QButtonGroup* deletedGroup() const noexcept { return m_deleted; }
    QComboBox* minRecoverableList() const noexcept { return m_minRecoverable; }

private:
    QComboBox* m_sectors = nullptr;
    QComboBox* m_retries = nullptr;
    QButtonGroup* m_duplicate = nullptr;
    QButtonGroup* m_deleted = nullptr;
    QComboBox* m_minRecoverable = nullptr;  // entry i: i * 10 %, entry 0 "Any"
};

}  // namespace gui

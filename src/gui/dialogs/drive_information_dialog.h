// "Drive Information": file system, start sector, directories, files, SPC, the FATs, MFT start.
#pragma once

#include "gui/dialogs/info_dialogs.h"
#include "shell/main_window.h"

namespace gui {

class DriveInformationDialog : public InfoDialog
{
public:
    DriveInformationDialog(const shell::DriveInformation& info, QWidget* parent = nullptr);
};

}  // namespace gui

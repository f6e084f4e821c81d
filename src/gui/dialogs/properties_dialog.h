// "File/Folder Properties": name, size, contents and the two dates of a list item.
#pragma once

#include "gui/dialogs/info_dialogs.h"
#include "shell/main_window.h"

namespace gui {

class PropertiesDialog : public InfoDialog
{
public:
    PropertiesDialog(const shell::PropertiesInfo& info, QWidget* parent = nullptr);
};

}  // namespace gui

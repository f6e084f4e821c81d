// The two formatted tips of the main window's help icons, as Qt rich text: the scan-type tip
// headed "SCAN TYPE" and the range tip headed "Scan Control", each beside the application icon.
#pragma once

#include <QString>

namespace gui {

QString scanTypeTip();
QString rangeTip();

}  // namespace gui

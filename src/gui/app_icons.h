// The pictures of our own: the application icon, drawn rather than shipped as files.
#pragma once

#include <QIcon>

namespace gui {

// A disk platter with a magnifying glass over it, at 16, 24, 32, 48 and 64 pixels.
QIcon applicationIcon();

}  // namespace gui

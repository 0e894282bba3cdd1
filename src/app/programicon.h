// The program's icon: the same drawing the installed menu entry shows (data/icons), compiled into
// the program so the window and the tray show it whether the program is installed or not.
#pragma once

#include <QIcon>

namespace app {

// The icon at the sizes windows and trays use, so each place picks the sharpest one.
QIcon programIcon();

} // namespace app

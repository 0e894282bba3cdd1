// The program's look that is not a window's own: its icon, the same drawing the installed menu
// entry shows (data/icons), compiled into the program so the window and the tray show it whether
// the program is installed or not; and its default font.
#pragma once

#include <QIcon>

namespace app {

// The icon at the sizes windows and trays use, so each place picks the sharpest one.
QIcon programIcon();

// Makes a font with Chinese glyphs the application's default (call after QApplication exists).
// Nearly every caption is Chinese: with a Latin-only default, every size and weight first loads
// the Latin font and then searches the installed fonts for a fallback, which made fonts the
// largest cost of the start-up. The faces are chineseFontFamilies(); where none of them is
// installed the system default stays.
void useChineseDefaultFont();

} // namespace app

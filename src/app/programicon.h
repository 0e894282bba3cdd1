// The program's look that is not a window's own: its icon, the same drawing the installed menu
// entry shows (data/icons), compiled into the program so the window and the tray show it whether
// the program is installed or not; and its default font.
#pragma once

#include <QIcon>

#include <thread>

namespace app {

// The icon at the sizes windows and trays use, so each place picks the sharpest one.
QIcon programIcon();

// Makes a font with Chinese glyphs the application's default (call after QApplication exists).
// Nearly every caption is Chinese: with a Latin-only default, every size and weight first loads
// the Latin font and then searches the installed fonts for a fallback, which made fonts the
// largest cost of the start-up. The faces are chineseFontFamilies(); where none of them is
// installed the system default stays.
void useChineseDefaultFont();

// Loads the system's font configuration on a thread of its own from construction, while the
// program reads its settings and opens the window system. Fontconfig reading its configuration
// files is about a sixth of the start-up's processor time, and the first caption would otherwise
// wait for it. Does nothing where Qt does not draw text through fontconfig.
class FontConfigLoader {
public:
    FontConfigLoader();
    ~FontConfigLoader();
    FontConfigLoader(const FontConfigLoader&) = delete;
    FontConfigLoader& operator=(const FontConfigLoader&) = delete;
    // Waits until the configuration is loaded.
    void wait();
    // Once the application object exists: waits for the configuration, then lists the installed
    // fonts into Qt's font database on a thread while the program builds its windows (about
    // another twelfth of the start-up). The first caption waits for the list if it comes first:
    // Qt guards the font database with its own lock. Keep the returned thread until the
    // application object goes; it joins when destroyed.
    [[nodiscard]] std::jthread listFonts();

private:
    std::thread m_thread;
};

} // namespace app

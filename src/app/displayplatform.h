// Which window system the program asks Qt for. On Wayland no program may place its own windows or
// keep them on top, yet the alert pop-ups, the hourly and blog notices and the desktop ticker are
// placed by the program: in a Wayland session that also offers X11 (XWayland) it runs on X11.
#pragma once

#include <QByteArray>

namespace app {

// The variables the choice reads; an empty value counts as unset, as it does for Qt.
struct DisplayEnvironment {
    QByteArray qpaPlatform;      // QT_QPA_PLATFORM: the user's own choice
    QByteArray waylandDisplay;   // WAYLAND_DISPLAY
    QByteArray x11Display;       // DISPLAY
};

struct PlatformChoice {
    QByteArray platform;          // what to ask Qt for; empty: leave Qt's own choice
    bool placementNote = false;   // say once that the compositor places the windows
};

DisplayEnvironment currentDisplayEnvironment();
PlatformChoice choosePlatform(const DisplayEnvironment& env);

inline constexpr char kPlacementNote[] =
    "running on Wayland without X11: window placement is left to the compositor, so the alert "
    "pop-ups, notices and desktop ticker may not appear where they belong";

} // namespace app

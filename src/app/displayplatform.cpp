#include "app/displayplatform.h"

#include <QtGlobal>

namespace app {

DisplayEnvironment currentDisplayEnvironment()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")};
}

PlatformChoice choosePlatform(const DisplayEnvironment& env)
{
    if (!env.qpaPlatform.isEmpty())
        return {};
    if (!env.x11Display.isEmpty())
        return {env.waylandDisplay.isEmpty() ? QByteArray() : QByteArrayLiteral("xcb"), false};
    if (!env.waylandDisplay.isEmpty())
        return {QByteArrayLiteral("wayland"), true};
    return {};
}

} // namespace app

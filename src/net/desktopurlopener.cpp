#include "net/desktopurlopener.h"

#include <QDesktopServices>

namespace net {

void DesktopUrlOpener::openWebAddress(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

} // namespace net

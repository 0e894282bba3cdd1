#include "net/urlopener.h"

#include <QDebug>

namespace net {

bool isWebAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

bool UrlOpener::open(const QString& address)
{
    if (!isWebAddress(address)) {
        qWarning().noquote() << "refused to open a non-web address:" << address.left(200);
        return false;
    }
    openWebAddress(QUrl(address.trimmed()));
    return true;
}

} // namespace net

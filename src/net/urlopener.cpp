#include "net/urlopener.h"

#include <QDebug>

namespace net {

bool isFetchable(const QString& url)
{
    const QString scheme = QUrl(url.trimmed()).scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

bool isWebAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    return url.isValid() && isFetchable(address) && !url.host().isEmpty();
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

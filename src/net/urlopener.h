// Opening an address in the user's default browser. Only http and https addresses are opened:
// addresses often come from remote pages, and anything else (file:, javascript:, a program path)
// is refused and logged.
#pragma once

#include <QString>
#include <QUrl>

namespace net {

// Whether `url` is an http or https address. Nothing else is fetched: an address that came in a
// remote page may name a local file (file:), carry its own body (data:) or use another scheme the
// network layer would otherwise serve.
bool isFetchable(const QString& url);

bool isWebAddress(const QString& address);

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Opens `address` when it is a web address; returns whether it was handed on.
    bool open(const QString& address);

protected:
    virtual void openWebAddress(const QUrl& url) = 0;
};

} // namespace net

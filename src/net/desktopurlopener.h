// Opens web addresses in the user's default browser.
#pragma once

#include "net/urlopener.h"

namespace net {

class DesktopUrlOpener : public UrlOpener {
protected:
    void openWebAddress(const QUrl& url) override;
};

} // namespace net

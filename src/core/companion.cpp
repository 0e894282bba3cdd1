#include "core/companion.h"

#include "net/scan.h"

namespace app {

QString framedPayload(QStringView page)
{
    const QStringView marker(kPayloadMarker);
    const qsizetype start = page.indexOf(marker);
    if (start < 0)
        return {};
    const qsizetype from = start + marker.size();
    const qsizetype end = page.indexOf(u"</body>", from);
    return end < 0 ? QString() : page.mid(from, end - from).toString();
}

std::optional<QString> onlineCount(QStringView page)
{
    const QStringView marker(kPayloadMarker);
    qsizetype from = 0;
    for (qsizetype p = 0; p < page.size(); ++p) {
        if (net::at(page, p, marker))
            from = p + marker.size();
        if (net::at(page, p, u"</body>"))
            return net::trimBlanks(page.mid(from, qMax<qsizetype>(0, p - from)));
    }
    return std::nullopt;
}

} // namespace app

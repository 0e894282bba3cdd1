#include "info/blogsearch.h"

#include "core/companion.h"
#include "net/codecs.h"
#include "net/scan.h"

namespace info {

namespace {

// The framed body: from the last marker before the first "</body>" that follows a marker.
QByteArrayView framedBody(QByteArrayView reply)
{
    const QByteArray marker = QString::fromUtf16(app::kPayloadMarker).toLatin1();
    const qsizetype first = reply.indexOf(marker);
    if (first < 0)
        return {};
    const qsizetype end = reply.indexOf("</body>", first + marker.size());
    if (end < 0)
        return {};
    const qsizetype from = reply.lastIndexOf(marker, end - marker.size()) + marker.size();
    return reply.sliced(from, end - from);
}

// A real address or name is far shorter. Fields are cut to this length, so a payload of stars
// or bars without their partners, where every field runs back to the same start, costs no more
// than a bounded copy per field.
constexpr qsizetype kMaxFieldBytes = 4096;

QString text(QByteArrayView bytes)
{
    const QByteArrayView field = net::trimBlanks(bytes);
    return net::fromGbk(field.first(qMin(field.size(), kMaxFieldBytes)).toByteArray());
}

} // namespace

BlogDirectory parseBlogDirectory(const QByteArray& reply)
{
    BlogDirectory dir;
    const QByteArrayView body = net::trimBlanks(framedBody(reply));
    // One pass with a field counter: the first "*" ends today's link, the first "|" ends the
    // ignored field, then every "*" ends an address and every "|" a name.
    int counter = 0;
    qsizetype addressStart = 0, nameStart = 0;
    for (qsizetype p = 0; p < body.size(); ++p) {
        if (body[p] == '*') {
            if (counter == 0) {
                dir.todayLink = text(body.first(p));
                counter = 1;
            } else if (dir.addresses.size() < kMaxBlogs) {
                dir.addresses.append(text(body.sliced(addressStart, p - addressStart)));
            }
            nameStart = p + 1;
        } else if (body[p] == '|' && counter != 0) {
            addressStart = p + 1;
            if (counter != 1 && dir.names.size() < kMaxBlogs)
                dir.names.append(text(body.sliced(nameStart, p - nameStart)));
            ++counter;
        }
    }
    return dir;
}

bool mentionsStock(const QByteArray& page, const QString& name, const QString& code)
{
    // An empty name or code is contained in every text: it finds nothing.
    auto found = [&](const QString& reading) {
        return (!name.isEmpty() && reading.contains(name)) || (!code.isEmpty() && reading.contains(code));
    };
    return found(net::fromGbk(page)) || found(net::fromUtf8(page));
}

} // namespace info

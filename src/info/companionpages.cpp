#include "info/companionpages.h"

#include "core/companion.h"
#include "net/codecs.h"
#include "net/scan.h"

namespace info {

namespace {

// The server sends one "*" and one "{" per record. A record with more is taken as far as its
// second "*" and a template as far as its second "{": every further one would copy the whole
// record again, and a garbage payload of stars and braces would grow without bound.
constexpr int kMaxSplits = 2;

void addRecord(SiteEvaluations& out, const QString& record, const QString& code)
{
    const bool shenzhenRule = code.startsWith(u'0') || code.startsWith(u'3');
    qsizetype star = record.indexOf(u'*');
    for (int s = 0; s < kMaxSplits && star >= 0; ++s, star = record.indexOf(u'*', star + 1)) {
        if (out.names.size() >= kMaxSites)
            return;
        const QStringView tmpl = QStringView(record).first(star);
        qsizetype brace = tmpl.indexOf(u'{');
        for (int b = 0; b < kMaxSplits && brace >= 0; ++b, brace = tmpl.indexOf(u'{', brace + 1)) {
            QString prefix = tmpl.first(brace).toString();
            if (shenzhenRule && prefix.contains(u"sh"))
                prefix = prefix.chopped(2) + QStringLiteral("sz");
            out.addresses.append(prefix + code + tmpl.sliced(brace + 1).toString());
        }
        out.names.append(record.sliced(star + 1));
    }
}

} // namespace

SiteEvaluations parseSiteEvaluations(const QByteArray& reply, const QString& code)
{
    SiteEvaluations out;
    const QByteArray marker = QString::fromUtf16(app::kPayloadMarker).toLatin1();
    qsizetype recordStart = -1;   // -1: no marker seen yet
    for (qsizetype p = 0; p < reply.size(); ++p) {
        if (net::at(reply, p, marker)) {
            recordStart = p + marker.size();
        } else if (recordStart >= 0 && reply[p] == ']') {
            const QByteArrayView record = net::trimBlanks(QByteArrayView(reply).sliced(recordStart, p - recordStart));
            recordStart = p + 1;
            // Only a record with a "*" adds anything; the others are not worth decoding.
            if (record.contains('*'))
                addRecord(out, net::fromGbk(record.toByteArray()), code);
            if (out.names.size() >= kMaxSites)
                break;
        }
    }
    return out;
}

QString dailyIndexAddress(const QString& base, const QDate& today)
{
    // The day before, across a month or year boundary: on the 1st it is the last day of the
    // previous month.
    return base + QStringLiteral("/a/") + today.addDays(-1).toString(QStringLiteral("yyyyMMdd")) + u'/';
}

} // namespace info

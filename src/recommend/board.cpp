#include "recommend/board.h"

#include "core/companion.h"
#include "net/codecs.h"
#include "net/scan.h"

namespace recommend {

namespace {

constexpr QStringView kRecordOpen = u"$a0";
constexpr QStringView kRecordClose = u"$a4";
constexpr QStringView kFieldEnds[3] = {u"$a1", u"$a2", u"$a3"};
constexpr qsizetype kTokenSize = 3;

// Splits a trimmed record at its three field tokens; false when they are not each there once,
// in order.
bool splitRecord(QStringView record, Recommendation& out)
{
    qsizetype found[3] = {-1, -1, -1};
    for (qsizetype i = 0; i < record.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            if (!net::at(record, i, kFieldEnds[k]))
                continue;
            if (found[k] >= 0)
                return false;   // the token again
            found[k] = i;
        }
    }
    if (found[0] < 0 || found[1] < found[0] || found[2] < found[1])
        return false;
    // Each field runs from just past the previous token to just before its own.
    out.address = record.left(found[0]).toString();
    out.stock = record.mid(found[0] + kTokenSize, found[1] - found[0] - kTokenSize).toString();
    out.reason = record.mid(found[1] + kTokenSize, found[2] - found[1] - kTokenSize).toString();
    out.time = record.mid(found[2] + kTokenSize).toString();
    return true;
}

// A key that tells two records apart exactly: each field with its length in front.
QString recordKey(const QString& a, const QString& s, const QString& r, const QString& t)
{
    QString key;
    key.reserve(a.size() + s.size() + r.size() + t.size() + 24);
    for (const QString* f : {&a, &s, &r, &t})
        key += QString::number(f->size()) + u':' + *f;
    return key;
}

bool breaksLine(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7f || u == 0x2028 || u == 0x2029;
}

} // namespace

QList<Recommendation> parseBoard(QStringView page)
{
    QList<Recommendation> out;
    const QStringView marker(app::kPayloadMarker);
    const qsizetype armed = page.indexOf(marker);
    if (armed < 0)
        return out;
    qsizetype recordStart = -1;   // just past the last "$a0"; -1 while no record is open
    for (qsizetype i = armed + marker.size(); i < page.size(); ++i) {
        if (page[i] != u'$')
            continue;
        if (net::at(page, i, kRecordOpen)) {
            recordStart = i + kTokenSize;
        } else if (net::at(page, i, kRecordClose)) {
            if (recordStart >= 0) {
                const QString record = net::trimBlanks(page.mid(recordStart, i - recordStart));
                Recommendation r;
                if (splitRecord(record, r))
                    out.append(r);
            }
            recordStart = -1;
        }
    }
    return out;
}

bool RecommendationList::merge(const QList<Recommendation>& records)
{
    bool added = false;
    for (const Recommendation& r : records) {
        const QString key = recordKey(r.address, r.stock, r.reason, r.time);
        if (m_known.contains(key))
            continue;
        m_known.insert(key);
        const qsizetype at = m_firstLoadDone ? 0 : RecommendAddresses.size();
        RecommendAddresses.insert(at, r.address);
        RecommendStocks.insert(at, r.stock);
        RecommendReasons.insert(at, r.reason);
        RecommendTimes.insert(at, r.time);
        added = true;
    }
    m_firstLoadDone = true;
    return added;
}

Recommendation RecommendationList::at(qsizetype i) const
{
    return {RecommendAddresses.value(i), RecommendStocks.value(i), RecommendReasons.value(i),
            RecommendTimes.value(i)};
}

QString lineCaption(const Recommendation& r)
{
    QString caption = QStringLiteral("    ") + r.address + QStringLiteral("   ") + r.stock
                      + QStringLiteral("   ") + r.reason;
    for (QChar& c : caption)
        if (breaksLine(c))
            c = u' ';
    return caption;
}

QString lineHint(const Recommendation& r)
{
    return r.reason + QStringLiteral("【推荐时间：") + r.time + QStringLiteral("】");
}

bool isStockCode(QStringView code)
{
    if (code.size() != 6)
        return false;
    for (QChar c : code)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

PostOutcome postOutcome(QStringView reply)
{
    return {reply.contains(u"超过"), reply.contains(u"成功")};
}

bool reasonFits(const QString& reason)
{
    return net::toGbk(reason).size() <= kMaxReasonBytes;
}

} // namespace recommend

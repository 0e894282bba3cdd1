#include "recommend.h"

#include "companion.h"
#include "market.h"

#include "core/calendar.h"


namespace server::recommend {

using namespace feed;

namespace {

QDateTime postedAt(const StoredRecommendation& r)
{
    return QDateTime::fromMSecsSinceEpoch(r.postedMsecs);
}

} // namespace

QString shownAddress(const QString& address)
{
    const qsizetype dot = address.lastIndexOf(u'.');
    if (dot < 0 || address.contains(u':'))
        return address;
    return address.left(dot + 1) + u'*';
}

QString shownStock(const StoredRecommendation& r)
{
    return r.name + u'(' + r.code + u')';
}

QString shownTime(const StoredRecommendation& r)
{
    const QDateTime t = postedAt(r);
    return app::dateText(t.date()) + u' ' + app::timeText(t.time());
}

QString showPayload(const QList<StoredRecommendation>& posts)
{
    QString out;
    for (const StoredRecommendation& r : posts)
        out += QStringLiteral("$a0") + shownAddress(r.address) + QStringLiteral("$a1") + shownStock(r)
               + QStringLiteral("$a2") + r.reason + QStringLiteral("$a3") + shownTime(r) + QStringLiteral("$a4<br>\n");
    return out;
}

QString boardPage(const QList<StoredRecommendation>& posts)
{
    QString rows;
    for (const StoredRecommendation& r : posts)
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>\n")
                    .arg(companion::htmlEscape(shownAddress(r.address)), companion::htmlEscape(shownStock(r)),
                         companion::htmlEscape(r.reason), companion::htmlEscape(shownTime(r)));
    if (posts.isEmpty())
        rows = QStringLiteral("<tr><td colspan=\"4\">还没有人荐股。</td></tr>\n");
    return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                          "<title>全部荐股内容</title></head><body>"
                          "<h3>汇澜股票情报系统——网友荐股</h3><p>共 %1 条，最新的在前。</p>"
                          "<table border=\"1\" cellpadding=\"4\"><tr><th>推荐人IP地址</th><th>推荐的股票</th>"
                          "<th>推荐理由</th><th>推荐时间</th></tr>\n%2</table></body></html>")
        .arg(posts.size())
        .arg(rows);
}

QString overLimit(int perDay)
{
    return QStringLiteral("今日荐股次数超过%1次").arg(perDay);
}

FormReply answerPost(CompanionStore& store, const QString& address, const QDateTime& now,
                     const std::function<QString(const QString&)>& field, int perDay)
{
    const QString code = field(QStringLiteral("gpdm"));
    const QString name = field(QStringLiteral("gpmc"));
    const QString reason = field(QStringLiteral("tjly"));
    if (!CompanionStore::acceptsValue(QStringLiteral("gpdm"), code))
        return {companion::badFieldPayload(QStringLiteral("gpdm")), 200};
    if (name.trimmed().isEmpty() || !CompanionStore::acceptsValue(QStringLiteral("gpmc"), name))
        return {companion::badFieldPayload(QStringLiteral("gpmc")), 200};
    if (reason.trimmed().isEmpty() || !CompanionStore::acceptsValue(QStringLiteral("tjly"), reason))
        return {companion::badFieldPayload(QStringLiteral("tjly")), 200};
    const StoredRecommendation post{address, code, name, reason, now.toMSecsSinceEpoch()};
    switch (store.addRecommendation(post, app::dateText(now.date()), perDay)) {
    case CompanionStore::Post::Added: return {kPostAccepted, 200};
    case CompanionStore::Post::OverLimit: return {overLimit(perDay), 200};
    case CompanionStore::Post::Refused: return {companion::badFieldPayload(QStringLiteral("tjly")), 200};
    case CompanionStore::Post::Failed: break;
    }
    // The database is away: worth trying again later.
    return {companion::kServerBusy, 503};
}

void seedBoard(CompanionStore& store, const Market& market, const QDateTime& now)
{
    bool ok = false;
    if (store.recommendationCount(&ok) > 0 || !ok)
        return;
    const QStringList codes = market.codes();
    if (codes.isEmpty())
        return;
    // Addresses from the ranges kept for documentation, so no real machine is named.
    const struct { const char* address; int minutesAgo; const char* reason; } seeds[] = {
        {"203.0.113.27", 185, "业绩预增，主力资金连续三日净流入"},
        {"198.51.100.64", 150, "回踩年线企稳，量能温和放大"},
        {"192.0.2.118", 96, "行业景气度回升，估值偏低"},
        {"203.0.113.201", 47, "大单持续买入，突破前期平台"},
        {"198.51.100.9", 12, "政策利好板块龙头，可逢低关注"},
    };
    qsizetype k = 0;
    for (const auto& s : seeds) {
        const QString code = codes[(k * 7 + 3) % codes.size()];
        ++k;
        const QDateTime at = now.addSecs(-60 * s.minutesAgo);
        store.addRecommendation({QString::fromLatin1(s.address), code, market.nameOf(code), QString::fromUtf8(s.reason),
                                 at.toMSecsSinceEpoch()},
                                app::dateText(at.date()), kPostsPerDay);
    }
}

} // namespace server::recommend

#include "evaluations.h"

#include "market.h"
#include "worldpick.h"

#include <QRegularExpression>

namespace sandbox::evaluations {

using namespace feed;

namespace {

struct SiteDef {
    const char* id;
    const char* pathTemplate;   // after the base address
    const char* name;
};

// The templates that carry "sh" have it right before the code; none has "sh" anywhere else.
constexpr SiteDef kSites[] = {
    {"hx", "/pj/hx/sh{.html", "和讯个股评级"},
    {"qq", "/pj/qq/{.html", "腾讯财经诊股"},
    {"sina", "/pj/sina/quote.php?symbol=sh{", "新浪个股点评"},
    {"cfi", "/pj/cfi/rating.aspx?code={&type=pj", "中财网综合评价"},
    {"ifeng", "/pj/ifeng/sh{/pingji.html", "凤凰财经评级"},
    {"jrj", "/pj/jrj/{.html", "金融界个股诊断"},
};

const char* const kRatings[] = {"买入", "增持", "中性", "减持"};

} // namespace

QList<Site> sites(const QString& baseUrl)
{
    QList<Site> out;
    for (const SiteDef& site : kSites)
        out.append({baseUrl + QLatin1String(site.pathTemplate), QString::fromUtf8(site.name)});
    return out;
}

std::optional<QString> page(Market& market, const QString& path, const QString& query, const QDateTime& t)
{
    static const QRegularExpression sitePattern(QStringLiteral("^/pj/([a-z]+)/"));
    static const QRegularExpression codePattern(QStringLiteral("(\\d{6})"));
    const QRegularExpressionMatch siteMatch = sitePattern.match(path);
    if (!siteMatch.hasMatch())
        return std::nullopt;
    const SiteDef* site = nullptr;
    for (const SiteDef& s : kSites)
        if (siteMatch.captured(1) == QLatin1String(s.id))
            site = &s;
    const QRegularExpressionMatch codeMatch = codePattern.match(path + u'?' + query);
    if (!site || !codeMatch.hasMatch())
        return std::nullopt;
    const QString code = codeMatch.captured(1);
    const std::optional<StockQuote> quote = market.quote(code, t);
    if (!quote)
        return std::nullopt;

    const quint64 pick = worldPick(market.seed(), 0xE7A1, quint64(code.toLongLong()),
                                   quint64(t.date().toJulianDay()) * 16 + quint64(site - kSites));
    const int score = 40 + int(pick % 55);
    const QString siteName = QString::fromUtf8(site->name);
    const QString body =
        QStringLiteral("<h1>%1：%2(%3)</h1><table border=\"1\" cellpadding=\"4\">"
                       "<tr><td>最新价</td><td>%4</td></tr><tr><td>涨跌幅</td><td>%5%</td></tr>"
                       "<tr><td>综合评分</td><td>%6</td></tr><tr><td>评级</td><td>%7</td></tr></table>"
                       "<p>评价日期：%8。本评价由模型自动生成，仅供参考。</p>")
            .arg(siteName, quote->name, code)
            .arg(quote->last, 0, 'f', 2)
            .arg(quote->changePercent(), 0, 'f', 2)
            .arg(score)
            .arg(QString::fromUtf8(kRatings[(pick >> 16) % std::size(kRatings)]), t.date().toString(Qt::ISODate));
    return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                          "<title>%1 %2</title></head><body>%3</body></html>")
        .arg(siteName, quote->name, body);
}

} // namespace sandbox::evaluations

#include "companioninfo.h"

#include "blogs.h"
#include "evaluations.h"
#include "market.h"
#include "newsflash.h"

#include <algorithm>

namespace sandbox::companioninfo {

QString directoryPayload(const QString& todayLink, const QDateTime& t, const QList<blogs::Entry>& blogs)
{
    QString out = todayLink + u'*' + t.date().toString(Qt::ISODate) + QStringLiteral("|\r\n");
    for (const blogs::Entry& blog : blogs)
        out += blog.address + u'*' + blog.name + QStringLiteral("|\r\n");
    return out;
}

QString evaluationsPayload(const QList<evaluations::Site>& sites)
{
    QString out = QStringLiteral("\r\n");
    for (const evaluations::Site& site : sites)
        out += site.addressTemplate + u'*' + site.name + QStringLiteral("]\r\n");
    return out;
}

QString todayInfoPage(Market& market, const QString& baseUrl, const QDateTime& t)
{
    QString news;
    for (const newsflash::Item& item : newsflash::itemsOfDay(market, t.date()))
        if (item.time <= t)
            news += QStringLiteral("<li>%1 <a href=\"%2%3\" target=\"_blank\">%4</a></li>")
                        .arg(item.time.toString(QStringLiteral("hh:mm")), baseUrl, newsflash::articlePath(item),
                             item.headline.toHtmlEscaped());
    QList<StockQuote> quotes = market.quotes(t);
    std::sort(quotes.begin(), quotes.end(),
              [](const StockQuote& a, const StockQuote& b) { return a.changePercent() > b.changePercent(); });
    QString movers;
    for (qsizetype i = 0; i < quotes.size() && i < 5; ++i)
        movers += QStringLiteral("<li>%1(%2) %3%</li>")
                      .arg(quotes[i].name, quotes[i].code)
                      .arg(quotes[i].changePercent(), 0, 'f', 2);
    return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                          "<title>今日重大信息</title></head><body><h2>%1 今日重大信息</h2>"
                          "<h3>要闻</h3><ul>%2</ul><h3>涨幅居前</h3><ul>%3</ul></body></html>")
        .arg(t.date().toString(Qt::ISODate), news.isEmpty() ? QStringLiteral("<li>暂无</li>") : news, movers);
}

} // namespace sandbox::companioninfo

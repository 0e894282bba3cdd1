#include "newsflash.h"

#include "market.h"
#include "marketfeed.h"
#include "worldpick.h"

#include <QRegularExpression>

#include <algorithm>

namespace sandbox::newsflash {

using namespace feed;

namespace {

// When the day's items appear.
constexpr int kSlots[][2] = {{7, 45}, {9, 35}, {11, 32}, {13, 5}, {15, 3}, {17, 20}, {20, 10}};

const char* const kHeadlines[] = {
    "%1获机构密集调研 多家券商上调评级",
    "沪深两市早盘震荡 %1领涨板块",
    "%1发布业绩预告 净利润同比增长",
    "北向资金午后加速流入 %1获增持",
    "%1大宗交易成交活跃 折价率收窄",
    "两市成交额放大 %1等权重股护盘",
    "%1公告回购计划 拟斥资不超过十亿元",
    "央行开展逆回购操作 银行股%1走强",
};

QString page(const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                          "<title>%1_东方财富网</title></head><body>%2</body></html>")
        .arg(title, body);
}

} // namespace

QString articlePath(const Item& item)
{
    return QStringLiteral("/news/1406,%1.html").arg(item.id);
}

QList<Item> itemsOfDay(const Market& market, const QDate& date)
{
    const QStringList codes = market.codes();
    QList<Item> items;
    if (codes.isEmpty())
        return items;   // a world without stocks has no news about them
    int slot = 0;
    for (const auto& [hour, minute] : kSlots) {
        const quint64 pick = worldPick(market.seed(), 0x4E455753, quint64(date.toJulianDay()), quint64(slot++));
        const QString name = market.nameOf(codes[int(pick % quint64(codes.size()))]);
        const QString headline = QString::fromUtf8(kHeadlines[(pick >> 20) % std::size(kHeadlines)]).arg(name);
        Item item;
        item.time = QDateTime(date, QTime(hour, minute));
        item.id = item.time.toString(QStringLiteral("yyyyMMddhhmm"));
        item.headline = headline;
        item.body = QStringLiteral("东方财富网%1讯，%2。市场人士认为，短期内相关个股仍有望保持活跃，投资者需注意风险。")
                        .arg(item.time.toString(QStringLiteral("M月d日")), headline);
        items.append(item);
    }
    return items;
}

QList<Item> latest(const Market& market, const QDateTime& t, int count)
{
    QList<Item> out;
    for (QDate day = t.date(); out.size() < count && day > t.date().addDays(-7); day = day.addDays(-1)) {
        const QList<Item> items = itemsOfDay(market, day);
        for (auto it = items.crbegin(); it != items.crend() && out.size() < count; ++it)
            if (it->time <= t)
                out.append(*it);
    }
    return out;
}

QList<NewsEntry> entries(const QList<Item>& items)
{
    QList<NewsEntry> out;
    for (const Item& item : items)
        out.append({item.time, item.headline, QString(), item.id});
    return out;
}

QString listPageOf(const QString& baseUrl, const QList<NewsEntry>& items)
{
    QString list;
    for (const NewsEntry& item : items) {
        const QString headline = item.headline.toHtmlEscaped();
        const QString link = item.url.isEmpty() ? baseUrl + QStringLiteral("/news/1406,%1.html").arg(item.id) : item.url;
        list += QStringLiteral("<li><span>%1</span><a href=\"%2\" title=\"%3\" target=\"_blank\">%3</a></li>\r\n")
                    .arg(item.time.toString(QStringLiteral("MM-dd hh:mm")), link.toHtmlEscaped(), headline);
    }
    return page(QStringLiteral("财经快讯"),
                QStringLiteral("<div class=\"nav\"><a href=\"%1/\" title=\"东方财富网首页\" target=\"_top\">首页</a></div>"
                               "<div class=\"mainCont\"><h2>股市直播</h2><ul class=\"list\">\r\n%2</ul></div>")
                    .arg(baseUrl, list));
}

QString listPage(const Market& market, const QString& baseUrl, const QDateTime& t)
{
    return listPageOf(baseUrl, entries(latest(market, t, 12)));
}

std::optional<QString> articlePage(const Market& market, const QString& path, const QDateTime& t)
{
    static const QRegularExpression pattern(QStringLiteral("^/news/1406,(\\d{12})\\.html$"));
    const QRegularExpressionMatch m = pattern.match(path);
    if (!m.hasMatch())
        return std::nullopt;
    const QDateTime when = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMddhhmm"));
    if (!when.isValid() || when > t)
        return std::nullopt;
    for (const Item& item : itemsOfDay(market, when.date()))
        if (item.id == m.captured(1))
            return page(item.headline, QStringLiteral("<h1>%1</h1><div class=\"time\">%2</div><p>%3</p>")
                                           .arg(item.headline.toHtmlEscaped(),
                                                item.time.toString(QStringLiteral("yyyy年MM月dd日 hh:mm")),
                                                item.body.toHtmlEscaped()));
    return std::nullopt;
}

QString todayInfoPage(Market& market, const QString& baseUrl, const QDateTime& t)
{
    QString news;
    for (const Item& item : itemsOfDay(market, t.date()))
        if (item.time <= t)
            news += QStringLiteral("<li>%1 <a href=\"%2%3\" target=\"_blank\">%4</a></li>")
                        .arg(item.time.toString(QStringLiteral("hh:mm")), baseUrl, articlePath(item),
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

} // namespace sandbox::newsflash

#include "bigorder.h"

#include "market.h"
#include "marketfeed.h"

#include <QStringList>

#include <cmath>

namespace sandbox::bigorder {

using namespace feed;

namespace {

// Colour codes of the eight size buckets, in the order of BigOrderDay::bucketYuan.
const char* const kBucketColours[8] = {"#FF6666", "#FF3333", "#CC3333", "#990000",
                                       "#99FF00", "#00CC33", "#009966", "#336600"};
const char* const kBucketNames[8] = {"买入50万以下", "买入50-200万", "买入200-500万", "买入500万以上",
                                     "卖出50万以下", "卖出50-200万", "卖出200-500万", "卖出500万以上"};

QString joined(const QList<qint64>& values)
{
    QStringList out;
    for (qint64 v : values)
        out << QString::number(v);
    return out.join(u',');
}

// Whole percents of `parts` that add up to 100 (largest remainders first); all 0 when nothing traded.
QList<qint64> wholePercents(const double* parts, int n)
{
    double total = 0;
    for (int i = 0; i < n; ++i)
        total += parts[i];
    QList<qint64> out(n, 0);
    if (total <= 0)
        return out;
    QList<QPair<double, int>> rest;
    qint64 given = 0;
    for (int i = 0; i < n; ++i) {
        const double exact = parts[i] * 100.0 / total;
        out[i] = qint64(std::floor(exact));
        given += out[i];
        rest.append({exact - double(out[i]), i});
    }
    std::stable_sort(rest.begin(), rest.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (int k = 0; given < 100 && k < rest.size(); ++k, ++given)
        ++out[rest[k].second];
    return out;
}

QString pageHead(const QString& title)
{
    return QStringLiteral(
               "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html>\n<head>\n"
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
               "<title>%1</title>\n"
               "<style type=\"text/css\">body{margin:0;background:#fff;font-size:12px}"
               ".src{color:#999;text-align:right}</style>\n</head>\n<body>\n")
        .arg(title);
}

QString pageFoot()
{
    return QStringLiteral("<div class=\"src\">数据来源：千股千评 大单统计 &copy; 仅供参考</div>\n</body>\n</html>\n");
}

// The flash chart: the data in the object's FlashVars parameter and, when `embedToo`, again in
// the <embed> that browsers without ActiveX use.
QString chartObject(const QString& id, int width, int height, const QString& data, bool embedToo)
{
    QString html = QStringLiteral(
                       "<div id=\"%1_box\">\n"
                       "<object classid=\"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000\" "
                       "codebase=\"http://fpdownload.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=8,0,0,0\" "
                       "width=\"%2\" height=\"%3\" id=\"%1\">\n"
                       "<param name=\"allowScriptAccess\" value=\"sameDomain\" />\n"
                       "<param name=\"movie\" value=\"/ofc/open-flash-chart.swf?width=%2&height=%3\" />\n"
                       "<param name=\"quality\" value=\"high\" />\n"
                       "<param name=\"bgcolor\" value=\"#FFFFFF\" />\n"
                       "<param name=\"FlashVars\" value=\"%4\" />\n")
                       .arg(id)
                       .arg(width)
                       .arg(height)
                       .arg(data);
    if (embedToo)
        html += QStringLiteral("<embed src=\"/ofc/open-flash-chart.swf?width=%2&height=%3\" quality=\"high\" "
                               "bgcolor=\"#FFFFFF\" width=\"%2\" height=\"%3\" name=\"%1\" "
                               "allowScriptAccess=\"sameDomain\" type=\"application/x-shockwave-flash\" "
                               "pluginspage=\"http://www.macromedia.com/go/getflashplayer\" flashvars=\"%4\" />\n")
                    .arg(id)
                    .arg(width)
                    .arg(height)
                    .arg(data);
    return html + QStringLiteral("</object>\n</div>\n");
}

QString barData(const QString& title, const QStringList& labels, const QList<qint64>& buy,
                const QList<qint64>& sell)
{
    qint64 top = 1;
    for (qint64 v : buy + sell)
        top = std::max(top, v);
    return QStringLiteral("&title=%1,{font-size:12px;color:#333333}&\n"
                          "&x_labels=%2&\n&y_max=%3&\n&y_ticks=5,10,5&\n"
                          "&bar=60,#FF0000,大单买入,10&\n&values=%4&\n"
                          "&bar_2=60,#008000,大单卖出,10&\n&values_2=%5&\n")
        .arg(title, labels.join(u','))
        .arg(top + top / 10)
        .arg(joined(buy), joined(sell));
}

QString hourlyPage(const QString& title, const BigOrderDay& day)
{
    static const char* const ends[] = {"10:30", "11:30", "14:00", "15:00"};
    QStringList labels;
    QList<qint64> buy, sell;
    for (int h = 0; h < day.hoursDone; ++h) {
        labels << QString::fromLatin1(ends[h]);
        buy << day.hourBuy[h];
        sell << day.hourSell[h];
    }
    return pageHead(title + QStringLiteral(" 今日大单成交分时")) + QStringLiteral("<h3>%1 今日每小时大单成交</h3>\n").arg(title)
           + chartObject(QStringLiteral("bar_chart"), 300, 200, barData(title, labels, buy, sell), false)
           + pageFoot();
}

QString dayPage(const QString& title, const QList<BigOrderDay>& days)
{
    QStringList labels;
    QList<qint64> buy, sell;
    for (const BigOrderDay& d : days) {
        labels << d.date.toString(QStringLiteral("MM-dd"));
        buy << d.buyShares();
        sell << d.sellShares();
    }
    return pageHead(title + QStringLiteral(" 近期大单成交")) + QStringLiteral("<h3>%1 近%2日大单成交</h3>\n").arg(title).arg(days.size())
           + chartObject(QStringLiteral("bar_day"), 300, 200, barData(title, labels, buy, sell), false)
           + pageFoot();
}

QString piePage(const QString& title, const BigOrderDay& day)
{
    const QList<qint64> percents = wholePercents(day.bucketYuan, 8);
    QStringList colours, names;
    for (int i = 0; i < 8; ++i) {
        colours << QString::fromLatin1(kBucketColours[i]);
        names << QString::fromUtf8(kBucketNames[i]);
    }
    const QString data = QStringLiteral("&title=%1 今日大单成交分布,{font-size:12px;color:#333333}&\n"
                                        "&pie=60,#505050,{font-size: 12px; color: #404040;}&\n"
                                        "&values=%2&\n&colours=%3&\n&pie_labels=%4&\n")
                             .arg(title, joined(percents), colours.join(u','), names.join(u','));
    return pageHead(title + QStringLiteral(" 今日大单成交分布")) + QStringLiteral("<h3>%1 今日大单成交分布</h3>\n").arg(title)
           + chartObject(QStringLiteral("pie_chart"), 300, 220, data, true) + pageFoot();
}

QString noDataPage()
{
    return pageHead(QStringLiteral("千股千评 大单统计"))
           + QStringLiteral("<p class=\"msg\">没有找到该股票的大单数据，请检查股票代码。</p>\n") + pageFoot();
}

} // namespace

std::optional<Request> parse(const QString& path)
{
    // /stock/<market>/<code>/<file>
    const QStringList parts = path.split(u'/');
    if (parts.size() != 5 || !parts[0].isEmpty() || parts[1].compare(QLatin1String("stock"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString file = parts[4].toLower();
    Kind kind;
    if (file == QLatin1String("single-bar.htm"))
        kind = Kind::Hourly;
    else if (file == QLatin1String("single-barday.htm"))
        kind = Kind::Day;
    else if (file == QLatin1String("single-pie.htm"))
        kind = Kind::Pie;
    else
        return std::nullopt;
    const QString code = parts[3];
    const QString prefix = code.startsWith(u'6') ? QStringLiteral("sh") : QStringLiteral("sz");
    return Request{kind, code, parts[2].toLower() == prefix};
}

QString pageFor(const Request& request, const BigOrderAnswer& answer)
{
    if (answer.name.isEmpty() || !request.marketMatches || answer.days.isEmpty())
        return noDataPage();
    const QString title = answer.name + u'(' + request.code + u')';
    if (request.kind == Kind::Day)
        return dayPage(title, answer.days);
    const BigOrderDay& today = answer.days.last();
    return request.kind == Kind::Hourly ? hourlyPage(title, today) : piePage(title, today);
}

std::optional<QString> page(Market& market, const QString& path, const QDateTime& t)
{
    const std::optional<Request> request = parse(path);
    if (!request)
        return std::nullopt;
    if (!market.contains(request->code) || !request->marketMatches)
        return noDataPage();
    return pageFor(*request, {market.nameOf(request->code), market.bigOrderDays(request->code, t, request->days())});
}

} // namespace sandbox::bigorder

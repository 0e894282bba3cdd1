#include "bigorder/bigorderrules.h"

#include "core/calendar.h"

#include <algorithm>
#include <cmath>

namespace bigorder {

std::optional<qint64> shareCount(QStringView item)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < item.size() && (item[i] == u'-' || item[i] == u'+')) {
        negative = item[i] == u'-';
        ++i;
    }
    if (i == item.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < item.size(); ++i) {
        const char16_t c = item[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (value > (std::numeric_limits<qint64>::max() - (c - u'0')) / 10)
            return std::nullopt;   // too large to be a share count
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

QString lotText(qint64 shares)
{
    return QString::number(shares / 100);   // C++ division truncates toward zero
}

double barValue(qint64 shares)
{
    return double(shares) / 100.0;
}

QString notIntegerText(const QString& item)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(item);
}

QString indexOutOfBoundsText(qsizetype index)
{
    return QStringLiteral("List index out of bounds (%1)").arg(index);
}

namespace {

QString stockPrefix(const QString& name, const QString& code)
{
    return name + u'(' + code + u')';
}

// Adds the points of `values` from index `first` on, labelled by `labels` (or by their lot text
// when `labels` is null). Stops at the first bad item or missing label and records the message.
bool addPoints(QList<BarPoint>& out, const QStringList& values, qsizetype first,
               const QStringList* labels, QString& error)
{
    for (qsizetype i = first; i < values.size(); ++i) {
        const std::optional<qint64> shares = shareCount(values[i]);
        if (!shares) {
            error = notIntegerText(values[i]);
            return false;
        }
        if (labels && i >= labels->size()) {
            error = indexOutOfBoundsText(i);
            return false;
        }
        out.append({barValue(*shares), labels ? labels->at(i) : lotText(*shares)});
    }
    return true;
}

} // namespace

BarChartData hourChart(const QString& name, const QString& code, const BigOrderLists& lists)
{
    static const char16_t* const hourEnds[] = {u"10:30", u"11:30", u"14:00", u"15:00"};
    BarChartData d;
    d.caption = stockPrefix(name, code) + QStringLiteral("今日每小时大单成交分布图");
    if (!addPoints(d.buy, lists.HourBuyList, 0, nullptr, d.error))
        return d;
    for (qsizetype i = 0; i < 4 && i < d.buy.size(); ++i)
        d.buy[i].label = QString::fromUtf16(hourEnds[i]);
    addPoints(d.sell, lists.HourSellList, 0, nullptr, d.error);
    return d;
}

BarChartData dayChart(const QString& name, const QString& code, const BigOrderLists& lists)
{
    BarChartData d;
    const qsizetype n = lists.DayBuyList.size();
    // The five most recent days; fewer when the page has fewer.
    const qsizetype first = n >= 5 ? n - 5 : 0;
    d.caption = stockPrefix(name, code) + QStringLiteral("近%1日大单成交分布图").arg(n >= 5 ? 5 : n);
    if (addPoints(d.buy, lists.DayBuyList, first, &lists.DayLabelList, d.error))
        addPoints(d.sell, lists.DaySellList, first, &lists.DayLabelList, d.error);
    return d;
}

TenDayData tenDayChart(const QString& name, const QString& code, const BigOrderLists& lists)
{
    TenDayData t;
    qint64 buyTotal = 0, sellTotal = 0;
    for (qsizetype i = 0; i < lists.DayBuyList.size(); ++i) {
        const std::optional<qint64> buy = shareCount(lists.DayBuyList[i]);
        if (!buy) {
            t.chart.error = notIntegerText(lists.DayBuyList[i]);
            return t;
        }
        buyTotal += *buy / 100;
    }
    for (qsizetype i = 0; i < lists.DayBuyList.size(); ++i) {
        if (i >= lists.DaySellList.size()) {
            t.chart.error = indexOutOfBoundsText(i);
            return t;
        }
        const std::optional<qint64> sell = shareCount(lists.DaySellList[i]);
        if (!sell) {
            t.chart.error = notIntegerText(lists.DaySellList[i]);
            return t;
        }
        sellTotal += *sell / 100;
    }
    const qint64 net = buyTotal - sellTotal;
    const QString head = QStringLiteral("近10日 大单流入:%1手  大单流出:%2手  ").arg(buyTotal).arg(sellTotal);
    if (net > 0) {
        t.totals = head + QStringLiteral("合计流入:%1手").arg(net);
        t.totalsColour = kRed;
    } else {
        t.totals = head + QStringLiteral("合计流出:%1手").arg(net);
        t.totalsColour = kGreen;
    }
    t.chart.caption = stockPrefix(name, code)
                      + QStringLiteral("近%1日大单成交分布图").arg(lists.DayBuyList.size());
    if (addPoints(t.chart.buy, lists.DayBuyList, 0, &lists.DayLabelList, t.chart.error))
        addPoints(t.chart.sell, lists.DaySellList, 0, &lists.DayLabelList, t.chart.error);
    return t;
}

const QList<Bucket>& bucketTable()
{
    static const QList<Bucket> table = {
        {"#FF6666", QStringLiteral("单笔买入50万以下"), rgb(255, 0, 17)},
        {"#FF3333", QStringLiteral("单笔买入50-200万"), rgb(255, 0, 68)},
        {"#CC3333", QStringLiteral("单笔买入200-500万"), rgb(255, 0, 136)},
        {"#990000", QStringLiteral("单笔买入500万以上"), rgb(255, 0, 153)},
        {"#99FF00", QStringLiteral("单笔卖出50万以下"), rgb(0, 128, 0)},
        {"#00CC33", QStringLiteral("单笔卖出50-200万"), rgb(0, 128, 51)},
        {"#009966", QStringLiteral("单笔卖出200-500万"), rgb(0, 128, 102)},
        {"#336600", QStringLiteral("单笔卖出500万以上"), rgb(0, 128, 136)},
    };
    return table;
}

const Bucket* bucketFor(const QString& colourCode)
{
    for (const Bucket& b : bucketTable())
        if (colourCode == QLatin1String(b.code))
            return &b;
    return nullptr;
}

PieData pieChart(const QString& name, const QString& code, const QDate& today, const BigOrderLists& lists)
{
    PieData d;
    d.title = stockPrefix(name, code) + QStringLiteral("今日(") + app::dateText(today)
              + QStringLiteral(")大单进出成交分布图");
    const qsizetype n = std::min(lists.PieValueList.size(), lists.PieColourList.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString& value = lists.PieValueList[i];
        const std::optional<qint64> size = shareCount(value);
        if (!size) {
            d.error = notIntegerText(value);
            return d;
        }
        const QString& colourCode = lists.PieColourList[i];
        PieSlice slice;
        slice.size = *size;
        if (const Bucket* b = bucketFor(colourCode)) {
            slice.label = b->label + u'(' + value + QStringLiteral("%)");
            slice.colour = b->colour;
        } else {
            slice.label = colourCode + u'(' + value + QStringLiteral("%)");
            slice.colour = kUnknownBucketColour;
        }
        d.slices.append(slice);
    }
    return d;
}

FlowTick flowTick(const QDateTime& now, BigOrderLists& lists, FlowState& state)
{
    static const char16_t* const windows[] = {u"9:30-10:30", u"10:30-11:30", u"13:00-14:00",
                                              u"14:00-15:00"};
    FlowTick tick;
    const QDate today = now.date();
    if (state.day.isValid() && state.day != today) {
        state.reset();
        lists.HourBuyList.clear();
        lists.HourSellList.clear();
        tick.newDay = true;
    }
    state.day = today;
    if (tick.newDay || app::isWeekend(today) || app::wholeSeconds(now.time()) < QTime(10, 30))
        return tick;
    const QStringList& buys = lists.HourBuyList;
    const QStringList& sells = lists.HourSellList;
    const qsizetype k = buys.size();
    if (state.announced >= k)
        return tick;
    if (sells.size() < k)
        return tick;
    QList<qint64> buy, sell;
    for (const QString& item : buys) {
        const std::optional<qint64> v = shareCount(item);
        if (!v)
            return tick;
        buy.append(*v);
    }
    for (const QString& item : sells) {
        const std::optional<qint64> v = shareCount(item);
        if (!v)
            return tick;
        sell.append(*v);
    }
    qint64 buyTotal = 0, sellTotal = 0;
    for (qint64 b : buy)
        buyTotal += b / 100;
    for (qint64 s : sell)
        sellTotal += s / 100;
    const qint64 net = buyTotal - sellTotal;
    tick.totalsChanged = true;
    tick.totals = QStringLiteral("今日大单流入:%1手 大单流出:%2手 ").arg(buyTotal).arg(sellTotal)
                  + (net > 0 ? QStringLiteral("总计净流入%1手") : QStringLiteral("总计净流出%1手")).arg(net);
    tick.totalsColour = net > 0 ? kRed : kGreen;

    if (k < 1 || k > 4 || state.hourDone[k - 1])
        return tick;
    state.hourDone[k - 1] = true;
    ++state.announced;
    const qint64 b = buy[k - 1], s = sell[k - 1];
    FlowAnnouncement a;
    a.hour = int(k);
    const QString window = QStringLiteral("在 ") + QString::fromUtf16(windows[k - 1]);
    if (b > s)
        a.text = window + QStringLiteral(" 之间大单净流入%1手").arg((b - s) / 100);
    else
        a.text = window + QStringLiteral(" 之间大单净流出%1手").arg((s - b) / 100);
    a.inflow = a.text.contains(u'入');
    tick.announcement = a;
    return tick;
}

bool inReloadHours(const QTime& time)
{
    const QTime t = app::wholeSeconds(time);
    return t > QTime(10, 30) && t < QTime(15, 30);
}

ValueAxis valueAxis(const QList<double>& values, int parts)
{
    double lo = 0, hi = 0;
    for (double v : values) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    const double span = hi - lo;
    if (!(span > 0) || !std::isfinite(span))
        return {lo, lo + 1, 1};
    const double raw = span / std::max(parts, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    // The tolerance keeps a quotient like 2.0000000000000004 on its round step.
    const double f = raw / magnitude - 1e-9;
    const double step = (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * magnitude;
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

} // namespace bigorder

// What the big-order charts and the hourly flow announcements show, worked out from the lists:
// number conversion, bar points and captions, the ten-day totals, the pie buckets, and the
// five-second announcement decision. No widget here; the windows bind the results.
#pragma once

#include "bigorder/bigorderpages.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace bigorder {

// A colour as 0xAARRGGBB, the layout QColor takes (this file links no GUI module).
using Rgb = quint32;
constexpr Rgb rgb(int r, int g, int b)
{
    return 0xff000000u | (quint32(r) << 16) | (quint32(g) << 8) | quint32(b);
}

inline constexpr Rgb kRed = rgb(255, 0, 0);
inline constexpr Rgb kGreen = rgb(0, 128, 0);
inline constexpr Rgb kUnknownBucketColour = rgb(128, 128, 128);

inline const QString kBuySeriesTitle = QStringLiteral("大单买入");
inline const QString kSellSeriesTitle = QStringLiteral("大单卖出");

// A list item read as a signed decimal integer (shares); nothing when it is not one.
std::optional<qint64> shareCount(QStringView item);
// Shares to lots of 100, truncating toward zero, as text.
QString lotText(qint64 shares);
// The exact quotient shares / 100, for bar heights.
double barValue(qint64 shares);

// The message texts for a rebuild that meets a bad item.
QString notIntegerText(const QString& item);
QString indexOutOfBoundsText(qsizetype index);

struct BarPoint {
    double value = 0;
    QString label;
};

// One rebuild of a bar chart: caption or title, the buy and the sell points (each label is the
// axis label under the buy bar), and the error that stopped the rebuild early, if any. The points
// added before the error stay.
struct BarChartData {
    QString caption;
    QList<BarPoint> buy;
    QList<BarPoint> sell;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The hourly chart: caption "name(code)今日每小时大单成交分布图", bars labelled by the end of
// each hour ("10:30", "11:30", "14:00", "15:00").
BarChartData hourChart(const QString& name, const QString& code, const BigOrderLists& lists);
// The day chart: the five most recent days when there are five or more (caption "近5日"),
// otherwise all of them ("近n日").
BarChartData dayChart(const QString& name, const QString& code, const BigOrderLists& lists);

// The ten-day window: every day of the page, and the totals line under the chart.
struct TenDayData {
    BarChartData chart;   // caption is the chart title
    QString totals;
    Rgb totalsColour = kRed;
};
TenDayData tenDayChart(const QString& name, const QString& code, const BigOrderLists& lists);

// A pie bucket, found by the colour code the page gives it.
struct Bucket {
    const char* code;
    QString label;
    Rgb colour;
};
const QList<Bucket>& bucketTable();
const Bucket* bucketFor(const QString& colourCode);

struct PieSlice {
    qint64 size = 0;
    QString label;
    Rgb colour = kUnknownBucketColour;
};
struct PieData {
    QString title;
    QList<PieSlice> slices;
    QString error;   // a value that is not a whole number: the window is not shown
    bool ok() const { return error.isEmpty(); }
};
// The pie of today's trade sizes: one slice per value that has a colour code. A code outside the
// table gives a grey slice labelled with the code; values without a colour code are left out.
PieData pieChart(const QString& name, const QString& code, const QDate& today, const BigOrderLists& lists);

// The value axis of a bar chart: from `low` to `high` in `parts` or a few more steps of `step`,
// a round number (1, 2 or 5 times a power of ten); it covers every value and 0. Values that are
// not finite are left out.
struct ValueAxis {
    double low = 0;
    double high = 1;
    double step = 1;
};
ValueAxis valueAxis(const QList<double>& values, int parts);

// The announcement state of the hourly flow: how many trading hours were announced, which ones,
// and the trading day they belong to.
struct FlowState {
    int announced = 0;
    bool hourDone[4] = {false, false, false, false};
    QDate day;   // invalid until the first tick
    void reset()
    {
        announced = 0;
        for (bool& f : hourDone)
            f = false;
    }
};

struct FlowAnnouncement {
    int hour = 0;        // 1 to 4
    QString text;        // "在 9:30-10:30 之间大单净流入1876手"
    bool inflow = false; // red with the inflow picture, else green with the outflow picture
};

struct FlowTick {
    bool newDay = false;   // the local date changed since the last tick: yesterday's hours are gone
    bool totalsChanged = false;
    QString totals;
    Rgb totalsColour = kRed;
    std::optional<FlowAnnouncement> announcement;
};

// One five-second check at local moment `now`. Nothing on a weekend or before 10:30:00, nor once
// every finished hour has been announced. Otherwise the totals line is rewritten, and the newest
// hour is announced once (its flag set, the count raised). Lists holding a non-numeric item or
// fewer sell items than buy items end the check with nothing done. A new local date starts the
// announcements afresh and empties the hourly lists, which belong to the day before; that check
// ends there.
FlowTick flowTick(const QDateTime& now, BigOrderLists& lists, FlowState& state);

// The minute timer reloads the hourly and pie pages strictly between 10:30:00 and 15:30:00.
bool inReloadHours(const QTime& time);

} // namespace bigorder

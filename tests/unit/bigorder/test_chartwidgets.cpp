#include "bigorder/chartwidgets.h"

#include <QImage>
#include <QTest>

using namespace bigorder;

namespace {

// The rows and columns of `image` that hold pixels of exactly `colour`.
struct Extent {
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    bool found() const { return right >= 0; }
};

Extent extentOf(const QImage& image, const QColor& colour)
{
    Extent e;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                e.left = std::min(e.left, x);
                e.right = std::max(e.right, x);
                e.top = std::min(e.top, y);
                e.bottom = std::max(e.bottom, y);
            }
        }
    }
    return e;
}

BarChartData bars(QList<double> buy, QList<double> sell)
{
    BarChartData d;
    for (double v : buy)
        d.buy << BarPoint{v, QStringLiteral("12-0%1").arg(d.buy.size() + 1)};
    for (double v : sell)
        d.sell << BarPoint{v, QString::number(v)};
    return d;
}

} // namespace

class TestChartWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Buy bars red on the left of each category, sell bars green on the right; a negative value
    // hangs below the zero line, and clearing the series leaves no bar.
    void barsStandSideBySide()
    {
        BarChart chart("Chart1", false, true);
        chart.resize(276, 140);
        chart.showBars(bars({100, 50}, {80, -20}));
        QCOMPARE(chart.categories(), (QStringList{"12-01", "12-02"}));
        const QImage image = chart.grab().toImage();
        const Extent red = extentOf(image, QColor(255, 0, 0));
        const Extent green = extentOf(image, QColor(0, 128, 0));
        QVERIFY(red.found() && green.found());
        QVERIFY(red.left < green.left);
        QVERIFY(green.bottom > red.bottom + 5);   // the -20 bar below the axis
        QVERIFY(red.top < green.top);             // 100 stands higher than 80

        QCOMPARE(chart.accessibleDescription(),
                 QStringLiteral("大单买入：12-01 100，12-02 50\n大单卖出：12-01 80，12-02 -20"));

        chart.clearSeries();
        QVERIFY(chart.series().isEmpty());
        QCOMPARE(chart.accessibleDescription(), QString());
        QVERIFY(!extentOf(chart.grab().toImage(), QColor(255, 0, 0)).found());
    }

    // Empty series, and labels that are long, marked up or full of control characters, paint
    // as text without growing the chart.
    void awkwardData()
    {
        BarChart chart("Chart2", false, false);
        chart.resize(276, 120);
        chart.showBars(BarChartData{});
        QCOMPARE(chart.series().size(), 2);
        QVERIFY(!chart.grab().isNull());
        BarChartData d = bars({1}, {2, 3});
        d.buy[0].label = QStringLiteral("<b>x</b>\x01\n") + QString(100000, u'长');
        chart.showBars(d);
        QCOMPARE(chart.categories().size(), 2);
        QCOMPARE(chart.grab().size(), QSize(276, 120));

        // Far more points than pixels: the bars still fill the plot from left to right.
        QList<double> many(200000, 5.0);
        chart.showBars(bars(many, many));
        const Extent red = extentOf(chart.grab().toImage(), QColor(255, 0, 0));
        QVERIFY(red.found());
        QVERIFY(red.right - red.left > 200);
    }

    // Slices go clockwise from twelve o'clock; a slice of size 0 takes no room.
    void pieSlices()
    {
        PieChart pie("Chart1");
        pie.resize(400, 300);
        pie.setTitle(QStringLiteral("平安银行(000001)今日(2026-12-9)大单进出成交分布图"));
        pie.setSlices({PieSlice{60, QStringLiteral("单笔买入50万以下(60%)"), rgb(255, 0, 17)},
                       PieSlice{0, QStringLiteral("单笔买入50-200万(0%)"), rgb(0, 0, 255)},
                       PieSlice{40, QStringLiteral("单笔卖出50万以下(40%)"), rgb(0, 128, 0)}});
        // A screen reader gets the title and every label, the one of the slice not drawn too.
        QCOMPARE(pie.accessibleName(), pie.title());
        QCOMPARE(pie.accessibleDescription(),
                 QStringLiteral("单笔买入50万以下(60%)，单笔买入50-200万(0%)，单笔卖出50万以下(40%)"));
        const QImage image = pie.grab().toImage();
        const Extent red = extentOf(image, QColor(255, 0, 17));
        const Extent green = extentOf(image, QColor(0, 128, 0));
        QVERIFY(red.found() && green.found());
        QVERIFY(!extentOf(image, QColor(0, 0, 255)).found());
        QVERIFY(red.right > green.right);   // 60 % from twelve o'clock covers the right half
        QVERIFY(green.left < red.left);

        // Thousands of slices: the ones too small to draw are left out, the large one stays.
        QList<PieSlice> many;
        for (int i = 0; i < 100000; ++i)
            many.append(PieSlice{1, QStringLiteral("x%1").arg(i), rgb(0, 0, 255)});
        many.append(PieSlice{100000, QStringLiteral("大"), rgb(255, 0, 17)});
        pie.setSlices(many);
        QVERIFY(extentOf(pie.grab().toImage(), QColor(255, 0, 17)).found());

        pie.setSlices({});
        QVERIFY(!extentOf(pie.grab().toImage(), QColor(255, 0, 17)).found());
    }
};

QTEST_MAIN(TestChartWidgets)
#include "test_chartwidgets.moc"

#include "bigorder/chartwidgets.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bigorder {

namespace {

constexpr int kMargin = 4;
constexpr int kSwatch = 9;             // the legend's colour square
const QColor kGrid(225, 225, 225);
const QColor kAxis(150, 150, 150);
const QColor kText(60, 60, 60);

// The font every chart text but the title uses: the main window's small size, whose glyphs are
// already loaded when the charts are first painted.
QFont chartFont()
{
    QFont f;
    f.setPixelSize(11);
    return f;
}

QString tickText(double v)
{
    // Round steps of 1 and more are whole numbers; smaller ones need their decimals.
    return QString::number(v, 'f', std::abs(v) >= 1 || v == 0 ? 0 : 2);
}

} // namespace

Chart::Chart(const char* name, QWidget* parent)
    : QWidget(parent), m_titleFont(chartFont()), m_titleColour(kText)
{
    setObjectName(QString::fromLatin1(name));
    setFont(chartFont());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void Chart::setTitle(const QString& title)
{
    m_title = title;
    setAccessibleName(title);   // the painted texts are read out from the accessible name and description
    update();
}

void Chart::setTitleStyle(const QFont& font, const QColor& colour)
{
    m_titleFont = font;
    m_titleColour = colour;
    update();
}

QRect Chart::drawTitle(QPainter& p) const
{
    QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (m_title.isEmpty())
        return area;
    p.setFont(m_titleFont);
    p.setPen(m_titleColour);
    const QFontMetrics fm(m_titleFont);
    const QRect line(area.left(), area.top(), area.width(), fm.height());
    p.drawText(line, Qt::AlignCenter, fm.elidedText(m_title, Qt::ElideRight, line.width()));
    area.setTop(line.bottom() + 1 + kMargin);
    return area;
}

BarChart::BarChart(const char* name, bool legend, bool valueLabels, QWidget* parent)
    : Chart(name, parent), m_legend(legend), m_valueLabels(valueLabels)
{
    setMouseTracking(true);
}

void BarChart::clearSeries()
{
    m_series.clear();
    setAccessibleDescription(QString());
    update();
}

void BarChart::showBars(const BarChartData& data)
{
    m_series = {BarSeries{kBuySeriesTitle, QColor(kRed), data.buy},
                BarSeries{kSellSeriesTitle, QColor(kGreen), data.sell}};
    const QStringList labels = categories();
    QStringList lines;
    for (const BarSeries& s : m_series) {
        QStringList points;
        for (qsizetype i = 0; i < s.points.size(); ++i)
            points << labels.value(i) + u' ' + QString::number(s.points[i].value);
        lines << s.title + u'：' + points.join(u'，');
    }
    setAccessibleDescription(lines.join(u'\n'));
    update();
}

QStringList BarChart::categories() const
{
    QStringList labels;
    for (const BarSeries& s : m_series) {
        for (qsizetype i = labels.size(); i < s.points.size(); ++i)
            labels << s.points[i].label;
    }
    return labels;
}

void BarChart::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    Q_EMIT mouseMoved();
}

void BarChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect area = drawTitle(p);
    p.setFont(font());
    const QFontMetrics fm = fontMetrics();

    if (m_legend && !m_series.isEmpty()) {
        int width = 0;
        for (const BarSeries& s : m_series)
            width += kSwatch + 3 + fm.horizontalAdvance(s.title) + 12;
        int x = area.left() + std::max(0, (area.width() - width + 12) / 2);
        const int mid = area.top() + fm.height() / 2;
        for (const BarSeries& s : m_series) {
            p.fillRect(x, mid - kSwatch / 2, kSwatch, kSwatch, s.colour);
            x += kSwatch + 3;
            p.setPen(kText);
            p.drawText(QRect(x, area.top(), area.right() - x, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       s.title);
            x += fm.horizontalAdvance(s.title) + 12;
        }
        area.setTop(area.top() + fm.height() + kMargin);
    }

    QList<double> values;
    for (const BarSeries& s : m_series) {
        for (const BarPoint& pt : s.points)
            values << pt.value;
    }
    QRect plot = area.adjusted(0, fm.height() / 2, 0, -(fm.height() + 2));
    if (plot.height() < 4 || plot.width() < 4)
        return;
    const ValueAxis axis = valueAxis(values, std::max(2, plot.height() / 30));
    const int steps = int(std::lround((axis.high - axis.low) / axis.step));
    if (m_valueLabels) {
        int labelWidth = 0;
        for (int i = 0; i <= steps; ++i)
            labelWidth = std::max(labelWidth, fm.horizontalAdvance(tickText(axis.low + i * axis.step)));
        plot.setLeft(plot.left() + labelWidth + 4);
    }
    const auto yOf = [&](double v) {
        return plot.bottom() - (v - axis.low) / (axis.high - axis.low) * plot.height();
    };

    // Grid lines, and the value labels beside them.
    for (int i = 0; i <= steps; ++i) {
        const double v = axis.low + i * axis.step;
        const int y = int(std::lround(yOf(v)));
        p.setPen(i == 0 ? kAxis : kGrid);
        p.drawLine(plot.left(), y, plot.right(), y);
        if (m_valueLabels) {
            p.setPen(kText);
            p.drawText(QRect(area.left(), y - fm.height() / 2, plot.left() - 4 - area.left(), fm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, tickText(v));
        }
    }
    p.setPen(kAxis);
    p.drawLine(plot.left(), plot.top(), plot.left(), plot.bottom());

    const QStringList labels = categories();
    if (labels.isEmpty())
        return;
    const double slot = double(plot.width()) / labels.size();
    const double bar = std::max(1.0, slot * 0.7 / std::max<qsizetype>(1, m_series.size()));
    const double zero = yOf(std::clamp(0.0, axis.low, axis.high));
    // A page can give hundreds of thousands of points: past one pixel per bar and 40 pixels per
    // label only every n-th is drawn, so that a paint stays quick.
    const qsizetype width = plot.width();
    const qsizetype pixelsPerGroup = std::max<qsizetype>(1, m_series.size());
    const qsizetype barStride = std::max<qsizetype>(1, (labels.size() * pixelsPerGroup + width - 1) / width);
    const qsizetype labelStride = std::max<qsizetype>(1, (labels.size() * 40 + width - 1) / width);
    for (qsizetype s = 0; s < m_series.size(); ++s) {
        const BarSeries& series = m_series[s];
        for (qsizetype i = 0; i < series.points.size(); i += barStride) {
            const double v = series.points[i].value;
            if (!std::isfinite(v))
                continue;
            const double x = plot.left() + i * slot + slot * 0.15 + s * bar;
            const double y = yOf(v);
            p.fillRect(QRectF(x, std::min(y, zero), bar, std::abs(zero - y)), series.colour);
        }
    }
    p.setPen(kText);
    for (qsizetype i = 0; i < labels.size(); i += labelStride) {
        const QRect cell(int(plot.left() + i * slot), plot.bottom() + 2, int(slot * labelStride), fm.height());
        p.drawText(cell, Qt::AlignHCenter | Qt::AlignTop, fm.elidedText(labels[i], Qt::ElideRight, cell.width()));
    }
}

PieChart::PieChart(const char* name, QWidget* parent) : Chart(name, parent) {}

void PieChart::setSlices(const QList<PieSlice>& slices)
{
    m_slices = slices;
    // Every slice is listed, also one too small to be drawn with a label.
    QStringList labels;
    for (const PieSlice& s : m_slices)
        labels << s.label;
    setAccessibleDescription(labels.join(u'，'));
    update();
}

void PieChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect area = drawTitle(p);
    double total = 0;
    for (const PieSlice& s : m_slices)
        total += double(std::max<qint64>(0, s.size));
    if (!(total > 0))
        return;

    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font());
    const QFontMetrics fm = fontMetrics();
    const double radius = 0.3 * std::min(area.width(), area.height());
    const QPointF centre = QRectF(area).center();
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    // Angles in degrees, counter-clockwise from three o'clock as QPainter counts them: the first
    // slice starts at twelve o'clock and the slices go clockwise.
    double start = 90;
    p.setPen(QPen(Qt::white, 1));
    for (const PieSlice& s : m_slices) {
        if (s.size <= 0)
            continue;
        const double span = double(s.size) / total * 360;
        // QPainter draws whole sixteenths of a degree: a slice smaller than that (only a page with
        // thousands of them has one) draws nothing and gets no label.
        if (std::lround(span * 16) > 0) {
            p.setBrush(QColor(s.colour));
            p.drawPie(circle, int(std::lround(start * 16)), -int(std::lround(span * 16)));
        }
        start -= span;
    }

    // The labels: each beside its slice's middle, moved down where it would cover the label
    // above it on the same side (small neighbouring slices), joined to its slice by a short line.
    struct Label {
        QPointF edge, elbow;
        double y;
        bool right;
        const QString* text;
    };
    QList<Label> labels;
    start = 90;
    for (const PieSlice& s : m_slices) {
        if (s.size <= 0)
            continue;
        const double span = double(s.size) / total * 360;
        const double mid = (start - span / 2) * std::numbers::pi / 180;
        start -= span;
        if (std::lround(span * 16) == 0)
            continue;
        const QPointF dir(std::cos(mid), -std::sin(mid));
        const QPointF elbow = centre + dir * (radius + 14);
        labels.append({centre + dir * radius, elbow, elbow.y(), dir.x() >= 0, &s.label});
    }
    for (const bool right : {true, false}) {
        QList<Label*> side;
        for (Label& l : labels) {
            if (l.right == right)
                side << &l;
        }
        std::stable_sort(side.begin(), side.end(), [](const Label* a, const Label* b) { return a->y < b->y; });
        for (qsizetype i = 1; i < side.size(); ++i)
            side[i]->y = std::max(side[i]->y, side[i - 1]->y + fm.height());
    }
    for (const Label& l : labels) {
        if (l.y > area.bottom())
            continue;   // pushed below the chart by the labels above it
        const QPointF end(l.elbow.x() + (l.right ? 12 : -12), l.y);
        p.setPen(kAxis);
        p.drawPolyline(QList<QPointF>{l.edge, l.elbow, end});
        const int room = int(l.right ? area.right() - end.x() - 3 : end.x() - area.left() - 3);
        const QString text = fm.elidedText(*l.text, Qt::ElideRight, std::max(room, 0));
        const QRectF box(l.right ? end.x() + 3 : end.x() - 3 - room, end.y() - fm.height() / 2.0, room,
                         fm.height());
        p.setPen(kText);
        p.drawText(box, (l.right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
    }
}

} // namespace bigorder

// The two chart controls the big-order windows use, painted with QPainter: a bar chart of two
// series side by side, and a pie with a label beside each slice. Every text is drawn as plain
// text (category labels and unknown colour codes come from the remote pages); the title is the
// widget's accessible name and the drawn labels its accessible description, for screen readers.
#pragma once

#include "bigorder/bigorderrules.h"

#include <QColor>
#include <QFont>
#include <QWidget>

class QPainter;

namespace bigorder {

// One bar series: the title the legend lists, the bars' colour and the points.
struct BarSeries {
    QString title;
    QColor colour;
    QList<BarPoint> points;
};

// What both charts share: a white background, the small chart font, and a title drawn centred
// on the top line in its own font and colour.
class Chart : public QWidget {
    Q_OBJECT
public:
    void setTitle(const QString& title);
    void setTitleStyle(const QFont& font, const QColor& colour);
    QString title() const { return m_title; }

protected:
    Chart(const char* name, QWidget* parent);
    // Draws the title at the top of the widget, inside its margin, and returns the room left.
    QRect drawTitle(QPainter& painter) const;

private:
    QString m_title;
    QFont m_titleFont;
    QColor m_titleColour;
};

// A bar chart on white: optional title and legend above, horizontal grid lines, the category
// labels under the bars, the value axis labelled only when there is room for it. No value marks
// above the bars.
class BarChart : public Chart {
    Q_OBJECT
public:
    // `legend`: the series titles are listed above the chart; `valueLabels`: the value axis is
    // labelled (a chart as small as the main window's has no room for it; its grid stays).
    BarChart(const char* name, bool legend, bool valueLabels, QWidget* parent = nullptr);

    // Removes every series.
    void clearSeries();
    // Removes every series, then adds the buy series (red) and the sell series (green) with the
    // points of `data`. The buy points' labels label the categories; where the sell series has
    // more points, its labels label the rest.
    void showBars(const BarChartData& data);

    const QList<BarSeries>& series() const { return m_series; }
    QStringList categories() const;
    bool legendVisible() const { return m_legend; }

Q_SIGNALS:
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool m_legend;
    bool m_valueLabels;
    QList<BarSeries> m_series;
};

// A pie on white under an optional title: slices clockwise from twelve o'clock, each labelled
// beside the pie with a short leader line. Slices of size 0 or less take no room and no label.
class PieChart : public Chart {
    Q_OBJECT
public:
    explicit PieChart(const char* name, QWidget* parent = nullptr);

    // Shows `slices` in place of the ones shown.
    void setSlices(const QList<PieSlice>& slices);

    const QList<PieSlice>& slices() const { return m_slices; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<PieSlice> m_slices;
};

} // namespace bigorder

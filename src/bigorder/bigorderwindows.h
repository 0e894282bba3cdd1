// The big-order charts: the bar chart used on the main window (hourly and daily) and in the
// ten-day window (TForm13), and the pie window of today's trade sizes (TForm14).
#pragma once

#include "bigorder/bigorderrules.h"

#include <QChartView>
#include <QWidget>

class QBarSeries;
class QCheckBox;
class QLabel;
class QPieSeries;

namespace bigorder {

// A two-series bar chart (buy red, sell green, side by side, no value marks) on white.
class BarChart : public QChartView {
    Q_OBJECT
public:
    // `legend`: the series titles are listed above the chart; `valueLabels`: the value axis is
    // labelled (a chart as small as the main window's has no room for it; its grid stays).
    BarChart(const char* name, bool legend, bool valueLabels, QWidget* parent = nullptr);

    // Removes every series and axis.
    void clearSeries();
    // Removes every series, then adds the buy and the sell series with the points of `data`; the
    // buy points' labels are the category axis labels.
    void showBars(const BarChartData& data);
    // The chart's bar series, null after clearSeries().
    QBarSeries* bars() const;

Q_SIGNALS:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool m_valueLabels;
};

// Closing one of the two windows only hides it and tells the controller.
class ChartWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// TForm13 "近10日大单成交显示图": all days of the day page and the ten-day totals.
class TenDayWindow : public ChartWindow {
    Q_OBJECT
public:
    explicit TenDayWindow(QWidget* parent = nullptr);

    // Removes the series; sets the totals line and the title when the rebuild got that far; adds
    // the points it holds.
    void fill(const TenDayData& data);
    BarChart* chartView() const { return m_chart; }
    QLabel* totalsLabel() const { return m_totals; }

private:
    BarChart* m_chart;
    QLabel* m_totals;
};

// TForm14 "今日大单成交分布图": the pie of today's large-order turnover by trade size, on top of
// other windows, with its own pause box for the hourly announcements.
class PieWindow : public ChartWindow {
    Q_OBJECT
public:
    explicit PieWindow(QWidget* parent = nullptr);

    // Empties the pie, sets the title and adds the slices of `data`.
    void fill(const PieData& data);
    QPieSeries* series() const { return m_series; }
    QChartView* chartView() const { return m_view; }

    bool paused() const { return m_paused; }
    // The tray item resumes the pie: clears the pause and unticks the box without reporting it.
    void resumeFromTray();

Q_SIGNALS:
    // The user ticked (true) or unticked (false) 暂停提示.
    void pauseChanged(bool paused);

private:
    QChartView* m_view;
    QPieSeries* m_series;
    QCheckBox* m_pauseBox;
    bool m_paused = false;
};

} // namespace bigorder

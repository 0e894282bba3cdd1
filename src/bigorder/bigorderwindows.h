// The big-order windows: the ten-day window (TForm13) and the pie window of today's trade sizes
// (TForm14). The main window's two bar charts are built by the controller.
#pragma once

#include "bigorder/chartwidgets.h"

#include <QWidget>

class QCheckBox;
class QLabel;

namespace bigorder {

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
    BarChart* chart() const { return m_chart; }
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
    PieChart* chart() const { return m_chart; }

    bool paused() const { return m_paused; }
    // The tray item resumes the pie: clears the pause and unticks the box without reporting it.
    void resumeFromTray();

Q_SIGNALS:
    // The user ticked (true) or unticked (false) 暂停提示.
    void pauseChanged(bool paused);

private:
    PieChart* m_chart;
    QCheckBox* m_pauseBox;
    bool m_paused = false;
};

} // namespace bigorder

// Big-order analysis for the current stock: loads the three chart pages of the large-order
// statistics site into hidden page loaders, keeps their lists, draws the hourly and daily charts
// of the main window, opens the ten-day and the pie windows, and announces each finished trading
// hour's net flow through the flow notice window.
#pragma once

#include "bigorder/bigorderpages.h"
#include "bigorder/bigorderrules.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QWidget;

namespace app {
struct AppState;
struct Settings;
class Clock;
class Prompter;
}
namespace net { class PageLoader; }

namespace bigorder {

class BarChart;
class PieWindow;
class TenDayWindow;

// How the announcements reach the flow notice window (TForm10), which the alert windows own.
struct FlowNoticeHook {
    // The day's totals line (Label3).
    std::function<void(const QString& text, const QColor& colour)> setTotals;
    // Places the window at the top right and fills it: the picture (inflow or outflow), the stock
    // line (Label2) and the hour line (Label1) in its colour.
    std::function<void(const QString& stock, const QString& message, const QColor& colour, bool inflow)> fill;
    // True while the notice's 暂停提示 box is ticked.
    std::function<bool()> paused;
    // Shows the window, not modal.
    std::function<void()> show;
};

class BigOrderController : public QObject {
    Q_OBJECT
public:
    // `mainWindow` parents the two chart group boxes and is held disabled while the ten-day or
    // the pie window is open.
    BigOrderController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                       app::Prompter& prompter, QWidget& mainWindow, QObject* parent = nullptr);
    ~BigOrderController() override;

    void setFlowNotice(FlowNoticeHook hook) { m_flow = std::move(hook); }

    // Main-window controls, built here and placed by the main window.
    QGroupBox* hourlyBox() const { return m_hourlyBox; }   // GroupBox4: Chart1 and CheckBox2 "详情"
    QGroupBox* dayBox() const { return m_dayBox; }         // GroupBox3: Chart2 and CheckBox1 "10日"
    BarChart* hourlyChart() const { return m_hourlyChart; }
    BarChart* dayChart() const { return m_dayChart; }
    TenDayWindow& tenDayWindow() { return *m_tenDay; }
    PieWindow& pieWindow() { return *m_pie; }

    // Asks for the hourly, day and pie pages of `code`, in that order; each is parsed when it
    // completes. A new request replaces what that loader was still loading.
    void loadpages(const QString& code);
    // The minute timer's reload: the hourly and the pie page of CurrentCode, only strictly between
    // 10:30:00 and 15:30:00.
    void reloadDuringSession();
    // The code change: the announcement state is reset and the hourly lists emptied, so the old
    // stock's hours are never announced under the new stock's name.
    void resetHourlyFlow();
    // The code change empties the hourly chart at once and gives its box the caption it has
    // before any stock's hours are drawn, so the old stock's name does not stay over it.
    void clearHourlyChart();
    // The code change empties the day and pie lists: until the new stock's pages arrive, the
    // ten-day and pie windows show no figures rather than the old stock's under the new name.
    void clearDayAndPie();
    // A new day began: the hourly lists, chart and announcement state and the pie lists hold
    // yesterday's trades; they are emptied until the minute tick reloads the pages.
    void newDay();

    // Page completions: parse the document's body into the page's lists, then redraw its chart.
    // The loaders call them only for a page of CurrentCode; a failed load passes an empty text.
    void WebBrowser2DocumentComplete(const QString& document);   // hourly
    void WebBrowser3DocumentComplete(const QString& document);   // day
    void WebBrowser4DocumentComplete(const QString& document);   // pie

    void drawhours();
    void drawdays();
    void CheckBox1Click();   // "10日": build and open the ten-day window
    void CheckBox2Click();   // "详情": dbshow
    void dbshow();           // build and open the pie window
    void Timer7Timer();      // the five-second check of the hourly flow announcements
    void N6Click();          // the tray's resume item for the pie window

    BigOrderLists& lists() { return m_lists; }
    const FlowState& flowState() const { return m_flowState; }
    net::PageLoader& loader(Page page) const;

Q_SIGNALS:
    // The mouse moved over one of the main window's charts.
    void chartMouseMoved();
    // A page of CurrentCode was taken in, its lists and chart updated.
    void pageParsed(bigorder::Page page);

private:
    void load(Page page, const QString& code);
    void completed(Page page, const QString& document);
    // Shows the rebuild's message box when it stopped at a bad item; true when it ran through.
    bool report(const QString& error);
    void windowClosed(QCheckBox* box);

    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    app::Prompter& m_prompter;
    QWidget& m_main;
    FlowNoticeHook m_flow;

    BigOrderLists m_lists;
    FlowState m_flowState;
    net::PageLoader* m_loaders[3];   // WebBrowser2, WebBrowser3, WebBrowser4
    QString m_requested[3];          // the code each loader was last asked for

    QGroupBox* m_hourlyBox;
    QGroupBox* m_dayBox;
    BarChart* m_hourlyChart;
    BarChart* m_dayChart;
    QCheckBox* m_detailsBox;   // CheckBox2
    QCheckBox* m_tenDayBox;    // CheckBox1
    std::unique_ptr<TenDayWindow> m_tenDay;
    std::unique_ptr<PieWindow> m_pie;
};

} // namespace bigorder

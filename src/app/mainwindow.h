// The main window: it places the controls the subsystems' controllers build, owns the timers and
// runs the fixed sequences (first show, start, the code change, the timers' ticks, closing) by
// calling the controllers in order.
#pragma once

#include "alerts/alertcontroller.h"
#include "bigorder/bigordercontroller.h"
#include "app/context.h"
#include "info/blogcontroller.h"
#include "tv/tvcontroller.h"
#include "info/forumcontroller.h"
#include "info/stocknews.h"

#include <memory>

#include <QDate>
#include <QWidget>

class QGroupBox;
class QLabel;
class QStatusBar;
class QTimer;

namespace net { class HttpClient; }
namespace market { class MarketController; }
namespace info { class CompanionPagesController; }
namespace recommend { class RecommendController; }

namespace app {

class DigitEdit;
class ClickLabel;
class Tray;
class WebPane;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(AppContext& context, QWidget* splash, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Reload every stock panel for CurrentCode.
    void start();
    // The search picture's click: check the typed code and switch to it.
    void ChangeStock();
    void Timer1Timer();   // index summary every third tick, quote panel in trading hours
    // Alternate the two summary lines in the banner. Its first tick of a new day also moves the
    // date line on and empties the panels that hold today (rollDay): this timer runs from creation
    // and never waits on the network, so the day rolls within five seconds of midnight.
    void Timer3Timer();
    // The minute tick: big-order page reloads in the session, the online count every tenth tick,
    // the tick count, then the forum refresh.
    void Timer2Timer();
    // The new-recommendation prompt: while the recommendation window is hidden, refresh the
    // board and let the recommendation controller open the window for what came new.
    void Timer9Timer();
    // The recommendation window, created after the main window.
    void setRecommendations(recommend::RecommendController* controller) { m_recommend = controller; }
    QTimer* promptTimer() const { return Timer9; }
    // The alert tick and its cooldown clock.
    alerts::AlertController& alerts() { return *m_alerts; }
    // Blog mentions and the news flash; the companion server's information pages.
    info::BlogController& blogs() { return *m_blogs; }
    info::CompanionPagesController& companionPages() { return *m_companion; }
    // Where a blog mention found while the window is out of sight goes to be shown.
    void setBlogNoticeSink(std::function<void(const info::BlogNotice&)> sink) { m_blogNoticeSink = std::move(sink); }
    // True while the user can see the window: shown, not minimised, and this program (any of its
    // windows) in front.
    bool inSight() const;
    // The big-order pages, charts and hourly flow announcements.
    bigorder::BigOrderController& bigOrder() { return *m_bigOrder; }
    // The quote panel, the stock-name lookup and the index summary.
    market::MarketController& market() { return *m_market; }
    // The TV viewer in the lower left panel.
    tv::TvController& tv() { return *m_tv; }
    // The forum panel and the stock news panels (commentary, announcements, rumours, reports).
    info::ForumController& forum() { return *m_forum; }
    info::StockNewsController& stockNews() { return *m_news; }

    // Status-bar panel 1: whether alerts pop up here and go to the phone.
    void ShowAlertStatus(bool local, bool phone);
    // The alert tick and the blog search timers, which the settings dialog stops while open.
    QTimer* alertTimer() const { return Timer4; }
    QTimer* blogTimer() const { return Timer5; }

    // The status-bar panel `index` (0-4).
    QLabel* statusPanel(int index) const;
    void setStatusPanel(int index, const QString& text);

    // True once a start-up step decided the program must end (the caller then leaves main()).
    bool endRequested() const { return m_endRequested; }
    int exitCode() const { return m_exitCode; }
    // End the program: leaves the event loop, or tells main() not to enter it.
    void requestExit(int code = 0);

    // Send the main window to the tray: playback stops, the window hides.
    void windowmin();
    // The tray menu's "显示主窗口": the window comes back, without a taskbar button.
    void showFromTray();
    // The tray menu's "退      出": remove the icon and end, without writing the TV lists.
    void exitFromTray();
    Tray& tray() { return *m_tray; }

Q_SIGNALS:
    // The alert-settings link was clicked.
    void settingsRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void buildTimers();
    void firstShowSteps();
    // The first show's Timer1, Timer4 and Timer5, started once.
    void startRunTimers();
    void getbase();
    // Open or create the alert database and show its switches in the status bar.
    void createbase();
    // Load the alert lists from the database.
    void sendbase();
    // The captions of the forum box, the site ratings and the blog mentions name the stock.
    void showStockCaptions();
    void buildInfoControllers();
    void rollDay();

    AppContext& m_ctx;
    AppState& m_state;
    QWidget* m_splash;
    bool m_endRequested = false;
    int m_exitCode = 0;

    net::HttpClient* IdHTTP1;
    net::HttpClient* IdHTTP2;
    net::HttpClient* IdHTTP3;
    net::HttpClient* IdHTTP5;

    alerts::AlertController* m_alerts;
    std::unique_ptr<info::BlogController> m_blogs;
    std::unique_ptr<info::CompanionPagesController> m_companion;
    std::function<void(const info::BlogNotice&)> m_blogNoticeSink;
    bigorder::BigOrderController* m_bigOrder;
    bool m_firstShowReachedStart = false;   // the first show got as far as loading the stock
    bool m_firstShowRunning = false;        // the first show's steps are under way
    bool m_statusChecked = false;           // the status check let the program run
    bool m_runTimersStarted = false;        // startRunTimers ran
    QDate m_today;                          // the day the date line and the "today" panels show
    market::MarketController* m_market;
    tv::TvController* m_tv;
    info::ForumController* m_forum;
    info::StockNewsController* m_news;
    recommend::RecommendController* m_recommend = nullptr;

    QTimer *Timer1, *Timer2, *Timer3, *Timer4, *Timer5, *Timer6, *Timer7, *Timer8, *Timer9;

    app::WebPane* m_stockPage;   // WebBrowser1
    app::WebPane* m_adStrip;     // WebBrowser6
    DigitEdit* m_codeEdit;       // Edit1
    QGroupBox* m_forumBox;       // GroupBox1
    QLabel* m_ratingsCaption;    // Label21
    QLabel* m_blogCaption;       // Label26
    QLabel* m_onlineCount;       // Label20
    QStatusBar* m_statusBar;     // StatusBar1
    Tray* m_tray;
    QList<QLabel*> m_statusPanels;
};

} // namespace app

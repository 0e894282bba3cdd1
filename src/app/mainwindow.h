// The main window: the current stock's quote, pages and panels, the index banner, and the
// timers that keep them fresh.
#pragma once

#include "alerts/alertcontroller.h"
#include "app/context.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QStatusBar;
class QTableWidget;
class QTimer;
class QComboBox;
class QCheckBox;

namespace net { class HttpClient; }
namespace market { class QuotePanel; }
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
    // The stock name for `code` from the quote service; empty when it is unknown. Sets
    // CurrentName when a name is found. A network failure shows a message and aborts silently.
    QString yzgp(const QString& code);
    // Fetch the index page and rebuild the two summary lines; aborts silently on failure.
    void getvtzs();
    // Fetch the quote for `code` and fill the quote panel; aborts silently on failure.
    void getvtdate(const QString& code);

    void Timer1Timer();   // index summary every third tick, quote panel in trading hours
    void Timer3Timer();   // alternate the two summary lines in the banner
    // The new-recommendation prompt: while the recommendation window is hidden, refresh the
    // board and open the window when something new came and the prompt is on.
    void Timer9Timer();
    // The recommendation window, created after the main window.
    void setRecommendations(recommend::RecommendController* controller) { m_recommend = controller; }
    QTimer* promptTimer() const { return Timer9; }
    // The alert tick and its cooldown clock.
    alerts::AlertController& alerts() { return *m_alerts; }

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
    // requestExit, then abort the current handler silently.
    [[noreturn]] void endProgram(int code = 0);

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
    // getvtzs read an index page into the index summary (the ticker's index cells follow it).
    void indexSummaryUpdated();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void buildTimers();
    void firstShowSteps();
    void getbase();
    // Open or create the alert database and show its switches in the status bar.
    void createbase();
    // Load the alert lists from the database.
    void sendbase();
    // The companion server's status check; may end the program.
    void getmail();
    // The blog directory, then the online count.
    void readtoday();
    void resetBlogPanel();
    void showBanner();

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
    recommend::RecommendController* m_recommend = nullptr;

    QTimer *Timer1, *Timer2, *Timer3, *Timer4, *Timer5, *Timer6, *Timer7, *Timer8, *Timer9;

    QLabel* m_banner;            // Panel4
    app::WebPane* m_stockPage;   // WebBrowser1
    app::WebPane* m_waitingPage; // WebBrowser5
    app::WebPane* m_adStrip;     // WebBrowser6
    market::QuotePanel* m_quotePanel;
    DigitEdit* m_codeEdit;       // Edit1
    QTableWidget* m_forumGrid;   // StringGrid1
    QGroupBox* m_forumBox;       // GroupBox1
    QLabel* m_ratingsCaption;    // Label21
    QLabel* m_blogCaption;       // Label26
    QLabel* m_blogState;         // Label41
    QComboBox* m_blogCombo;      // ComboBox2
    QLabel *m_blogNone, *m_blogFound, *m_blogFoundMore;   // Image9, Image10, Image12
    QLabel* m_todayLabel;        // Label33
    QWidget* m_mediaPlayer;      // WindowsMediaPlayer1
    QWidget* m_tvStrip;          // Panel6
    QStatusBar* m_statusBar;     // StatusBar1
    Tray* m_tray;
    QList<QLabel*> m_statusPanels;

    QStringList m_blogNames;        // blog directory names
    QStringList m_blogFoundMarks;   // "1" when a blog mentions the stock
};

} // namespace app

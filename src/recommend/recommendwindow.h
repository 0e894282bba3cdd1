// The recommendation window: post a stock recommendation and read the newest ones on the shared
// board. RecommendWindow holds the controls; RecommendController holds the list, the window's
// own HTTP client and every handler.
#pragma once

#include "recommend/board.h"

#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace app {
struct AppState;
struct Settings;
class Prompter;
class DigitEdit;
class ClickLabel;
class WebPane;
}
namespace net {
class HttpClient;
class UrlOpener;
}

namespace recommend {

// One recommendation line: lime green under the mouse, white otherwise; the hint holds the whole
// reason and the time.
class RecommendLine : public QLabel {
    Q_OBJECT
public:
    RecommendLine(int index, QWidget* parent);
    void showRecommendation(const Recommendation& r);

protected:
    void enterEvent(QEnterEvent* event) override;   // msin1
    void leaveEvent(QEvent* event) override;        // msout1

private:
    void setBackground(const QColor& colour);
};

class RecommendWindow : public QWidget {
    Q_OBJECT
public:
    RecommendWindow(net::UrlOpener& opener, QWidget* parent = nullptr);

    app::DigitEdit* codeEdit;       // Edit1
    QLabel* nameLabel;              // Label9
    app::ClickLabel* allLink;       // Label10
    QLineEdit* reasonEdit;          // Edit2
    QPushButton* postButton;        // BitBtn1
    QCheckBox* promptOffBox;        // CheckBox1
    app::WebPane* banner;           // WebBrowser66
    std::array<RecommendLine*, kMaxLines> lines;

    // Shows the first ten entries of `list` and hides the other lines.
    void showLines(const RecommendationList& list);
    void hideLines();
    int visibleLineCount() const;

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(net::UrlOpener& opener);
};

// What the window needs from the rest of the program.
struct RecommendHooks {
    QWidget* mainWindow = nullptr;   // held disabled while the window is open
    std::function<void(bool)> setPromptItemChecked = [](bool) {};   // the tray item N15's check mark
};

class RecommendController : public QObject {
    Q_OBJECT
public:
    // Creates the window hidden and loads its banner.
    RecommendController(app::AppState& state, const app::Settings& settings, app::Prompter& prompter,
                        net::UrlOpener& opener, RecommendHooks hooks, QObject* parent = nullptr);
    ~RecommendController() override;

    RecommendWindow& window() { return *m_window; }
    const RecommendationList& list() const { return m_list; }
    net::HttpClient& client() { return *m_http; }
    bool windowVisible() const;

    // Reads the board, merges new records into the list and rebuilds the lines; sets
    // NewRecommendations when something was added. Throws SilentAbort when the board cannot be read.
    void addlabel();
    // The new-recommendation prompt after its addlabel: new records open the window (centred,
    // inputs cleared, the main window disabled) unless the prompt is off. A window the user
    // opened meanwhile shows them already: the flag is cleared and nothing opens.
    void promptIfNew();

    void N14Click();   // tray "荐股交流": refresh and open the window
    void N15Click();   // tray "实时有新荐股数据": new recommendations open the window again
    void Edit1Change();
    void BitBtn1Click();   // post a recommendation
    void Label10Click();   // the whole board in the browser
    void CheckBox1Click();

private:
    // The stock name for a code from the quote service; empty when the code is unknown. A
    // network error is reported and ends the caller.
    QString getvt(const QString& code);
    void FormCloseQuery();
    void openWindow();
    void closeWindow();

    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    RecommendHooks m_hooks;
    RecommendationList m_list;
    net::HttpClient* m_http;   // IdHTTP1, the window's own client
    std::unique_ptr<RecommendWindow> m_window;
    QString m_nameCode;        // the code Label9's name was found for
    bool m_posting = false;    // a post is waiting for its reply
};

} // namespace recommend

// The companion server's information pages on the main window: the drop-down of sites that
// evaluate the stock, the online count (read at start-up, every tenth minute tick and from its
// refresh link), and the links to today's important information and to the QQ finance site's
// index of the previous day.
#pragma once

#include "info/companionpages.h"

#include <QObject>
#include <functional>

class QComboBox;

namespace app {
class ClickLabel;
class Clock;
class Prompter;
struct AppState;
struct Settings;
}
namespace net {
class HttpClient;
class UrlOpener;
}

namespace info {

class BlogController;

class CompanionPagesController : public QObject {
    Q_OBJECT
public:
    // `IdHTTP3` is shared with the blog reads and `IdHTTP5` with the forum; `blogs` loads the
    // blog directory and holds today's information link; `showOnlineCount` puts a fresh count
    // into Label20.
    CompanionPagesController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                             app::Prompter& prompter, net::UrlOpener& opener, net::HttpClient& IdHTTP3,
                             net::HttpClient& IdHTTP5, BlogController& blogs,
                             std::function<void(const QString&)> showOnlineCount, QWidget* parent);
    ~CompanionPagesController() override;

    // Rebuilds the site list and ComboBox1 for CurrentCode; a failed request aborts silently.
    void readzhpj();
    // The blog directory, "/gpall.asp", then the online count, over IdHTTP3; aborts silently on
    // failure (a directory already read stays).
    void readtoday();
    // The minute tick's online count: read over IdHTTP5 when MinuteTickCount is a multiple of 10;
    // a failure aborts the tick silently.
    void tenthTickOnlineCount();
    // The first show's captions of the two information links.
    void showLinkCaptions();
    // Reads the online count again over IdHTTP6; a failure says so in a box and aborts silently.
    void Label11Click();
    void Label31Click();   // today's important information
    void Label32Click();   // the previous day's finance index
    void ComboBox1Change(int index);

    const QStringList& siteAddresses() const { return m_addresses; }
    const QStringList& siteNames() const { return m_names; }
    net::HttpClient& IdHTTP6() { return *m_IdHTTP6; }

    QComboBox* ComboBox1() const { return m_combo; }
    app::ClickLabel* Label11() const { return m_refresh; }
    app::ClickLabel* Label31() const { return m_today; }
    app::ClickLabel* Label32() const { return m_yesterday; }

protected:
    // ComboBox1KeyPress: every key is discarded, so the list is worked with the mouse only.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The online-user count over `client` into Label20; throws net::HttpFailure.
    void readOnlineCount(net::HttpClient& client);

    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    net::HttpClient& m_IdHTTP3;
    net::HttpClient& m_IdHTTP5;
    net::HttpClient* m_IdHTTP6;
    BlogController& m_blogs;
    std::function<void(const QString&)> m_showOnlineCount;
    bool m_refreshing = false;   // Label11's request is waiting

    QStringList m_addresses;   // site address list
    QStringList m_names;       // site name list

    QComboBox* m_combo;
    app::ClickLabel* m_refresh;
    app::ClickLabel* m_today;
    app::ClickLabel* m_yesterday;
};

} // namespace info

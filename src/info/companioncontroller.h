// The companion server's information pages on the main window: the drop-down of sites that
// evaluate the stock, the refresh link of the online count, and the links to today's important
// information and to the QQ finance site's index of the previous day.
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
    // `IdHTTP3` is shared with the other companion reads; `blogs` holds today's information link
    // (from the blog directory); `showOnlineCount` puts a fresh count into Label20.
    CompanionPagesController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                             app::Prompter& prompter, net::UrlOpener& opener, net::HttpClient& IdHTTP3,
                             const BlogController& blogs,
                             std::function<void(const QString&)> showOnlineCount, QWidget* parent);
    ~CompanionPagesController() override;

    // Rebuilds the site list and ComboBox1 for CurrentCode; a failed request aborts silently.
    void readzhpj();
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
    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    net::HttpClient& m_IdHTTP3;
    net::HttpClient* m_IdHTTP6;
    const BlogController& m_blogs;
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

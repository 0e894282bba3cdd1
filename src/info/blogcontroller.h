// Blog mentions and the news flash: the blog directory, the drop-down of blogs with their
// "(未找到)"/"【找到】" marks, the line naming the last blog that mentioned the stock with its
// three pictures, the background search one blog per Timer5 tick, and the news-flash line.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QTimer;
class QWidget;

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

// A mention the user has not seen, found while the main window is out of sight.
struct BlogNotice {
    QString line1;   // "您的股票:" name "(" code ")"
    QString line2;   // "在《" blog "》被提及,点击查看!"
    QString link;    // the blog's address
    int blogIndex = -1;
};

class BlogController : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Status-bar panel 2: which blog is being searched.
        std::function<void(const QString&)> showSearchState;
        // True while the user can see the main window; mentions found otherwise raise a notice.
        std::function<bool()> mainWindowInSight;
        // Fills and, unless paused, shows the blog-mention notice.
        std::function<void(const BlogNotice&)> raiseNotice;
    };

    // `IdHTTP3` is the companion-server client shared with the other companion reads.
    BlogController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                   app::Prompter& prompter, net::UrlOpener& opener, net::HttpClient& IdHTTP3,
                   Hooks hooks, QWidget* parent);
    ~BlogController() override;

    // Step 1 of readtoday: the blog directory, the items of ComboBox2 and today's information
    // link. A failed request aborts silently and leaves the directory empty.
    void loadDirectory();
    // For a new stock: every blog back to "(未找到)" and unseen, the neutral picture, Label41's
    // first text. The cursor, the tick counter and the news flash carry on.
    void resetDisplay();
    // One Timer5 tick: the news flash on the first and every twentieth counted tick, then one blog.
    void Timer5Timer(QTimer& Timer5);
    // The user picked a blog in the drop-down: open it and count its mention as seen.
    void ComboBox2Change(int index);
    // Opens the newest news item and puts the plain icon back.
    void Label48Click();
    // The blog-mention notice's link was opened: that blog's mention is seen.
    void markSeen(int blogIndex);

    const QString& todayLink() const { return m_todayLink; }
    const QStringList& addresses() const { return m_addresses; }
    const QStringList& names() const { return m_names; }
    const QStringList& seenFlags() const { return m_seen; }
    int cursor() const { return m_cursor; }
    int tickCount() const { return m_tickCount; }
    const QString& lastNewsLink() const { return m_lastNewsLink; }
    net::HttpClient& IdHTTP4() { return *m_IdHTTP4; }

    // The controls the main window places: the drop-down, the mention line and its pictures at
    // one place beside it, and the news-flash line with its two icons at one place.
    QComboBox* ComboBox2() const { return m_combo; }
    QLabel* Label41() const { return m_mention; }
    QLabel* Image9() const { return m_none; }
    QLabel* Image10() const { return m_unseen; }
    QLabel* Image12() const { return m_seenPicture; }
    app::ClickLabel* Label48() const { return m_news; }
    QLabel* Image1() const { return m_newsIcon; }
    QLabel* Image19() const { return m_newsNewIcon; }

private:
    void tick();
    void readNewsFlash();
    void searchStep();
    void showPictures(QLabel* visible);
    void fillCombo();

    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    net::HttpClient& m_IdHTTP3;
    net::HttpClient* m_IdHTTP4;
    Hooks m_hooks;

    QString m_todayLink;
    QStringList m_addresses;   // blog address list
    QStringList m_names;       // blog name list
    QStringList m_seen;        // seen-flag list: "1" once the user opened the blog's mention
    int m_cursor = 0;          // the next blog to search
    int m_tickCount = 0;       // ticks that had a stock to search for
    bool m_ticking = false;    // a Timer5 tick is under way
    QString m_lastNewsLink;

    QComboBox* m_combo;
    QLabel* m_mention;
    QLabel *m_none, *m_unseen, *m_seenPicture;
    app::ClickLabel* m_news;
    QLabel *m_newsIcon, *m_newsNewIcon;
};

} // namespace info

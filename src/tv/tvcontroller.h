// The TV viewer in the main window's lower left panel (Panel7): the start screen, the channel
// column with its menus, the player and its menu, the waiting page shown while a stream
// connects, and the recently watched and favourite programmes kept between runs.
#pragma once

#include "core/appstate.h"
#include "core/prompter.h"
#include "tv/tvdirectory.h"
#include "tv/tvlists.h"

#include <QFrame>
#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QDate;
class QLabel;
class QMenu;
class QWidget;

namespace net {
class HttpClient;
class UrlOpener;
}
namespace app { class WebPane; }

namespace tv {

class BackgroundPicture;
class ColumnLabel;
class PlayerPane;

class TvController : public QObject {
    Q_OBJECT
public:
    // `http` is the main window's client for the directory (IdHTTP1); `showTvState` sets the
    // status bar's TV panel.
    TvController(app::AppState& state, app::Prompter& prompter, net::UrlOpener& opener,
                 net::HttpClient& http, std::function<void(const QString&)> showTvState,
                 QObject* parent = nullptr);
    ~TvController() override;

    // Panel7 with everything in it (400 x 366); the main window parents and places it.
    QFrame* panel() const { return Panel7.data(); }
    // The waiting-page browser; the start-up status check loads the waiting page into it.
    app::WebPane& waitingPage() const { return *WebBrowser5; }

    // Start-up: read both list files from SystemDir. A file that exists but cannot be read is
    // reported once, left as it is and not written back at close.
    void loadLists();
    // Close: rewrite both list files that loadLists read. A failed write is reported; the old
    // file stays whole.
    void writeLists();
    // First show: the player stretches to fit and is 363 x 328.
    void preparePlayer();
    // Fetch the directory and build the channel column; aborts silently on failure.
    void addtv();
    // Label33: "(今天是" + date + ")".
    void showToday(const QString& dateText);
    // The waiting page moves out of sight / into the panel.
    void parkWaitingPage();
    void showWaitingPage();
    bool waitingPageParked() const;

    // controls.stop on the player.
    void stopPlayback();
    // The main window goes to the tray: playback stops, the control strip hides, no TV state.
    void stopForTray();
    // The main window closes: playback stops and the control strip hides.
    void stopForClose();

    // The mouse moves over the start screen's picture (and, wired by the main window, over the
    // two big-order charts and the quote panel's picture): with at least one category, every
    // label of the column turns white again.
    void Image24MouseMove();
    // Mouse moves over `widget` (over the viewport of a scroll area) run Image24MouseMove too.
    void clearHighlightOnMouseMove(QWidget* widget);

    // Column labels: click, mouse enter, leave, move.
    void mset(ColumnLabel* label);
    void msin(ColumnLabel* label);
    void msout(ColumnLabel* label);
    void msmove(ColumnLabel* label);
    // An entry of a category menu, the recently watched menu, the favourites menu was chosen.
    void nclick(const QString& caption);
    void nclick1(const QString& caption);
    void nclick2(const QString& caption);
    // Player menu: add the current programme to the favourites, delete the recently watched
    // list, an item of the favourites deletion submenu, back to the start screen.
    void N8Click();
    void N11Click();
    void nclick3(const QString& caption);
    void N3Click();
    void Image14Click();
    // The player reports a new status text.
    void WindowsMediaPlayer1StatusChange(const QString& status);

    // Read access for the main window and for tests.
    const TvDirectory& directory() const { return m_directory; }
    const TvLists& lists() const { return m_lists; }
    Programme nowPlaying() const { return m_nowPlaying; }
    QList<ColumnLabel*> column() const { return m_column; }
    QMenu* channelMenu() const { return PopupMenu3; }
    QMenu* playerMenu() const { return PopupMenu2; }
    QMenu* favouritesDeleteMenu() const { return N9; }
    PlayerPane* player() const { return WindowsMediaPlayer1; }
    QWidget* controlStrip() const { return Panel6; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanel();
    // Fits the background picture and the control strip to the panel's size.
    void layoutPanel();
    void buildPlayerMenu();
    // Starts `programme`: waiting page, player and control strip shown, URL set, TV state.
    void play(const Programme& programme);
    // A deletion item for favourite `name`, inserted at `index` of N9.
    void insertDeleteItem(int index, const QString& name);
    void addDeleteAllItems();
    QAction* menuItem(QMenu* menu, const QString& caption, std::function<void(const QString&)> handler);
    template <class Body> void handle(Body&& body);

    app::AppState& m_state;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    net::HttpClient& m_http;
    std::function<void(const QString&)> m_showTvState;

    TvDirectory m_directory;
    TvLists m_lists;
    Programme m_nowPlaying;
    // True once loadLists read the file or found none: a list never loaded (the first show ended
    // before it) or a file that could not be read is never written over at close.
    bool m_recentWritable = false;
    bool m_favouritesWritable = false;

    QPointer<QFrame> Panel7;   // owned by the window that places it
    BackgroundPicture* Image24;
    QLabel* Label33;
    PlayerPane* WindowsMediaPlayer1;
    app::WebPane* WebBrowser5;
    QFrame* Panel6;
    QWidget* Image14;
    QMenu* PopupMenu2;
    QMenu* PopupMenu3;
    QMenu* N9;
    QList<ColumnLabel*> m_column;
};

} // namespace tv

// The forum panel: today's posts about the current stock in the post grid (StringGrid1), the
// latest-post line (Label45 with the "new" marker Image13 and the time Label19), and the reads
// that fill them.
#pragma once

#include "core/appstate.h"
#include "core/clock.h"
#include "core/settings.h"
#include "info/forum.h"

#include <QObject>
#include <QPointer>

class QLabel;

namespace net {
class HttpClient;
class UrlOpener;
}
namespace app { class ClickLabel; }

namespace info {

class CellGrid;

class ForumController : public QObject {
    Q_OBJECT
public:
    // `IdHTTP5` is shared with the minute tick's online-count read.
    ForumController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                    net::UrlOpener& opener, net::HttpClient& IdHTTP5, QObject* parent = nullptr);
    ~ForumController() override;

    // The controls this panel fills; the main window parents and places them.
    CellGrid* grid() const { return StringGrid1; }
    app::ClickLabel* latestLine() const { return Label45; }
    QLabel* newMarker() const { return Image13; }
    QLabel* foundAt() const { return Label19; }

    // Read the forum page of `code`: add today's new posts to the lists and update the latest-post
    // line. Aborts silently on failure, and when no post of today is found before the line was
    // ever filled for this stock.
    void getgbdata(const QString& code);
    // Empty the post lists and the grid.
    void resetposts();
    // Write the posts not yet shown into the grid and select the empty row below them.
    void showposts();
    // The minute tick's forum steps: getgbdata for CurrentCode unless the main window is hidden
    // in the tray, then showposts. Nothing while a code change is under way: it empties the lists
    // and reads the new stock's posts itself.
    void minuteRefresh();
    // A new stock: the latest-post line takes the first post found for it.
    void resetLatestPost() { m_posts.latestPostFlag = false; }
    // A new day began: yesterday's posts leave the grid, and the next read's first post of the
    // day takes the latest-post line.
    void newDay()
    {
        resetposts();
        resetLatestPost();
    }

    // The user selected a cell of grid row `row`: an occupied row opens its post.
    void StringGrid1SelectCell(int row, int column);
    // The latest-post line was clicked: the marker goes, the post opens.
    void Label45Click();

    const ForumPosts& posts() const { return m_posts; }

private:
    void showLatest(int post);
    void paintRows();
    [[noreturn]] void fail();

    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    net::UrlOpener& m_opener;
    net::HttpClient& IdHTTP5;
    ForumPosts m_posts;

    CellGrid* StringGrid1;
    app::ClickLabel* Label45;
    QLabel* Image13;
    QLabel* Label19;
    QList<QPointer<QWidget>> m_controls;   // deleted with the controller unless placed elsewhere
};

} // namespace info

// The desktop ticker: its window, its one-second refresh timer and its own quote connection.
// It reads the watched stocks and the index summary; the main window tells it after each index
// fetch, the tray menu switches it on and off, the settings dialog pauses and rebuilds it.
//
// Its quote request does not wait in a nested event loop: the tick sends it and returns, and the
// reply fills the row when it comes. A slow or silent quote server so delays only the ticker,
// never a handler of another window that happens to be running when the ticker's second comes.
#pragma once

#include "market/indexsummary.h"
#include "ticker/tickerwindow.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace app {
class Clock;
class Prompter;
struct Settings;
}
namespace store { struct AlertLists; }

namespace ticker {

class TickerController : public QObject {
    Q_OBJECT
public:
    TickerController(const store::AlertLists& lists, const market::IndexSummary& index,
                     const app::Settings& settings, app::Clock& clock, app::Prompter& prompter,
                     QObject* parent = nullptr);
    ~TickerController() override;

    TickerWindow& window() { return *m_window; }
    QTimer& timer() { return *Timer1; }
    // A quote that sends nothing for this long is given up (30 s unless a test shortens it).
    void setReadTimeout(int ms) { m_readTimeoutMs = ms; }
    // A refresh tick's quote is on its way.
    bool waiting() const { return !m_reply.isNull(); }

    // Tray item N13: shows the ticker (building its rows the first time) or hides it.
    void N13Click();
    bool shown() const { return m_shown; }

    // Discards the rows and builds them again for the current watched list (after a save).
    void rebuildRows();
    // Around the settings dialog: no refresh while paused; resuming restarts it only while the
    // ticker is shown.
    void pause();
    void resume();
    bool paused() const { return m_paused; }

    // Copies the index summary's two rows into the index cells; called after every index fetch.
    void showIndices();

    // One refresh tick: the date and time, then one stock's quote is asked for (or an idle
    // second). The timer starts again when the quote has been handled.
    void Timer1Timer();

    bool TickerBuilt = false;
    int cursor() const { return m_cursor; }
    // The stock each built row shows, in watched-list order at the last build.
    const QStringList& rowCodes() const { return m_rowCodes; }

Q_SIGNALS:
    // The ticker was shown or hidden (the tray item's check mark follows it).
    void shownChanged(bool shown);

private:
    void buildRows();
    void fetchRow(int row);
    bool shouldRun() const { return m_shown && !m_paused; }

    const store::AlertLists& m_lists;
    const market::IndexSummary& m_index;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    app::Prompter& m_prompter;
    std::unique_ptr<TickerWindow> m_window;   // a top-level window of its own
    QTimer* Timer1;
    QNetworkAccessManager* m_network;   // the ticker's own connection
    QPointer<QNetworkReply> m_reply;     // the quote on its way, if any
    int m_readTimeoutMs;
    QStringList m_rowCodes;
    int m_cursor = 0;           // the next row to refresh
    bool m_shown = false;
    bool m_paused = false;
    quint64 m_buildCount = 0;   // rows built so far; a reply for rows since discarded is dropped
};

} // namespace ticker

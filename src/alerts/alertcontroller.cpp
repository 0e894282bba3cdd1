#include "alerts/alertcontroller.h"

#include "core/calendar.h"
#include "core/guard.h"
#include "market/quote.h"
#include "net/httpclient.h"

#include <QScopedValueRollback>
#include <QTimer>

namespace alerts {

AlertController::AlertController(store::AlertLists& lists, const app::Settings& settings, app::Clock& clock,
                                 app::Prompter& prompter, QTimer& timer4, QTimer& timer1, QObject* parent)
    : QObject(parent), m_lists(lists), m_settings(settings), m_clock(clock), m_prompter(prompter),
      Timer4(timer4), Timer1(timer1), IdHTTPgj(new net::HttpClient(QStringLiteral("IdHTTPgj"), this))
{
    // One request per watched stock every five seconds: a silent server must not stall the tick.
    IdHTTPgj->setReadTimeout(6000);
}

void AlertController::Timer4Timer()
{
    // The settings dialog switches the timer on again when it closes, possibly while a tick still
    // waits for its quotes: a second tick inside the first would fetch and announce everything twice.
    if (m_ticking)
        return;
    const QScopedValueRollback ticking(m_ticking, true);
    const TickResult result = [this] {
        app::TimerPause pause(Timer4);
        return m_engine.Timer4Timer(m_clock.now(), m_lists, [this](const QString& code) {
            return market::fetchQuote(*IdHTTPgj, m_settings.QuoteServiceBase, code);
        });
    }();
    if (result.stopTimer1) {
        app::stopTimer(Timer1);
        m_timer1WeekendStop = true;
    } else if (m_timer1WeekendStop && !app::isWeekend(m_clock.now().date())) {
        // A program left running over the weekend refreshes the quote panel again on Monday.
        m_timer1WeekendStop = false;
        Timer1.start();
    }
    if (m_alertSink && (result.broadcast || !result.alerts.isEmpty()))
        app::guarded(m_prompter, [&] { m_alertSink(result); });
}

void AlertController::Timer6Timer()
{
    // Only counts down in memory: nothing waits here, so the timer can stay on.
    m_engine.Timer6Timer(m_lists);
}

} // namespace alerts

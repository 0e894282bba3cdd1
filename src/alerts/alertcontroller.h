// The alert tick as the main window runs it: every five seconds the watched stocks are quoted over
// their own connection and checked, and every second the cooldowns count down. What a tick decided
// goes to the sink that shows the pop-ups.
#pragma once

#include "alerts/alertengine.h"
#include "core/clock.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "store/alertlists.h"

#include <QObject>
#include <functional>

class QTimer;

namespace net { class HttpClient; }

namespace alerts {

class AlertController : public QObject {
    Q_OBJECT
public:
    // `timer4` is the alert tick's own timer, stopped while a tick waits on the network; `timer1`
    // is the quote panel's timer, which the tick stops over the weekend.
    AlertController(store::AlertLists& lists, const app::Settings& settings, app::Clock& clock,
                    app::Prompter& prompter, QTimer& timer4, QTimer& timer1, QObject* parent = nullptr);

    void Timer4Timer();   // the alert tick over the watched stocks
    void Timer6Timer();   // the alerts' cooldown clock

    // Where the alert tick's broadcasts and alerts go to be shown.
    void setAlertSink(std::function<void(const TickResult&)> sink) { m_alertSink = std::move(sink); }
    AlertEngine& alertEngine() { return m_engine; }

private:
    store::AlertLists& m_lists;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    app::Prompter& m_prompter;
    QTimer& Timer4;
    QTimer& Timer1;
    net::HttpClient* IdHTTPgj;   // the alert tick's quotes
    AlertEngine m_engine;
    std::function<void(const TickResult&)> m_alertSink;
    bool m_timer1WeekendStop = false;   // the alert tick stopped Timer1 for the weekend
    bool m_ticking = false;             // a Timer4 tick is under way
};

} // namespace alerts

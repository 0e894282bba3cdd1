// Entry points from the event loop (slots, timer ticks, lambdas) run their bodies through
// guarded(): a SilentAbort ends the body quietly, any other exception is shown once. No exception
// ever crosses into Qt.
#pragma once

#include "core/prompter.h"
#include "net/failure.h"

#include <QTimer>
#include <QVariant>
#include <exception>

namespace app {

// Returns true when the body ran to its end.
template <class Body>
bool guarded(Prompter& prompter, Body&& body)
{
    try {
        body();
        return true;
    } catch (const SilentAbort&) {
    } catch (const std::exception& e) {
        prompter.error(QString::fromUtf8(e.what()));
    } catch (...) {
        prompter.error(QStringLiteral("未知错误"));
    }
    return false;
}

// How many times stopTimer() switched a timer off; a TimerPause compares it on its way out.
inline int timerStops(const QTimer& timer) { return timer.property("huilanStops").toInt(); }

// Switches a timer off from outside its own handler (a dialog that must not see the timer run
// while it is open, the weekend rule). A TimerPause around a wait that began earlier then leaves
// the timer off instead of starting it again on its way out.
inline void stopTimer(QTimer& timer)
{
    timer.stop();
    timer.setProperty("huilanStops", timerStops(timer) + 1);
}

// Stops a timer for the life of the scope and starts it again on every way out, so a handler
// that waits on the network never re-enters itself; unless someone switched the timer off with
// stopTimer() meanwhile, whose decision then stands.
class TimerPause {
public:
    explicit TimerPause(QTimer& timer) : m_timer(timer), m_stops(timerStops(timer)) { m_timer.stop(); }
    ~TimerPause()
    {
        if (timerStops(m_timer) == m_stops)
            m_timer.start();
    }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

private:
    QTimer& m_timer;
    int m_stops;
};

} // namespace app

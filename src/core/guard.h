// Entry points from the event loop (slots, timer ticks, lambdas) run their bodies through
// guarded(): a SilentAbort ends the body quietly, any other exception is shown once. No exception
// ever crosses into Qt.
#pragma once

#include "core/prompter.h"
#include "net/failure.h"

#include <QTimer>
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

// Stops a timer for the life of the scope and starts it again on every way out, so a handler
// that waits on the network never re-enters itself.
class TimerPause {
public:
    explicit TimerPause(QTimer& timer) : m_timer(timer) { m_timer.stop(); }
    ~TimerPause() { m_timer.start(); }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

private:
    QTimer& m_timer;
};

} // namespace app

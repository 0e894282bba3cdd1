#include "core/clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace app {

int Clock::timerInterval(int clockMs) const
{
    const double s = speed() > 0 && std::isfinite(speed()) ? speed() : 1.0;
    return int(std::clamp(std::round(clockMs / s), 1.0, double(std::numeric_limits<int>::max())));
}

RunningClock::RunningClock(QDateTime start, double speed)
    : m_start(std::move(start)), m_speed(speed > 0 && std::isfinite(speed) ? speed : 1.0)
{
    m_elapsed.start();
}

QDateTime RunningClock::now() const
{
    // Nanoseconds, so a fast clock does not move in steps of `speed` milliseconds.
    return m_start.addMSecs(qint64(double(m_elapsed.nsecsElapsed()) / 1e6 * m_speed));
}

QDateTime parseClockText(const QString& text)
{
    QDateTime moment = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!moment.isValid())
        moment = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd H:mm:ss"));
    return moment;
}

} // namespace app

// The local clock. Every time-of-day and weekday decision reads it, so tests can set the moment.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace app {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Clock seconds per real second (the --speed option); 1 for the system clock.
    virtual double speed() const { return 1.0; }
    // The real interval of a timer that paces the program in clock time: `clockMs` milliseconds
    // of this clock, at least 1 ms. Every timer of the program takes its interval from here, so
    // the ticks keep their pace against a clock that runs faster than real time.
    int timerInterval(int clockMs) const;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Starts at a given moment and then runs on, `speed` clock seconds to the real second (the
// --clock and --speed options).
class RunningClock : public Clock {
public:
    explicit RunningClock(QDateTime start, double speed = 1.0);
    QDateTime now() const override;
    double speed() const override { return m_speed; }

private:
    QDateTime m_start;
    double m_speed;
    QElapsedTimer m_elapsed;
};

// The fastest --speed the program accepts: a one-second timer then still fires every millisecond.
inline constexpr double kMaxClockSpeed = 1000.0;

// Stands still until told otherwise; for tests.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 9), QTime(10, 0)))
        : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    double speed() const override { return m_speed; }
    void setSpeed(double speed) { m_speed = speed; }   // only the timers' intervals follow it
    void set(const QDateTime& moment) { m_now = moment; }
    void setTime(const QTime& time) { m_now.setTime(time); }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
    double m_speed = 1.0;
};

// "YYYY-MM-DD HH:MM:SS"; an invalid QDateTime when the text does not parse.
QDateTime parseClockText(const QString& text);

} // namespace app

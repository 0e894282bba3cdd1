// The local clock. Every time-of-day and weekday decision reads it, so tests can set the moment.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace app {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Starts at a given moment and then runs with real time (the --clock option).
class RunningClock : public Clock {
public:
    explicit RunningClock(QDateTime start) : m_start(std::move(start)) { m_elapsed.start(); }
    QDateTime now() const override { return m_start.addMSecs(m_elapsed.elapsed()); }

private:
    QDateTime m_start;
    QElapsedTimer m_elapsed;
};

// Stands still until told otherwise; for tests.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 9), QTime(10, 0)))
        : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& moment) { m_now = moment; }
    void setTime(const QTime& time) { m_now.setTime(time); }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

// "YYYY-MM-DD HH:MM:SS"; an invalid QDateTime when the text does not parse.
QDateTime parseClockText(const QString& text);

} // namespace app

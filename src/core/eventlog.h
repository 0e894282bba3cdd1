// The event log: one line for each thing the program shows the user unasked (price broadcasts,
// alerts, hourly flow announcements, message boxes) and for each stock change, so a long run can
// be followed from outside. Off unless switched on through Qt's logging rules:
//   QT_LOGGING_RULES="huilan.events.info=true" huilan ...
// Lines go where Qt's messages go (stderr by default), e.g.
//   huilan.events: 2026-12-09 09:28:05 broadcast 现在(9:28:05)播报开盘价
#pragma once

#include <QDateTime>
#include <QLoggingCategory>
#include <QString>

namespace app {

Q_DECLARE_LOGGING_CATEGORY(lcEvents)

// Writes "<moment> <kind> <text>" when the log is on; `at` is the program's clock reading (an
// invalid one leaves the moment out). Line breaks in `text` become blanks: one event, one line.
void logEvent(const QDateTime& at, const QString& kind, const QString& text);

} // namespace app

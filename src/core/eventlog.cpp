#include "core/eventlog.h"

namespace app {

// Info lines are off by default; warnings would be on, but the log writes none.
Q_LOGGING_CATEGORY(lcEvents, "huilan.events", QtWarningMsg)

void logEvent(const QDateTime& at, const QString& kind, const QString& text)
{
    if (!lcEvents().isInfoEnabled())
        return;
    QString line;
    if (at.isValid())
        line = at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u' ';
    line += kind + u' ' + text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    qCInfo(lcEvents).noquote() << line;
}

} // namespace app

#include "core/clock.h"

namespace app {

QDateTime parseClockText(const QString& text)
{
    QDateTime moment = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!moment.isValid())
        moment = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd H:mm:ss"));
    return moment;
}

} // namespace app

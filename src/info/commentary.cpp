#include "info/commentary.h"

#include "net/scan.h"

namespace info {

QString commentaryPath(const QString& code)
{
    return QStringLiteral("/data/qgqp.asp?zqdm=") + code;
}

std::optional<QString> scanCommentary(QStringView text)
{
    static const QString marker = QStringLiteral("\"156\">&nbsp;");
    static const QString tagEnd = QStringLiteral("\">");
    static const QString fontEnd = QStringLiteral("</font>");
    bool armed = false;
    qsizetype fieldStart = -1;
    for (qsizetype p = 0; p < text.size(); ++p) {
        if (!armed && net::at(text, p, marker))
            armed = true;
        if (!armed)
            continue;
        if (net::at(text, p, tagEnd))
            fieldStart = p + tagEnd.size();
        if (fieldStart >= 0 && net::at(text, p, fontEnd))
            return p > fieldStart ? text.mid(fieldStart, p - fieldStart).toString() : QString();
    }
    return std::nullopt;
}

} // namespace info

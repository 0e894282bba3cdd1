#include "info/announcements.h"

#include "net/scan.h"

namespace info {

QString noticeListPath(const QString& code)
{
    return QStringLiteral("/Notice/Notice_List.aspx?code=") + code + QStringLiteral("&date=&type=");
}

void scanNoticeList(QStringView text, const QString& noticeBase, AnnouncementLists& lists)
{
    static const QString captionOpen = QStringLiteral("<span class=\"caption\">");
    static const QString captionEnd = QStringLiteral("</a></span>");
    static const QString timeOpen = QStringLiteral("<span class=\"time\">");
    static const QString spanEnd = QStringLiteral("</span>");
    static const QString tagEnd = QStringLiteral("\">");
    constexpr qsizetype kSkipped = 9;   // the `<a href="` in front of the address

    bool inCaption = false, captionSeen = false, inTime = false;
    qsizetype start = 0;   // shared by the caption and the time spans
    for (qsizetype p = 0; p < text.size(); ++p) {
        if (net::at(text, p, captionOpen)) {
            inCaption = true;
            start = p + captionOpen.size();
            captionSeen = true;
        }
        if (inCaption && net::at(text, p, captionEnd)) {
            inCaption = false;
            const QStringView field = start < p ? text.mid(start, p - start) : QStringView();
            const qsizetype k = field.indexOf(tagEnd);
            if (k >= 0) {
                const QStringView href = k > kSkipped ? field.mid(kSkipped, k - kSkipped) : QStringView();
                lists.addresses.append(noticeBase + QStringLiteral("/Notice/") + href.toString());
                const QStringView rest = field.mid(k + tagEnd.size());
                const qsizetype bracket = rest.indexOf(u')');
                lists.titles.append((bracket >= 0 ? rest.mid(bracket + 1) : rest).toString());
            }
        }
        if (captionSeen && net::at(text, p, timeOpen)) {
            start = p + timeOpen.size();
            inTime = true;
        }
        if (inTime && net::at(text, p, spanEnd)) {
            inTime = false;
            lists.dates.append(start < p ? text.mid(start, p - start).toString() : QString());
        }
    }
}

std::optional<QDate> parseNoticeDate(const QString& text)
{
    const QString t = net::trimBlanks(text);
    const QChar sep = t.size() > 4 ? t[4] : QChar();
    if (sep != u'-' && sep != u'/')
        return std::nullopt;
    const QStringList parts = t.split(sep);
    if (parts.size() != 3 || parts[0].size() != 4 || parts[1].isEmpty() || parts[1].size() > 2
        || parts[2].isEmpty() || parts[2].size() > 2)
        return std::nullopt;
    int fields[3];
    for (int i = 0; i < 3; ++i) {
        for (QChar c : parts[i])
            if (c < u'0' || c > u'9')
                return std::nullopt;
        fields[i] = parts[i].toInt();
    }
    const QDate date(fields[0], fields[1], fields[2]);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<bool> announcedToday(const QStringList& dates, const QDate& today)
{
    for (const QString& text : dates) {
        if (text == kNoticeDateHeading)
            continue;
        const std::optional<QDate> date = parseNoticeDate(text);
        if (!date)
            return std::nullopt;
        if (*date == today)
            return true;
    }
    return false;
}

} // namespace info

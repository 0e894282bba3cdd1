// The notice list of the East Money data site: announcement titles, addresses and dates, and
// whether one of them is dated today.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace info {

// The header text the date list may hold; the today test skips it.
inline const QString kNoticeDateHeading = QStringLiteral("公告时间");

// Path and query of the notice list of `code`.
QString noticeListPath(const QString& code);

// The three announcement lists, filled in page order. Entry i of the titles belongs to entry i of
// the addresses; the dates are the list rows' date texts and may be fewer or more.
struct AnnouncementLists {
    QStringList titles;
    QStringList addresses;
    QStringList dates;
    void clear()
    {
        titles.clear();
        addresses.clear();
        dates.clear();
    }
};

// Appends what the notice list page `text` holds to `lists`. `noticeBase` + "/Notice/" is put in
// front of each announcement's relative address.
void scanNoticeList(QStringView text, const QString& noticeBase, AnnouncementLists& lists);

// A date of the notice list: year, month and day joined by "-" or "/", month and day with or
// without a leading zero, blanks around allowed. None for anything else.
std::optional<QDate> parseNoticeDate(const QString& text);

// Walks the dates from the first, skipping the heading text: true at the first one equal to
// `today`, false when none is. None when a date text before that is not a date.
std::optional<bool> announcedToday(const QStringList& dates, const QDate& today);

} // namespace info

// The two contents the crash-save helper alternates between, shared with the test that checks
// what a kill left behind. They differ in length, so half of one write cannot pass for the other.
#pragma once

#include "store.h"
#include "store/alertlists.h"
#include "tv/tvdirectory.h"

#include <QList>
#include <QStringList>
#include <array>

namespace crashsave {

inline const QString kCompanionFile = QStringLiteral("companion.db");
inline const QString kPhone = QStringLiteral("13800138000");

struct ClientContent {
    store::AlertLists lists;
    QString code;
    QList<tv::Programme> recent;
    QList<tv::Programme> favourites;
};

inline ClientContent makeClientContent(int which)
{
    static const char* const codes[] = {"600036", "000001", "300750", "601318", "000858", "600519", "002415"};
    static const char* const names[] = {"招商银行", "平安银行", "宁德时代", "中国平安", "五粮液", "贵州茅台", "海康威视"};
    ClientContent c;
    const int stocks = which == 0 ? 3 : 7;
    for (int i = 0; i < stocks; ++i) {
        const int k = (i + which) % 7;
        c.lists.AlertSendOpenClose << QString::number((i + which) % 2);
        c.lists.AlertCodes << QString::fromLatin1(codes[k]);
        c.lists.AlertNames << QString::fromUtf8(names[k]);
        c.lists.AlertFlags << (which == 0 ? QStringLiteral("1010") : QStringLiteral("0111"));
        c.lists.AlertTradeDigits << QString::number(4 + which + i % 3);
        c.lists.AlertOrderDigits << QString::number(5 + i % 2);
        c.lists.AlertPercent << QString::number(3 + which * 4 + i);
        c.lists.AlertInterval << QString::number(10 + 5 * which + i);
        c.lists.AlertBroadcast << QString::number((i + 1 + which) % 2);
    }
    c.lists.LocalAlertsOn = which == 1;
    c.lists.PhoneAlertsOn = which == 0;
    c.code = which == 0 ? QStringLiteral("600036") : QStringLiteral("000858");
    const int plays = which == 0 ? 2 : 10;
    for (int i = 0; i < plays; ++i)
        c.recent.append({QStringLiteral("频道%1-%2").arg(which).arg(i),
                         QStringLiteral("mms://tv.example/%1/%2").arg(which).arg(i)});
    const int favourites = which == 0 ? 6 : 1;
    for (int i = 0; i < favourites; ++i)
        c.favourites.append({QStringLiteral("收藏%1-%2").arg(which).arg(i),
                             QStringLiteral("rtsp://tv.example/fav/%1/%2").arg(which).arg(i)});
    return c;
}

inline const ClientContent& clientContent(int which)
{
    static const std::array<ClientContent, 2> both{makeClientContent(0), makeClientContent(1)};
    return both[which];
}

struct CompanionContent {
    std::array<QList<QStringList>, 3> tables;   // rows in the order of CompanionStore::tableFields
    QString ycf;
};

inline CompanionContent makeCompanionContent(int which)
{
    CompanionContent c;
    const int rows = which == 0 ? 2 : 6;
    for (int i = 0; i < rows; ++i) {
        const QString code = QStringLiteral("60%1").arg(1000 + 37 * i + which, 4, 10, QLatin1Char('0'));
        const QString name = QStringLiteral("股票%1%2").arg(which).arg(i);
        c.tables[0].append({name, code});
        c.tables[1].append({which == 0 ? QStringLiteral("1111") : QStringLiteral("0101"), QString::number(4 + i),
                            QString::number(5 + which), QString::number(2 + i), name, code});
        c.tables[2].append({QString::number(10 + which + i), code, name});
    }
    c.ycf = which == 0 ? QStringLiteral("1") : QStringLiteral("0");
    return c;
}

inline const CompanionContent& companionContent(int which)
{
    static const std::array<CompanionContent, 2> both{makeCompanionContent(0), makeCompanionContent(1)};
    return both[which];
}

// The n-th recommendation the helper posts (its address is set by the helper).
inline server::StoredRecommendation recommendation(int n)
{
    return {QString(), QStringLiteral("600036"), QStringLiteral("招商银行"),
            QStringLiteral("理由%1：量价齐升").arg(n), 1'796'000'000'000LL + n};
}

} // namespace crashsave

// The shared recommendation board: the records of the companion server's board page, the list
// the recommendation window keeps for the whole run, and the texts of its lines.
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace recommend {

// One recommendation as the server sends it.
struct Recommendation {
    QString address;   // the recommender's IP address
    QString stock;     // the stock, as the server formats it
    QString reason;
    QString time;      // when it was posted

    bool operator==(const Recommendation&) const = default;
};

// The records of a board page. The scan is armed by the page framing marker; "$a0" opens a
// record, "$a4" closes it, and "$a1", "$a2", "$a3" end the address, the stock and the reason (the
// time is the rest). A record whose three field tokens are not there once each, in this order,
// is not a record and is skipped; so is an "$a4" with no "$a0" since the last record.
QList<Recommendation> parseBoard(QStringView page);

// The recommendations seen during this run, newest first once the first load is done.
class RecommendationList {
public:
    // Adds the records that are not known yet: appended in reply order on the first load, put
    // at the top afterwards (several new ones thus end up in reverse reply order). Returns
    // whether anything was added. A record is known when all four fields equal a stored one.
    bool merge(const QList<Recommendation>& records);

    qsizetype size() const { return RecommendAddresses.size(); }
    Recommendation at(qsizetype i) const;
    bool firstLoadDone() const { return m_firstLoadDone; }

    // Four parallel lists, entry i of each describing the same recommendation.
    QStringList RecommendAddresses;
    QStringList RecommendStocks;
    QStringList RecommendReasons;
    QStringList RecommendTimes;

private:
    QSet<QString> m_known;   // one key per stored record, for the duplicate test
    bool m_firstLoadDone = false;
};

// At most this many lines are shown.
inline constexpr int kMaxLines = 10;

// A reason is at most 60 bytes as the form sends it (GBK): 30 Chinese characters, or 60 letters.
inline constexpr int kMaxReasonBytes = 60;
bool reasonFits(const QString& reason);

// A line's caption: four blanks, the address, three blanks, the stock, three blanks, the reason.
// Line breaks and other control characters become blanks, so a line stays one line.
QString lineCaption(const Recommendation& r);
// A line's hint: the reason and the time of the recommendation, whole.
QString lineHint(const Recommendation& r);

// Exactly six ASCII digits.
bool isStockCode(QStringView code);

// What the server answered to a post.
struct PostOutcome {
    bool overLimit = false;   // "超过": the address posted twice today already
    bool accepted = false;    // "成功"
};
PostOutcome postOutcome(QStringView reply);

} // namespace recommend

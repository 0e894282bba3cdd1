// The companion server's stock-recommendation board: the newest posts for the client's window,
// the whole board as a page, the post form with its two-posts-per-address-and-day rule, and the
// few recommendations a fresh server starts with.
#pragma once

#include "forms.h"
#include "store.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

namespace feed {
class Market;
}

namespace server {


namespace recommend {

inline constexpr int kShownPosts = 20;     // records in one /gpjgshow.asp reply
inline constexpr int kPostsPerDay = 2;     // posts one address may make in a day
inline constexpr int kMaxReasonLength = CompanionStore::kMaxReasonLength;
inline const QString kPostAccepted = QStringLiteral("荐股成功");
inline const QString kOverLimit = QStringLiteral("今日荐股次数超过2次");

// The address as the board shows it: the last part of an IPv4 address masked ("127.0.0.*").
QString shownAddress(const QString& address);
// "浦发银行(600000)"
QString shownStock(const StoredRecommendation& r);
// The posting time in the system date and time forms, "2026-12-9 9:05:07".
QString shownTime(const StoredRecommendation& r);

// The /gpjgshow.asp payload: one "$a0 address $a1 stock $a2 reason $a3 time $a4" record per
// post, newest first.
QString showPayload(const QList<StoredRecommendation>& posts);
// /jg.asp: every post as an HTML table, newest first.
QString boardPage(const QList<StoredRecommendation>& posts);

// /gpjg.asp: checks the fields as the client's form sends them (gpdm six digits, gpmc a name of at
// most 20 characters, tjly a reason of at most 60, neither blank, all text GBK can hold without
// control characters), then stores the post. A refused field gets a reply that says which, holding
// neither "超过" nor "成功"; a store that cannot be reached, kServerBusy with status 503.
// `perDay` is the operator's limit; the refusal names it.
FormReply answerPost(CompanionStore& store, const QString& address, const QDateTime& now,
                     const std::function<QString(const QString&)>& field, int perDay = kPostsPerDay);
QString overLimit(int perDay);

// Puts a few recommendations of the last hours on an empty board.
void seedBoard(CompanionStore& store, const feed::Market& market, const QDateTime& now);

} // namespace recommend
} // namespace server

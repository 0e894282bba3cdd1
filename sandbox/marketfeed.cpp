#include "marketfeed.h"

#include "infosites.h"
#include "newsflash.h"

namespace sandbox {

void SimulatedFeed::quote(const QString& code, const QDateTime& t, Done<QuoteAnswer> done)
{
    done(isStockCode(code) ? market_.quote(code, t) : std::nullopt);
}

void SimulatedFeed::indices(const QDateTime& t, Done<IndexAnswer> done)
{
    done(IndexAnswer{market_.shanghaiIndex(t), market_.shenzhenIndex(t)});
}

void SimulatedFeed::bigOrders(const QString& code, const QDateTime& t, int days, Done<BigOrderAnswer> done)
{
    done(BigOrderAnswer{market_.nameOf(code), market_.bigOrderDays(code, t, days)});
}

void SimulatedFeed::notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> done)
{
    done(NoticeAnswer{market_.nameOf(code), notices::simulated(market_, code, t.date())});
}

void SimulatedFeed::forumPosts(const QString& code, const QDateTime& t, Done<ForumAnswer> done)
{
    done(ForumAnswer{market_.nameOf(code), forum::simulated(market_, code, t, siteBase_ ? siteBase_() : QString())});
}

void SimulatedFeed::newsFlash(const QDateTime& t, int count, Done<QList<NewsEntry>> done)
{
    done(newsflash::entries(newsflash::latest(market_, t, count)));
}

void SimulatedFeed::commentary(const QString& code, const QDateTime& t, Done<CommentaryAnswer> done)
{
    done(CommentaryAnswer{market_.nameOf(code), commentary::simulated(market_, code, t)});
}

void SimulatedFeed::companyNews(const QString& code, const QDateTime& t, Done<CompanyNewsAnswer> done)
{
    done(companypage::simulated(market_, code, t.date()));
}

} // namespace sandbox

#include "marketfeed.h"

namespace feed {

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

void SimulatedFeed::notices(const QString& code, const QDateTime&, Done<NoticeAnswer> done)
{
    done(NoticeAnswer{market_.nameOf(code), {}});
}

void SimulatedFeed::forumPosts(const QString& code, const QDateTime&, Done<ForumAnswer> done)
{
    done(ForumAnswer{market_.nameOf(code), {}});
}

void SimulatedFeed::newsFlash(const QDateTime&, int, Done<QList<NewsEntry>> done)
{
    done(QList<NewsEntry>{});
}

void SimulatedFeed::commentary(const QString& code, const QDateTime&, Done<CommentaryAnswer> done)
{
    done(CommentaryAnswer{market_.nameOf(code), {}});
}

void SimulatedFeed::companyNews(const QString& code, const QDateTime&, Done<CompanyNewsAnswer> done)
{
    done(CompanyNewsAnswer{market_.nameOf(code), {}, {}});
}

} // namespace feed

#include "simulatedsites.h"

#include "infosites.h"
#include "newsflash.h"

namespace sandbox {

using namespace feed;

void SimulatedSites::notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> done)
{
    done(NoticeAnswer{market().nameOf(code), notices::simulated(market(), code, t.date())});
}

void SimulatedSites::forumPosts(const QString& code, const QDateTime& t, Done<ForumAnswer> done)
{
    done(ForumAnswer{market().nameOf(code), forum::simulated(market(), code, t, siteBase_ ? siteBase_() : QString())});
}

void SimulatedSites::newsFlash(const QDateTime& t, int count, Done<QList<NewsEntry>> done)
{
    done(newsflash::entries(newsflash::latest(market(), t, count)));
}

void SimulatedSites::commentary(const QString& code, const QDateTime& t, Done<CommentaryAnswer> done)
{
    done(CommentaryAnswer{market().nameOf(code), commentary::simulated(market(), code, t)});
}

void SimulatedSites::companyNews(const QString& code, const QDateTime& t, Done<CompanyNewsAnswer> done)
{
    done(companypage::simulated(market(), code, t.date()));
}

} // namespace sandbox

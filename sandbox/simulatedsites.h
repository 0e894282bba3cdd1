// The simulated world with the sandbox's made-up information sites on top: each stock's notices,
// forum posts, 千股千评 line, rumours and research reports, and the news flash, as the sandbox's
// own site pages show them.
#pragma once

#include "marketfeed.h"

#include <functional>

namespace sandbox {

class SimulatedSites : public feed::SimulatedFeed {
public:
    // `siteBase` gives the sandbox's own address, which the simulated forum's author links point at.
    explicit SimulatedSites(feed::Market& market, std::function<QString()> siteBase = {})
        : SimulatedFeed(market), siteBase_(std::move(siteBase)) {}
    void notices(const QString& code, const QDateTime& t, feed::Done<feed::NoticeAnswer> done) override;
    void forumPosts(const QString& code, const QDateTime& t, feed::Done<feed::ForumAnswer> done) override;
    void newsFlash(const QDateTime& t, int count, feed::Done<QList<feed::NewsEntry>> done) override;
    void commentary(const QString& code, const QDateTime& t, feed::Done<feed::CommentaryAnswer> done) override;
    void companyNews(const QString& code, const QDateTime& t, feed::Done<feed::CompanyNewsAnswer> done) override;

private:
    std::function<QString()> siteBase_;
};

} // namespace sandbox

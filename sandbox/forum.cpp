// The stock forum: a topic page per stock listing posts with their click and reply counts, and a
// page behind every post. New posts appear through the day, mostly in trading hours; counts grow
// with a post's age.
#include "infosites.h"

#include "liveforum.h"
#include "market.h"
#include "marketfeed.h"
#include "pagegen.h"

#include <QRegularExpression>

namespace sandbox::forum {

using namespace feed;

namespace {

constexpr int kMaxRows = 40;

struct Post {
    qint64 id = 0;
    QDateTime posted;
    QString title;
    QString author;        // as the author cell holds it: a plain name or a link around it
    int clickBase = 0;
    int clicksPerHour = 0;
    int replyPercent = 0;
};

const QStringList& titleTemplates()
{
    static const QStringList t = {
        QStringLiteral("%1要起飞了"),
        QStringLiteral("%1今天的走势大家怎么看？"),
        QStringLiteral("主力还在吸筹，%1拿住别动"),
        QStringLiteral("%1(%2)三季报点评：业绩稳健增长，估值仍处低位，中长线值得关注"),
        QStringLiteral("明天%1高开还是低开"),
        QStringLiteral("割肉了，%1伤透了心"),
        QStringLiteral("%1：放量突破在即"),
        QStringLiteral("大家觉得%1合理价位是多少"),
        QStringLiteral("【实盘】%1今日操作记录，欢迎交流"),
        QStringLiteral("%1尾盘有资金抢筹，明天看高一线"),
        QStringLiteral("%1"),
        QStringLiteral("关于%1的几点看法：一、基本面没有变化；二、技术面已经超跌；三、耐心持有"),
    };
    return t;
}

const QStringList& authorNames()
{
    static const QStringList a = {
        QStringLiteral("股海沉浮"), QStringLiteral("价值投资者"), QStringLiteral("短线快刀手"),
        QStringLiteral("老股民2008"), QStringLiteral("韭菜一号"), QStringLiteral("牛市来了"),
        QStringLiteral("散户老王"), QStringLiteral("江南一草"), QStringLiteral("稳稳的幸福"),
    };
    return a;
}

QString authorCell(pagegen::Draw& draw, const QString& baseUrl)
{
    switch (draw.below(4)) {
    case 0:
    case 1:
        return QStringLiteral("<a href=\"%1/u/%2\" target=\"_blank\">%3</a>")
            .arg(baseUrl)
            .arg(100000 + draw.below(900000))
            .arg(draw.pick(authorNames()));
    case 2:
        return QStringLiteral("\r\n    %1  ").arg(draw.pick(authorNames()));
    default:
        return QStringLiteral("%1.%2.*.*").arg(58 + draw.below(160)).arg(draw.below(256));
    }
}

// The posts of `day`, oldest first. Quiet stocks get a post or two; the others a dozen or more,
// most of them in trading hours.
QList<Post> dayPosts(Market& market, const QString& code, const QDate& day, const QString& baseUrl)
{
    const quint64 seed = market.seed();
    pagegen::Draw draw(seed, code, day, 0xF0);
    const bool quiet = pagegen::stockTrait(seed, code, 0xF1, 8) == 0;
    const int count = quiet ? draw.below(3) : 8 + draw.below(16);
    QList<int> minutes;
    for (int i = 0; i < count; ++i)
        minutes << (draw.chance(70) ? 9 * 60 + 15 + draw.below(6 * 60 + 15) : draw.below(24 * 60));
    std::sort(minutes.begin(), minutes.end());
    const QString name = market.nameOf(code);
    QList<Post> posts;
    for (int i = 0; i < count; ++i) {
        Post p;
        p.id = day.toJulianDay() * 1000 + i;
        p.posted = QDateTime(day, QTime(minutes[i] / 60, minutes[i] % 60, draw.below(60)));
        p.title = QString(draw.pick(titleTemplates())).replace(QStringLiteral("%1"), name).replace(QStringLiteral("%2"), code);
        p.author = authorCell(draw, baseUrl);
        p.clickBase = 5 + draw.below(60);
        p.clicksPerHour = 20 + draw.below(400);
        p.replyPercent = 2 + draw.below(12);
        posts << p;
    }
    return posts;
}

int clicksAt(const Post& p, const QDateTime& now)
{
    const qint64 minutes = qMax<qint64>(0, p.posted.secsTo(now) / 60);
    return int(qMin<qint64>(999999, p.clickBase + minutes * p.clicksPerHour / 60));
}

QString row(const ForumPost& p)
{
    // One pass over every field, so a title that happens to hold "%1" stays as it is.
    return QStringLiteral("<div class=\"articleh\"><ul><li class=l1>%1</li><li class=l2>%2</li>"
                          "<li class=l3><a href=\"%3\" >%4</a></li>"
                          "<li class=l4>%5</li><li class=l5>%6</li><li class=l6>%7</li></ul></div>\r\n")
        .arg(QString::number(p.clicks), QString::number(p.replies), p.link, p.title, p.author,
             p.posted.toString(QStringLiteral("MM-dd hh:mm")), p.updated.toString(QStringLiteral("MM-dd hh:mm")));
}

SitePage postPage(Market& market, const QString& code, qint64 id, const QDateTime& now,
                  const QString& baseUrl)
{
    const QDate day = QDate::fromJulianDay(id / 1000);
    const QList<Post> posts = market.contains(code) && day.isValid() && day <= now.date()
                                  ? dayPosts(market, code, day, baseUrl)
                                  : QList<Post>();
    const qsizetype i = id % 1000;
    if (i >= posts.size() || posts[i].posted > now)
        return {pagegen::page(QStringLiteral("帖子不存在"), QStringLiteral("<p>该帖子不存在或已被删除。</p>")), 404};
    const Post& p = posts[i];
    const QString body = QStringLiteral("<h1>%1</h1><div class=\"author\">作者：%2 发表于 %3</div>"
                                        "<div class=\"stockcodec\">%1</div><div>点击：%4</div>")
                             .arg(p.title, p.author, p.posted.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                             .arg(clicksAt(p, now));
    return {pagegen::page(p.title + QStringLiteral("_股吧"), body)};
}

} // namespace

QList<ForumPost> simulated(Market& market, const QString& code, const QDateTime& now, const QString& baseUrl)
{
    QList<ForumPost> out;
    if (market.nameOf(code).isEmpty())
        return out;
    for (const QDate& day : {now.date(), now.date().addDays(-1)}) {
        const QList<Post> posts = dayPosts(market, code, day, baseUrl);
        for (auto it = posts.crbegin(); it != posts.crend() && out.size() < kMaxRows; ++it) {
            if (it->posted > now)
                continue;
            const int clicks = clicksAt(*it, now);
            out.append({QStringLiteral("news,%1,%2.html").arg(code).arg(it->id), it->posted,
                        qMin(now, it->posted.addSecs(60 * (3 + it->replyPercent * 7))), it->title, it->author, clicks,
                        clicks * it->replyPercent / 100});
        }
    }
    return out;
}

QString listPage(const QString& name, const QString& code, const QList<ForumPost>& posts, const QString& baseUrl)
{
    QString rows;
    if (!name.isEmpty())
        for (const ForumPost& p : posts)
            rows += row(p);
    const QString title = name.isEmpty() ? QStringLiteral("股吧_东方财富网股吧")
                                         : QStringLiteral("%1吧(%2)_股吧_东方财富网股吧").arg(name, code);
    const QString body =
        QStringLiteral("<div id=\"header\"><a href=\"%1/\">股吧首页</a> &gt; <a href=\"%1/topic,%2.html\">%3吧</a></div>\r\n"
                       "<div id=\"articlelistnew\">\r\n<div class=\"articleh listhead\"><span class=\"l1\">点击</span>"
                       "<span class=\"l2\">回复</span><span class=\"l3\">标题</span><span class=\"l4\">作者</span>"
                       "<span class=\"l5\">发表日期</span><span class=\"l6\">最后更新</span></div>\r\n%4</div>\r\n"
                       "<div class=\"pager\">共 %5 篇</div>")
            .arg(baseUrl, code, name.isEmpty() ? code : name, rows)
            .arg(name.isEmpty() ? 0 : posts.size());
    return pagegen::page(title, body);
}

std::optional<SitePage> movedPage(const QString& path)
{
    static const QRegularExpression moved(QStringLiteral("^/(news|caifuhao),(\\w{1,12}),(\\d{1,30})\\.html$"));
    const QRegularExpressionMatch m = moved.match(path);
    if (!m.hasMatch())
        return std::nullopt;
    const QString address = m.captured(1) == u"news" ? liveforum::postAddress(m.captured(2), m.captured(3))
                                                     : liveforum::caifuhaoAddress(m.captured(3));
    return SitePage{pagegen::page(QStringLiteral("帖子"),
                                  QStringLiteral("<meta http-equiv=\"refresh\" content=\"0;url=%1\">"
                                                 "<p><a href=\"%1\">%1</a></p>").arg(address))};
}

std::optional<SitePage> answer(Market& market, const QString& path, const QDateTime& now,
                               const QString& baseUrl)
{
    static const QRegularExpression topic(QStringLiteral("^/topic,(\\w{1,12})\\.html$"));
    static const QRegularExpression news(QStringLiteral("^/news,(\\w{1,12}),(\\d{1,12})\\.html$"));
    if (const auto m = topic.match(path); m.hasMatch()) {
        const QString code = m.captured(1);
        return SitePage{listPage(market.nameOf(code), code, simulated(market, code, now, baseUrl), baseUrl)};
    }
    if (const auto m = news.match(path); m.hasMatch())
        return postPage(market, m.captured(1), m.captured(2).toLongLong(), now, baseUrl);
    return std::nullopt;
}

} // namespace sandbox::forum

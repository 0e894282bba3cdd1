#include "info/forum.h"

#include "net/scan.h"

namespace info {

namespace {

// Text from 0-based index `from` up to, not including, `to`; empty when the span is empty.
QString span(QStringView text, qsizetype from, qsizetype to)
{
    from = qBound<qsizetype>(0, from, text.size());
    to = qBound<qsizetype>(0, to, text.size());
    return to > from ? text.mid(from, to - from).toString() : QString();
}

// A trimmed author cell that holds a link gives the link's text: from the last ">" before the
// first "</a>" up to that "</a>".
QString authorName(const QString& cell)
{
    QString author = net::trimBlanks(cell);
    const qsizetype end = author.indexOf(QStringLiteral("</a>"));
    if (end >= 0) {
        const qsizetype gt = end > 0 ? author.lastIndexOf(u'>', end - 1) : -1;
        author = author.mid(gt + 1, end - gt - 1);
    }
    return author;
}

} // namespace

QString normaliseForumDate(const QString& text, int year)
{
    QString d = text;
    if (d.startsWith(u'0'))
        d.remove(0, 1);
    const qsizetype dash = d.indexOf(QStringLiteral("-0"));
    if (dash >= 0)
        d.remove(dash + 1, 1);
    const qsizetype blank = d.indexOf(u' ');
    if (blank >= 0)
        d = QStringLiteral("%1-").arg(year, 4, 10, QLatin1Char('0')) + d.left(blank);
    return d;
}

QList<ForumPost> scanForumPage(QStringView text, const QString& forumBase, int year)
{
    static const QString heading = QStringLiteral("发表日期");
    static const QString l1 = QStringLiteral("<li class=l1>"), l2 = QStringLiteral("<li class=l2>"),
                         l4 = QStringLiteral("<li class=l4>"), l5 = QStringLiteral("<li class=l5>"),
                         l6 = QStringLiteral("<li class=l6>");
    static const QString liEnd = QStringLiteral("</li>"), aEnd = QStringLiteral("</a>"),
                         aOpen = QStringLiteral("<a href="), tagEnd = QStringLiteral(" >");
    constexpr qsizetype kCellOpen = 13;   // length of "<li class=lN>"

    QList<ForumPost> posts;
    ForumPost post;
    bool armed = false;
    bool open = false;
    int s = 0;
    qsizetype start = 0;   // 0-based index shared by every state

    // One cell of the row: the opening tag arms it, its "</li>" closes it and yields the text.
    auto cell = [&](qsizetype p, const QString& tag, QString* out) {
        if (net::at(text, p, tag)) {
            start = p + kCellOpen;
            open = true;
        }
        if (open && net::at(text, p, liEnd)) {
            *out = span(text, start, p);
            open = false;
            return true;
        }
        return false;
    };

    for (qsizetype p = 0; p < text.size(); ++p) {
        if (!armed && net::at(text, p, heading))
            armed = true;
        if (!armed)
            continue;
        if (s == 0 && cell(p, l1, &post.clicks))
            s = 1;
        if (s == 1 && cell(p, l2, &post.replies))
            s = 2;
        if (s == 2) {
            if (net::at(text, p, aOpen))
                start = p + aOpen.size() + 1;   // past the quote that opens the address
            if (net::at(text, p, tagEnd)) {
                post.link = forumBase + u'/' + span(text, start, p - 1);   // without the closing quote
                start = p + tagEnd.size();
                s = 3;
            }
        }
        if (s == 3 && net::at(text, p, aEnd)) {
            post.title = span(text, start, p);
            s = 4;
        }
        if (s == 4 && cell(p, l4, &post.author)) {
            post.author = authorName(post.author);
            s = 5;
        }
        QString date;
        if (s == 5 && cell(p, l5, &date)) {
            post.date = normaliseForumDate(date, year);
            posts.append(post);
            post = ForumPost();
            s = 6;
        }
        QString unused;
        if (s == 6 && cell(p, l6, &unused))
            s = 0;
    }
    return posts;
}

QString latestCaption(const QString& title)
{
    return title.size() > 16 ? title.left(16) + QStringLiteral("...") : title;
}

void ForumPosts::reset()
{
    PostTitleList.clear();
    PostDateList.clear();
    PostLinkList.clear();
    PostCountList.clear();
    PostAuthorList.clear();
    PostMarkList = QStringList(4, QStringLiteral("1"));
    m_links.clear();
    rowsShown = 0;
}

int ForumPosts::addToday(const QList<ForumPost>& posts, const QString& today)
{
    int added = 0;
    for (const ForumPost& post : posts) {
        if (m_links.contains(post.link) || post.date != today)
            continue;
        m_links.insert(post.link);
        PostTitleList.append(post.title);
        PostDateList.append(post.date);
        PostLinkList.append(post.link);
        PostCountList.append(post.clicks + u'/' + post.replies);
        PostAuthorList.append(post.author);
        PostMarkList.append(QStringList(4, QStringLiteral("1")));
        ++added;
    }
    return added;
}

LatestPostUpdate ForumPosts::updateLatest(int added)
{
    LatestPostUpdate u;
    if (PostTitleList.isEmpty()) {
        u.noPosts = true;
        u.failure = !latestPostFlag;
        investorCommentLink.clear();
        return u;
    }
    if (!latestPostFlag) {
        latestPostFlag = true;
        u.post = 0;
    } else if (added > 0) {
        u.post = count() - 1;
    } else {
        return u;
    }
    u.show = true;
    investorCommentLink = PostLinkList[u.post];
    return u;
}

bool ForumPosts::opened(int row) const
{
    const qsizetype i = 4 * qsizetype(row - 1);
    return row >= 1 && i < PostMarkList.size() && PostMarkList[i] == u"0";
}

void ForumPosts::markOpened(int row)
{
    if (row < 1)
        return;
    for (qsizetype i = 4 * qsizetype(row - 1), end = i + 4; i < end && i < PostMarkList.size(); ++i)
        PostMarkList[i] = QStringLiteral("0");
}

} // namespace info

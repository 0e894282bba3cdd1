#include "blogs.h"

#include "market.h"
#include "upstream.h"
#include "worldpick.h"

#include "net/codecs.h"

#include <QRegularExpression>

namespace sandbox::blogs {

using namespace feed;

namespace {

enum class Style { Names, Codes, Utf8Names };

struct Blog {
    const char* id;
    const char* name;
    Style style;
};

// The names are chosen so that their GBK bytes hold none of the directory's separators.
constexpr Blog kBlogs[] = {
    {"guhai", "股海拾贝", Style::Names},
    {"jiazhi", "价值投资笔记", Style::Names},
    {"laok", "老K看盘", Style::Codes},
    {"qushi", "趋势交易日志", Style::Utf8Names},
    {"caijing", "财经夜话", Style::Names},
    {"dapan", "大盘风向标", Style::Codes},
    {"longtou", "龙头股追踪", Style::Utf8Names},
    {"boduan", "波段操作手记", Style::Names},
    {"jigou", "机构动向观察", Style::Codes},
    {"xinshou", "新手炒股课堂", Style::Names},
    {"hangye", "行业研究随笔", Style::Utf8Names},
    {"shipan", "实盘记录本", Style::Names},
};
constexpr int kBlogCount = int(std::size(kBlogs));
constexpr int kSlotHours = 2;      // a new post every two hours
constexpr int kPostsShown = 3;
constexpr int kStocksPerPost = 2;

const char* const kOpinions[] = {
    "量能温和放大，短线有望继续走强",
    "回踩均线获得支撑，可以继续持有",
    "消息面偏暖，关注能否突破前高",
    "主力资金连续流入，值得重点跟踪",
    "估值处于历史低位，适合逢低布局",
};

struct Post {
    QDateTime time;
    QStringList codes;
    int opinion;
};

// The post of slot `slot` (counted in two-hour slots since day 0) of blog `index`.
Post postAt(const Market& market, int index, qint64 slot)
{
    const QStringList codes = market.codes();
    Post post;
    const qint64 day = slot / (24 / kSlotHours);
    post.time = QDateTime(QDate::fromJulianDay(day), QTime(int(slot % (24 / kSlotHours)) * kSlotHours, 5));
    for (int k = 0; !codes.isEmpty() && post.codes.size() < kStocksPerPost && k < 8; ++k) {
        const QString code = codes[int(worldPick(market.seed(), 0xB106, quint64(index), quint64(slot * 8 + k))
                                       % quint64(codes.size()))];
        if (!post.codes.contains(code))
            post.codes.append(code);
    }
    post.opinion = int(worldPick(market.seed(), 0x0B1, quint64(index), quint64(slot)) % std::size(kOpinions));
    return post;
}

qint64 slotOf(const QDateTime& t)
{
    return t.date().toJulianDay() * (24 / kSlotHours) + t.time().hour() / kSlotHours;
}

QList<Post> postsAt(const Market& market, int index, const QDateTime& t)
{
    QList<Post> posts;
    for (qint64 slot = slotOf(t); posts.size() < kPostsShown; --slot)
        posts.append(postAt(market, index, slot));
    return posts;
}

QString stockText(const Market& market, Style style, const QString& code)
{
    return style == Style::Codes ? code : market.nameOf(code);
}

} // namespace

QList<Entry> directory(const QString& baseUrl)
{
    QList<Entry> out;
    for (const Blog& blog : kBlogs)
        out.append({baseUrl + QStringLiteral("/blog/%1.html").arg(QLatin1String(blog.id)), QString::fromUtf8(blog.name)});
    return out;
}

QStringList mentionedCodes(const Market& market, int index, const QDateTime& t)
{
    QStringList out;
    for (const Post& post : postsAt(market, index, t))
        for (const QString& code : post.codes)
            if (!out.contains(code))
                out.append(code);
    return out;
}

std::optional<Page> page(const Market& market, const QString& path, const QDateTime& t)
{
    static const QRegularExpression pattern(QStringLiteral("^/blog/([a-z]+)\\.html$"));
    const QRegularExpressionMatch m = pattern.match(path);
    if (!m.hasMatch())
        return std::nullopt;
    int index = 0;
    while (index < kBlogCount && m.captured(1) != QLatin1String(kBlogs[index].id))
        ++index;
    if (index == kBlogCount)
        return std::nullopt;
    const Blog& blog = kBlogs[index];
    const bool utf8 = blog.style == Style::Utf8Names;

    QString posts;
    for (const Post& post : postsAt(market, index, t)) {
        if (post.codes.isEmpty())
            continue;   // a world without stocks: the blog has nothing to say
        QStringList stocks;
        for (const QString& code : post.codes)
            stocks.append(stockText(market, blog.style, code));
        const QString joined = stocks.join(QStringLiteral("、"));
        posts += QStringLiteral("<div class=\"post\"><h3>今日关注：%1</h3><div class=\"time\">%2</div>"
                                "<p>%1：%3。以上仅为个人观点，不构成投资建议。</p></div>\r\n")
                     .arg(joined, post.time.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                          QString::fromUtf8(kOpinions[post.opinion]));
    }
    const QString name = QString::fromUtf8(blog.name);
    const QString html = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">"
                                        "<title>%2_博客</title></head><body><div id=\"head\"><h1>%2</h1></div>"
                                        "<div id=\"articles\">\r\n%3</div></body></html>")
                             .arg(utf8 ? QStringLiteral("utf-8") : QStringLiteral("gbk"), name, posts);
    if (utf8)
        return Page{html.toUtf8(), "text/html; charset=utf-8"};
    return Page{net::toGbk(html), "text/html; charset=gbk"};
}

} // namespace sandbox::blogs

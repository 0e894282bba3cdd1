// The notice list of the East Money data site: a header row, then every announcement of the
// stock in the last months, newest first. Some stocks keep an older notice pinned to the top, so
// an announcement of today is not always in the first row; a page behind every announcement.
#include "infosites.h"

#include "market.h"
#include "marketfeed.h"
#include "pagegen.h"
#include "upstream.h"

#include <QRegularExpression>

#include <optional>

namespace sandbox::notices {

using namespace feed;

namespace {

struct Notice {
    QString id;
    QDate date;
    QString title;
};

const QStringList& titles()
{
    static const QStringList t = {
        QStringLiteral("关于召开2026年第二次临时股东大会的通知"),
        QStringLiteral("2026年第三季度报告"),
        QStringLiteral("第八届董事会第十二次会议决议公告"),
        QStringLiteral("关于股东减持股份计划的预披露公告"),
        QStringLiteral("关于获得政府补助的公告"),
        QStringLiteral("关于对外投资设立全资子公司的公告"),
        QStringLiteral("股票交易异常波动公告"),
        QStringLiteral("关于回购公司股份的进展公告"),
        QStringLiteral("独立董事关于相关事项的独立意见"),
        QStringLiteral("关于控股股东部分股份质押的公告"),
    };
    return t;
}

constexpr QStringView kPinnedTitle = u"关于公司重大资产重组的停牌公告（置顶）";

// Whether the stock published a notice on `day`, and which: the same answer every time it is asked.
std::optional<Notice> noticeOn(quint64 seed, const QString& code, const QDate& day)
{
    pagegen::Draw draw(seed, code, day, 0xA0);
    if (!draw.chance(30))
        return std::nullopt;
    return Notice{QStringLiteral("%1_%2").arg(code).arg(day.toJulianDay()), day, draw.pick(titles())};
}

// The stock's notices up to `today`, newest first, with the pinned one (if any) in front.
QList<Notice> noticesOf(Market& market, const QString& code, const QDate& today)
{
    constexpr int kRows = 15;
    const quint64 seed = market.seed();
    QList<Notice> list;
    for (QDate day = today; list.size() < kRows && day > today.addDays(-365); day = day.addDays(-1))
        if (const std::optional<Notice> n = noticeOn(seed, code, day))
            list.append(*n);
    if (pagegen::stockTrait(seed, code, 0xA2, 2) == 0) {
        const QDate pinned = today.addDays(-20);
        list.prepend({QStringLiteral("%1_%2_p").arg(code).arg(pinned.toJulianDay()), pinned, kPinnedTitle.toString()});
    }
    return list;
}

SitePage notFound()
{
    return {pagegen::page(QStringLiteral("公告不存在"), QStringLiteral("<p>该公告不存在。</p>")), 404};
}

QString caption(const QString& href, const QString& text)
{
    return QStringLiteral("<span class=\"caption\"><a href=\"%1\">%2</a></span>").arg(href, text);
}

SitePage detailPage(Market& market, const QString& id, const QDate& today)
{
    const QStringList parts = id.split(u'_');
    const QString code = parts.value(0);
    const QDate day = QDate::fromJulianDay(parts.value(1).toLongLong());
    std::optional<Notice> notice;
    if (market.contains(code) && day.isValid() && day <= today) {
        if (parts.size() == 3 && parts[2] == u"p")
            notice = Notice{id, day, kPinnedTitle.toString()};
        else if (parts.size() == 2)
            notice = noticeOn(market.seed(), code, day);
    }
    if (!notice)
        return notFound();
    const QString title = market.nameOf(code) + u'(' + code + u')' + notice->title;
    return {pagegen::page(title, QStringLiteral("<h2>%1</h2><p>公告日期：%2</p><p>本公司及董事会全体成员保证"
                                                "信息披露的内容真实、准确、完整，没有虚假记载、误导性陈述或重大遗漏。</p>")
                                     .arg(title, pagegen::isoDate(day)))};
}

} // namespace

QList<NoticeEntry> simulated(Market& market, const QString& code, const QDate& today)
{
    QList<NoticeEntry> out;
    if (market.contains(code))
        for (const Notice& n : noticesOf(market, code, today))
            out.append({n.id, n.date, n.title});
    return out;
}

QString listPage(const QString& name, const QString& code, const QList<NoticeEntry>& notices)
{
    QString rows = QStringLiteral("<li class=\"head\">") + caption(QStringLiteral("#"), QStringLiteral("公告标题"))
                   + QStringLiteral("<span class=\"time\">公告时间</span></li>\r\n");
    if (!name.isEmpty()) {
        for (const NoticeEntry& n : notices)
            rows += QStringLiteral("<li>") + caption(QStringLiteral("Notice_Detail.aspx?id=") + n.id,
                                                     name + u'(' + code + u')' + n.title)
                    + QStringLiteral("<span class=\"time\">%1</span></li>\r\n").arg(pagegen::isoDate(n.date));
    }
    const QString body = QStringLiteral("<div class=\"nav\">东方财富网 &gt; 数据中心 &gt; 公告大全</div>\r\n"
                                        "<div class=\"notice\"><ul>\r\n%1</ul></div>")
                             .arg(rows);
    return pagegen::page(QStringLiteral("%1(%2)公告_东方财富网").arg(name, code), body);
}

SitePage movedPage(const QString& id)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{6})_([A-Za-z0-9]{1,40})$"));
    const QRegularExpressionMatch m = form.match(id);
    if (!m.hasMatch())
        return notFound();
    const QString address = upstream::noticeAddress(m.captured(1), m.captured(2));
    return {pagegen::movedPage(QStringLiteral("公告"), address)};
}

std::optional<SitePage> answer(Market& market, const QString& path, const FieldReader& field,
                               const QDateTime& now)
{
    if (path == QLatin1String("/notice/notice_list.aspx")) {
        const QString code = field(QStringLiteral("code"));
        return SitePage{listPage(market.nameOf(code), code, simulated(market, code, now.date()))};
    }
    if (path == QLatin1String("/notice/notice_detail.aspx"))
        return detailPage(market, field(QStringLiteral("id")), now.date());
    return std::nullopt;
}

} // namespace sandbox::notices

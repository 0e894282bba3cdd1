// The company news page of the Sina finance site: a rumour section and a research-report
// section per stock, newest first, and a page behind every rumour and report (in live mode a
// rumour's page sends the browser on to the question on its source, a report links to its own). A few stocks have no
// reports and show only the "更多" anchor in that section.
#include "infosites.h"

#include "livenews.h"
#include "market.h"
#include "marketfeed.h"
#include "pagegen.h"

#include <QRegularExpression>

namespace sandbox::companypage {

using namespace feed;

namespace {

constexpr int kRows = 6;

struct Item {
    QDate day;
    QString text;
};

const QStringList& rumourTitles()
{
    // Lengths vary around the line's 16 characters on purpose.
    static const QStringList t = {
        QStringLiteral("%1：传公司将获大股东注资"),
        QStringLiteral("%1回应重组传闻"),
        QStringLiteral("市场传闻%1拟收购同行业公司股权"),
        QStringLiteral("%1：否认高管被调查"),
        QStringLiteral("%1澄清：未与外资洽谈合作事项，传闻不实"),
    };
    return t;
}

const QStringList& reportTitles()
{
    static const QStringList t = {
        QStringLiteral("国泰君安：%1业绩超预期"),
        QStringLiteral("中金公司：%1经营稳健，维持推荐评级，目标价上调百分之十"),
        QStringLiteral("海通证券：%1首次覆盖"),
        QStringLiteral("招商证券：%1三季报点评，毛利率持续改善，上调盈利预测"),
    };
    return t;
}

std::optional<Item> itemOn(quint64 seed, const QString& code, const QString& name, const QDate& day,
                           quint64 salt, int percent, const QStringList& titles)
{
    pagegen::Draw draw(seed, code, day, salt);
    if (!draw.chance(percent))
        return std::nullopt;
    return Item{day, QString(draw.pick(titles)).replace(QStringLiteral("%1"), name)};
}

QList<Item> itemsOf(Market& market, const QString& code, const QDate& today, quint64 salt, int percent,
                    const QStringList& titles)
{
    QList<Item> items;
    const QString name = market.nameOf(code);
    for (QDate day = today; items.size() < kRows && day > today.addDays(-365); day = day.addDays(-1))
        if (const std::optional<Item> item = itemOn(market.seed(), code, name, day, salt, percent, titles))
            items.append(*item);
    return items;
}

bool withoutReports(Market& market, const QString& code)
{
    return pagegen::stockTrait(market.seed(), code, 0xB3, 5) == 0;
}

QString market2(const QString& code)
{
    return code.startsWith(u'6') ? QStringLiteral("sh") : QStringLiteral("sz");
}

QList<CompanyNewsEntry> entries(const QList<Item>& items)
{
    QList<CompanyNewsEntry> out;
    for (const Item& i : items)
        out.append({i.day, i.text, QString::number(i.day.toJulianDay()), QString()});
    return out;
}

SitePage itemPage(Market& market, const QString& code, const QString& which, const QDate& day,
                  const QDate& today)
{
    const bool rumour = which == u"rumour";
    std::optional<Item> item;
    if (market.contains(code) && day.isValid() && day <= today && (rumour || !withoutReports(market, code)))
        item = itemOn(market.seed(), code, market.nameOf(code), day, rumour ? 0xB1 : 0xB2, rumour ? 25 : 20,
                      rumour ? rumourTitles() : reportTitles());
    if (!item)
        return {pagegen::page(QStringLiteral("页面不存在"), QStringLiteral("<p>您访问的页面不存在。</p>")), 404};
    return {pagegen::page(item->text, QStringLiteral("<h1>%1</h1><p>%2 新浪财经</p><p>%3</p>")
                                          .arg(item->text, pagegen::isoDate(item->day),
                                               rumour ? QStringLiteral("传闻内容仅供参考，请以公司公告为准。")
                                                      : QStringLiteral("研究报告全文请登录查看。")))};
}

SitePage listPage(Market& market, const QString& code, const QString& which, const QDate& today)
{
    const bool rumour = which == u"rumour";
    QString rows;
    if (market.contains(code) && (rumour || !withoutReports(market, code)))
        for (const Item& i : itemsOf(market, code, today, rumour ? 0xB1 : 0xB2, rumour ? 25 : 20,
                                     rumour ? rumourTitles() : reportTitles()))
            rows += QStringLiteral("<li>%1 %2</li>").arg(pagegen::isoDate(i.day), i.text);
    return {pagegen::page(rumour ? QStringLiteral("个股传言") : QStringLiteral("研究报告"),
                          QStringLiteral("<ul>%1</ul>").arg(rows))};
}

} // namespace

std::optional<QString> newsPageCode(const QString& path)
{
    static const QRegularExpression news(QStringLiteral("^/realstock/company/(?:sh|sz)(\\w{1,12})/nc\\.shtml$"));
    if (const auto m = news.match(path); m.hasMatch())
        return m.captured(1);
    return std::nullopt;
}

CompanyNewsAnswer simulated(Market& market, const QString& code, const QDate& today)
{
    CompanyNewsAnswer out;
    out.name = market.nameOf(code);
    if (out.name.isEmpty())
        return out;
    out.rumours = entries(itemsOf(market, code, today, 0xB1, 25, rumourTitles()));
    if (!withoutReports(market, code))
        out.reports = entries(itemsOf(market, code, today, 0xB2, 20, reportTitles()));
    return out;
}

QString newsPage(const QString& code, const CompanyNewsAnswer& news, const QString& baseUrl)
{
    if (news.name.isEmpty())
        return pagegen::page(QStringLiteral("新浪财经_公司资讯"),
                             QStringLiteral("<div class=\"err\">对不起，您查询的股票代码不存在。</div>"));
    const QString stockBase = baseUrl + QStringLiteral("/realstock/company/") + market2(code) + code;
    QString rumours;
    for (const CompanyNewsEntry& r : news.rumours)
        rumours += QStringLiteral("<li><a href=\"%1/rumour/%2.shtml\" target=\"_blank\">%3</a><span>(%4)</span></li>\r\n")
                       .arg(stockBase, r.id, r.title, r.date.toString(QStringLiteral("MM-dd")));
    rumours += QStringLiteral("<li class=\"more\"><a href=\"%1/rumour/list.shtml\" target=\"_blank\">更多</a></li>\r\n")
                   .arg(stockBase);
    QString reports;
    for (const CompanyNewsEntry& r : news.reports) {
        // The anchor text starts with "[yyyy-MM-dd] ", 13 characters.
        const QString href = r.url.isEmpty() ? QStringLiteral("%1/report/%2/%3.shtml").arg(baseUrl, code, r.id) : r.url;
        reports += QStringLiteral("<li><a href=\"%1\">[%2] %3</a></li>\r\n").arg(href, pagegen::isoDate(r.date), r.title);
    }
    reports += QStringLiteral("<li class=\"more\"><a href=\"%1/report/%2/list.shtml\">更多&gt;&gt;</a></li>\r\n")
                   .arg(baseUrl, code);
    const QString body =
        QStringLiteral("<div class=\"nav\"><a href=\"%1/\">新浪财经</a> &gt; <a href=\"%2/nc.shtml\">%3(%4)</a> &gt; 公司资讯</div>\r\n"
                       "<div class=\"blk\"><h3>个股传言</h3><div class=\"tagmain\" id=\"con030\"><ul>\r\n%5</ul></div></div>\r\n"
                       "<div class=\"blk\"><h3>研究报告</h3><div class=\"tagmain\" id=\"con03-2\"><ul>\r\n%6</ul></div></div>")
            .arg(baseUrl, stockBase, news.name, code, rumours, reports);
    return pagegen::page(QStringLiteral("%1(%2)公司资讯_新浪财经").arg(news.name, code), body);
}

std::optional<SitePage> movedPage(const QString& path)
{
    static const QRegularExpression live(QStringLiteral("^/realstock/company/(?:sh|sz)(\\d{6})/rumour/([a-z]{3}\\d{1,24})\\.shtml$"));
    const QRegularExpressionMatch m = live.match(path);
    if (!m.hasMatch())
        return std::nullopt;
    const std::optional<QString> address = livenews::rumourAddress(m.captured(1), m.captured(2));
    if (!address)
        return SitePage{pagegen::page(QStringLiteral("页面不存在"), QStringLiteral("<p>您访问的页面不存在。</p>")), 404};
    return SitePage{pagegen::page(QStringLiteral("个股传言"),
                                  QStringLiteral("<meta http-equiv=\"refresh\" content=\"0;url=%1\">"
                                                 "<p><a href=\"%1\">%1</a></p>").arg(*address))};
}

std::optional<SitePage> answer(Market& market, const QString& path, const QDateTime& now, const QString&)
{
    static const QRegularExpression rumour(
        QStringLiteral("^/realstock/company/(?:sh|sz)(\\w{1,12})/rumour/(\\d{1,9}|list)\\.shtml$"));
    static const QRegularExpression report(QStringLiteral("^/report/(\\w{1,12})/(\\d{1,9}|list)\\.shtml$"));
    const QDate today = now.date();
    for (const auto& [re, which] : {std::pair{&rumour, QStringLiteral("rumour")}, std::pair{&report, QStringLiteral("report")}}) {
        if (const auto m = re->match(path); m.hasMatch()) {
            if (m.captured(2) == u"list")
                return listPage(market, m.captured(1), which, today);
            return itemPage(market, m.captured(1), which, QDate::fromJulianDay(m.captured(2).toLongLong()), today);
        }
    }
    return std::nullopt;
}

} // namespace sandbox::companypage

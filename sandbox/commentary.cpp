// The 千股千评 page of the company-data site: one line of commentary per stock, written from the
// stock's move at the moment of asking (simulated world) or from the live data centre. A few stocks
// have no commentary and get the page without the commentary cell.
#include "infosites.h"

#include "market.h"
#include "pagegen.h"

namespace sandbox::commentary {

using namespace feed;

namespace {

QString opinion(const StockQuote& q, pagegen::Draw& draw)
{
    const double pct = q.changePercent();
    QString trend;
    if (q.volume == 0)
        trend = QStringLiteral("该股今日尚未成交，");
    else if (pct > 0)
        trend = QStringLiteral("该股今日上涨%1%，").arg(pct, 0, 'f', 2);
    else if (pct < 0)
        trend = QStringLiteral("该股今日下跌%1%，").arg(-pct, 0, 'f', 2);
    else
        trend = QStringLiteral("该股今日平盘震荡，");
    static const QStringList views = {
        QStringLiteral("短线有望延续反弹，可适当关注。"),
        QStringLiteral("上方压力较大，建议逢高减仓。"),
        QStringLiteral("主力资金持续流入，中线可继续持有。"),
        QStringLiteral("技术指标进入超卖区域，不宜盲目杀跌。"),
        QStringLiteral("量能不足，短期以观望为主。"),
    };
    return trend + draw.pick(views);
}

} // namespace

QString simulated(Market& market, const QString& code, const QDateTime& now)
{
    if (market.nameOf(code).isEmpty() || pagegen::stockTrait(market.seed(), code, 0xC3, 6) == 0)
        return {};
    pagegen::Draw draw(market.seed(), code, now.date(), 0xC1);
    return opinion(*market.quote(code, now), draw);
}

QString page(const QString& name, const QString& code, const QString& opinion)
{
    QString cell;
    if (name.isEmpty() || opinion.isEmpty()) {
        cell = QStringLiteral("<tr><td colspan=\"2\" class=\"none\">暂无该股的千股千评数据</td></tr>");
    } else {
        cell = QStringLiteral("<tr><td class=\"name\">%1(%2)</td>\r\n<td width=\"156\">&nbsp;"
                              "<a href=\"/data/qgqp_more.asp?zqdm=%2\" class=\"more\"><font color=\"#003399\">%3</font></a></td></tr>")
                   .arg(name, code, opinion);
    }
    const QString body = QStringLiteral("<div class=\"logo\"><a href=\"/\">全景网 公司数据</a></div>\r\n"
                                        "<table class=\"qgqp\" width=\"560\"><tr><th>股票</th><th>千股千评</th></tr>\r\n%1\r\n</table>")
                             .arg(cell);
    return pagegen::page(QStringLiteral("千股千评_全景网"), body);
}

} // namespace sandbox::commentary

#include "market/indexsummary.h"

#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/scan.h"

#include <cfenv>
#include <cmath>

namespace market {

bool amountInYi(QStringView wan, qint64* yi)
{
    bool ok = false;
    const double value = wan.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e18)
        return false;
    // nearbyint rounds in the current mode, which is round-half-to-even unless changed.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    *yi = static_cast<qint64>(std::nearbyint(value / 10000.0));
    std::fesetround(previous);
    return true;
}

bool applyIndexPage(QStringView page, IndexSummary& summary)
{
    enum Section { None, Shanghai, Shenzhen } section = None;
    const QString shMarker = QStringLiteral("上证指数");
    const QString szMarker = QStringLiteral("深证成指");
    QString building;
    int commas = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < page.size(); ++i) {
        if (net::at(page, i, shMarker)) {
            section = Shanghai;
            commas = 0;
        } else if (net::at(page, i, szMarker)) {
            section = Shenzhen;
            commas = 0;
            building.clear();
        }
        if (section == None || page[i] != u',')
            continue;
        ++commas;
        const int field = commas - 1;
        const QString value = page.mid(start, i - start).toString();
        start = i + 1;
        if (field < 1 || field > 12)
            continue;
        TickerIndexRow& row = section == Shanghai ? summary.shanghai : summary.shenzhen;
        switch (field) {
        case 1:
            building += (section == Shanghai ? QStringLiteral("上证指数：") : QStringLiteral("深圳成指："))
                        + value;
            row.value = value;
            break;
        case 2: {
            const bool down = value.contains(u'-');
            building += down ? QStringLiteral("  跌") + value + QStringLiteral("↓")
                             : QStringLiteral("  涨") + value + QStringLiteral("↑");
            (section == Shanghai ? summary.flag1 : summary.flag2) =
                down ? QStringLiteral("1") : QStringLiteral("2");
            row.change = value;
            row.falling = down;
            break;
        }
        case 3:
            building += QStringLiteral("  幅度：") + value;
            row.changePercent = value;
            break;
        case 4: {
            qint64 yi = 0;
            if (!amountInYi(value, &yi))
                return false;
            building += QStringLiteral("  总成交量：") + QString::number(yi) + QStringLiteral("亿");
            row.amount = QString::number(yi) + QStringLiteral("亿元");
            break;
        }
        case 5: building += QStringLiteral(" 上涨：") + value; break;
        case 6: building += QStringLiteral(" 下跌：") + value; break;
        case 7: building += QStringLiteral(" 平盘：") + value; break;
        case 8: break;
        case 9: building += QStringLiteral("  昨收：") + value; break;
        case 10: building += QStringLiteral("  今开：") + value; break;
        case 11: building += QStringLiteral("  最高：") + value; break;
        case 12:
            building += QStringLiteral("  最低：") + value;
            (section == Shanghai ? summary.line1 : summary.line2) = building;
            break;
        }
    }
    return true;
}

QString indexAddress(const QString& quoteServiceBase)
{
    return quoteServiceBase + QStringLiteral("/EM_Quote2007/default.aspx?type=fs&stk=6000361");
}

bool fetchIndexSummary(net::HttpClient& client, const QString& quoteServiceBase, IndexSummary& summary)
{
    return applyIndexPage(net::fromUtf8(client.get(indexAddress(quoteServiceBase))), summary);
}

} // namespace market

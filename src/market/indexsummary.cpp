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
    // What the current section has built so far. It reaches the summary only once the section is
    // complete (field 12), line, direction flag and ticker row together, so a page cut short
    // never leaves a new colour over an old line. Each marker starts the section afresh, and the
    // finished text is moved out rather than shared, so no section ever copies another's text:
    // the scan stays linear however many sections a page holds.
    QString building;
    QString flag;
    TickerIndexRow row;
    int commas = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < page.size(); ++i) {
        const bool sh = net::at(page, i, shMarker);
        if (sh || net::at(page, i, szMarker)) {
            section = sh ? Shanghai : Shenzhen;
            commas = 0;
            building.clear();
            flag.clear();
            row = TickerIndexRow();
        }
        if (section == None || page[i] != u',')
            continue;
        ++commas;
        const int field = commas - 1;
        const QStringView value = page.mid(start, i - start);
        start = i + 1;
        if (field < 1 || field > 12)
            continue;
        switch (field) {
        case 1:
            building += section == Shanghai ? QStringLiteral("上证指数：") : QStringLiteral("深圳成指：");
            building += value;
            row.value = value.toString();
            break;
        case 2: {
            const bool down = value.contains(u'-');
            building += down ? QStringLiteral("  跌") : QStringLiteral("  涨");
            building += value;
            building += down ? QStringLiteral("↓") : QStringLiteral("↑");
            flag = down ? QStringLiteral("1") : QStringLiteral("2");
            row.change = value.toString();
            row.falling = down;
            break;
        }
        case 3:
            building += QStringLiteral("  幅度：");
            building += value;
            row.changePercent = value.toString();
            break;
        case 4: {
            qint64 yi = 0;
            if (!amountInYi(value, &yi))
                return false;
            building += QStringLiteral("  总成交量：") + QString::number(yi) + QStringLiteral("亿");
            row.amount = QString::number(yi) + QStringLiteral("亿元");
            break;
        }
        case 5: building += QStringLiteral(" 上涨："); building += value; break;
        case 6: building += QStringLiteral(" 下跌："); building += value; break;
        case 7: building += QStringLiteral(" 平盘："); building += value; break;
        case 8: break;
        case 9: building += QStringLiteral("  昨收："); building += value; break;
        case 10: building += QStringLiteral("  今开："); building += value; break;
        case 11: building += QStringLiteral("  最高："); building += value; break;
        case 12:
            building += QStringLiteral("  最低：");
            building += value;
            if (section == Shanghai) {
                summary.line1 = std::exchange(building, QString());
                summary.flag1 = flag;
                summary.shanghai = row;
            } else {
                summary.line2 = std::exchange(building, QString());
                summary.flag2 = flag;
                summary.shenzhen = row;
            }
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

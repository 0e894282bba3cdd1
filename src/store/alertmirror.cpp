#include "store/alertmirror.h"

#include "core/stockcode.h"
#include "net/httpclient.h"

#include <stdexcept>

namespace store {

QList<MirrorRequest> mirrorRequests(const QString& sn, bool toPhone, const AlertLists& l)
{
    // Numbers and codes go to the server as they are: anything else is never sent.
    if (!app::isPhoneNumber(sn))
        throw std::invalid_argument("not a phone number");
    for (const QString& code : l.AlertCodes)
        if (!app::isStockCode(code))
            throw std::invalid_argument("not a stock code");
    const QString snKey = QStringLiteral("sn");
    if (!toPhone)
        return {{QStringLiteral("/gpycf.asp"), {{snKey, sn}, {QStringLiteral("ycf"), QStringLiteral("0")}}}};
    QList<MirrorRequest> out;
    out.append({QStringLiteral("/gpycf.asp"), {{snKey, sn}, {QStringLiteral("ycf"), QStringLiteral("1")}}});
    out.append({QStringLiteral("/gpdel1.asp"), {{snKey, sn}}});
    for (qsizetype i = 0; i < l.AlertSendOpenClose.size(); ++i)
        if (l.AlertSendOpenClose[i] == u"1")
            out.append({QStringLiteral("/gpadd1.asp"),
                        {{snKey, sn}, {QStringLiteral("gpmc"), l.AlertNames.value(i)},
                         {QStringLiteral("gpdm"), l.AlertCodes.value(i)}}});
    out.append({QStringLiteral("/gpdel2.asp"), {{snKey, sn}}});
    for (qsizetype i = 0; i < l.AlertFlags.size(); ++i)
        out.append({QStringLiteral("/gpadd2.asp"),
                    {{snKey, sn}, {QStringLiteral("zh"), l.AlertFlags[i]},
                     {QStringLiteral("ddcj"), l.AlertTradeDigits.value(i)},
                     {QStringLiteral("ddmm"), l.AlertOrderDigits.value(i)},
                     {QStringLiteral("zdf"), l.AlertPercent.value(i)},
                     {QStringLiteral("gpmc"), l.AlertNames.value(i)},
                     {QStringLiteral("gpdm"), l.AlertCodes.value(i)}}});
    out.append({QStringLiteral("/gpdel3.asp"), {{snKey, sn}}});
    for (qsizetype i = 0; i < l.AlertBroadcast.size(); ++i)
        if (l.AlertBroadcast[i] == u"1")
            out.append({QStringLiteral("/gpadd3.asp"),
                        {{snKey, sn}, {QStringLiteral("sjjg"), l.AlertInterval.value(i)},
                         {QStringLiteral("gpdm"), l.AlertCodes.value(i)},
                         {QStringLiteral("gpmc"), l.AlertNames.value(i)}}});
    return out;
}

void MirrorAlerts(net::HttpClient& client, const QString& serverBase, const QString& sn, bool toPhone,
                  const AlertLists& lists)
{
    for (const MirrorRequest& r : mirrorRequests(sn, toPhone, lists))
        client.post(serverBase + r.path, r.form);
}

} // namespace store

#include "app/statuscheck.h"

#include "app/context.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/scan.h"

namespace app {

StatusReply parseStatusPage(QStringView page)
{
    // The scanner keys on the tag tail without "text=", exactly 10 characters.
    const QStringView tail(u"\"#000000\">");
    StatusReply reply;
    bool seen = false;
    int records = 0;
    qsizetype fieldStart = 0;
    for (qsizetype p = 0; p < page.size(); ++p) {
        if (net::at(page, p, tail)) {
            seen = true;
            fieldStart = p + tail.size();
        }
        if (!seen || !net::at(page, p, u"&2"))
            continue;
        const QString field = net::trimBlanks(page.mid(fieldStart, qMax<qsizetype>(0, p - fieldStart)));
        if (!field.isEmpty()) {
            ++records;
            if (records == 1) {
                reply.ServiceCode = field.left(1);
                reply.ServiceLink = field.mid(3);
            } else if (records == 2) {
                reply.VersionCode = field.left(1);
                reply.WaitingPage = field.mid(3);
            }
        }
        fieldStart = p + 2;
    }
    return reply;
}

StatusDecision decideStatus(const StatusReply& reply)
{
    StatusDecision d;
    if (reply.ServiceCode == u"0") {
        d.ban = true;
        return d;
    }
    d.openNotice = reply.ServiceCode == u"2";
    d.upgrade = reply.VersionCode != u"3";
    return d;
}

QString unreachableText(const QString& contact)
{
    return QStringLiteral("当前有故障，按”确定“进入作者的空间查看原因！有疑问请联系作者QQ:") + contact;
}

void getmail(AppContext& context, net::HttpClient& client,
             const std::function<void(const QString&)>& loadWaitingPage,
             const std::function<void()>& requestExit)
{
    auto endProgram = [&] {
        requestExit();
        throw SilentAbort{};
    };
    QByteArray body;
    try {
        body = client.get(context.state.ServerBase + QStringLiteral("/gplogin.asp"));
    } catch (const net::HttpFailure&) {
        context.prompter.error(unreachableText(context.settings.Contact));
        context.opener.open(context.settings.SpaceUrl);
        endProgram();
    }
    context.status = parseStatusPage(net::fromGbk(body));
    const StatusReply& reply = context.status;
    const StatusDecision decision = decideStatus(reply);
    if (decision.ban) {
        context.prompter.error(kBanText);
        context.opener.open(reply.ServiceLink);
        endProgram();
    }
    if (decision.openNotice)
        context.opener.open(reply.ServiceLink);
    if (decision.upgrade) {
        if (context.prompter.question(kUpgradeQuestion))
            context.opener.open(reply.ServiceLink);
        endProgram();
    }
    if (net::isWebAddress(reply.WaitingPage))
        loadWaitingPage(reply.WaitingPage);
}

} // namespace app

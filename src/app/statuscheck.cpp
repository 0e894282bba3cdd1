#include "app/statuscheck.h"

#include "app/context.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/scan.h"

#include <QDebug>
#include <QHostAddress>
#include <QUrl>

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

QString localServerHint(const QString& serverBase)
{
    const QUrl url(serverBase);
    const QString host = url.host();
    const QHostAddress address(host);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0 && !address.isLoopback())
        return {};
    const int port = url.port(80);
    QString command = QStringLiteral("huilan-sandbox --market live");
    if (port != 8780)
        command += QStringLiteral(" --port %1").arg(port);
    if (!address.isNull() && address != QHostAddress(QHostAddress::LocalHost))
        command += QStringLiteral(" --bind %1").arg(address.toString());
    QString text = QStringLiteral("huilan: nothing answers at %1: the local server huilan-sandbox is not running.")
                       .arg(serverBase);
    // The package's socket unit listens on the default address only.
    if (port == 8780 && (address.isNull() || address == QHostAddress(QHostAddress::LocalHost)))
        text += QStringLiteral(" Installed from the package, systemd starts it on the first connection once its "
                               "socket is on: systemctl --user enable --now huilan-sandbox.socket.");
    return text + QStringLiteral(" Without a systemd user session, start it by hand before huilan: %1 &").arg(command);
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
    } catch (const net::HttpFailure& failure) {
        if (failure.refused())
            if (const QString hint = localServerHint(context.state.ServerBase); !hint.isEmpty())
                qWarning().noquote() << hint;
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

// The push channels over real HTTP on loopback: a stand-in plays the services, checking each
// request as the service does (signatures included) and answering in its documented replies.
#include "channels.h"
#include "sender.h"
#include "http.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTest>
#include <QUrlQuery>

using namespace server::notify;

namespace {

const QString kDingSecret = QStringLiteral("SECding");
const QString kFeishuSecret = QStringLiteral("feishuSecret");

// The services, as far as a sender can tell them apart.
class StandIn {
public:
    StandIn()
        : server([this](const server::http::Request& r, server::http::Responder s) { answer(r, s); })
    {
        listening = server.listen(QHostAddress::LocalHost, 0);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.port()); }

    QList<QByteArray> bodies;
    bool hang = false;
    bool listening = false;

private:
    void answer(const server::http::Request& r, server::http::Responder s)
    {
        if (hang)
            return;
        bodies << r.body;
        const QJsonObject o = QJsonDocument::fromJson(r.body).object();
        const QString path = r.path;
        const QUrlQuery q(QString::fromLatin1(r.rawQuery));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        auto reply = [&](const QByteArray& body, int status = 200) {
            s.send(status, "application/json", body);
        };
        if (path == QLatin1String("/robot/send")) {
            // DingTalk: the signature of the timestamp, which must be within an hour of now.
            const qint64 ts = q.queryItemValue(QStringLiteral("timestamp")).toLongLong();
            const QByteArray sign = QByteArray::fromPercentEncoding(q.queryItemValue(QStringLiteral("sign"), QUrl::FullyEncoded).toLatin1());
            if (std::abs(now - ts) > 3600 * 1000 || sign != dingTalkSign(kDingSecret, ts))
                return reply(R"({"errcode":310000,"errmsg":"sign not match"})");
            return reply(R"({"errcode":0,"errmsg":"ok"})");
        }
        if (path.startsWith(QLatin1String("/open-apis/bot/v2/hook/"))) {
            const qint64 ts = o.value(QStringLiteral("timestamp")).toString().toLongLong();
            if (std::abs(now / 1000 - ts) > 3600 || o.value(QStringLiteral("sign")).toString().toLatin1() != feishuSign(kFeishuSecret, ts))
                return reply(R"({"code":19021,"msg":"sign match fail or timestamp is not within one hour from current time"})");
            return reply(R"({"code":0,"data":{},"msg":"success"})");
        }
        if (path == QLatin1String("/bot123:ABC/sendMessage")) {
            const QString chat = o.value(QStringLiteral("chat_id")).toString();
            if (chat == QLatin1String("-1"))
                return reply(R"({"ok":false,"error_code":429,"description":"Too Many Requests: retry after 2","parameters":{"retry_after":2}})", 429);
            if (chat != QLatin1String("42"))
                return reply(R"({"ok":false,"error_code":400,"description":"Bad Request: chat not found"})", 400);
            return reply(R"({"ok":true,"result":{"message_id":1}})");
        }
        if (path.startsWith(QLatin1String("/bot")))
            return reply(R"({"ok":false,"error_code":401,"description":"Unauthorized"})", 401);
        reply(R"({"error":"not found"})", 404);
    }

    server::http::Server server;
};

Outcome sendOnce(Sender& sender, Channel channel, const Request& request)
{
    std::optional<Outcome> out;
    sender.send(channel, request, [&](Outcome o) { out = o; });
    if (!QTest::qWaitFor([&] { return out.has_value(); }, 15000))
        qFatal("no outcome");
    return *out;
}

const Message kMessage{QStringLiteral("格力电器(000651)"), QStringLiteral("大买单: 3000手")};

} // namespace

class TestPushSenders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void signedRobotsAcceptTheRightSecretOnly()
    {
        StandIn up;
        QVERIFY(up.listening);
        Sender sender;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        auto request = [&](Channel c, const QString& secret) {
            return buildRequest(Binding{c, QStringLiteral("token"), secret}, kMessage, up.base(), now);
        };
        QCOMPARE(int(sendOnce(sender, Channel::DingTalk, request(Channel::DingTalk, kDingSecret)).result), int(Result::Sent));
        const Outcome wrong = sendOnce(sender, Channel::DingTalk, request(Channel::DingTalk, QStringLiteral("other")));
        QCOMPARE(int(wrong.result), int(Result::Permanent));
        QCOMPARE(wrong.code, QStringLiteral("310000"));
        QCOMPARE(int(sendOnce(sender, Channel::Feishu, request(Channel::Feishu, kFeishuSecret)).result), int(Result::Sent));
        QCOMPARE(sendOnce(sender, Channel::Feishu, request(Channel::Feishu, QStringLiteral("x"))).code, QStringLiteral("19021"));
        // A clock two hours off (the simulated market's, say) is refused: signatures use the real time.
        const Request stale = buildRequest(Binding{Channel::DingTalk, QStringLiteral("t"), kDingSecret}, kMessage, up.base(),
                                           now - 2 * 3600 * 1000);
        QCOMPARE(sendOnce(sender, Channel::DingTalk, stale).code, QStringLiteral("310000"));
        // The message went as UTF-8 JSON, title above text.
        QVERIFY(up.bodies.first().contains(QStringLiteral("格力电器(000651)\\n大买单: 3000手").toUtf8()));
    }

    void telegramsRateLimitBadChatAndBadToken()
    {
        StandIn up;
        Sender sender;
        auto request = [&](const QString& chat, const QString& token = QStringLiteral("123:ABC")) {
            return buildRequest(Binding{Channel::Telegram, chat, {}}, kMessage, up.base(), 0, token);
        };
        QCOMPARE(int(sendOnce(sender, Channel::Telegram, request(QStringLiteral("42"))).result), int(Result::Sent));
        const Outcome limited = sendOnce(sender, Channel::Telegram, request(QStringLiteral("-1")));
        QCOMPARE(int(limited.result), int(Result::Retry));
        QCOMPARE(limited.retryAfterMs, 2000);
        QCOMPARE(int(sendOnce(sender, Channel::Telegram, request(QStringLiteral("7"))).result), int(Result::Permanent));
        QCOMPARE(sendOnce(sender, Channel::Telegram, request(QStringLiteral("42"), QStringLiteral("9:bad"))).code, QStringLiteral("401"));
    }

    void noReplyIsWorthAnotherTry()
    {
        StandIn up;
        Sender sender;
        sender.setTimeout(500);
        up.hang = true;
        const Request r = buildRequest(Binding{Channel::WeCom, QStringLiteral("k"), {}}, kMessage, up.base(), 0);
        QCOMPARE(int(sendOnce(sender, Channel::WeCom, r).result), int(Result::Retry));   // timed out
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const Request refused = buildRequest(Binding{Channel::Bark, QStringLiteral("k"), {}}, kMessage,
                                             QStringLiteral("http://127.0.0.1:%1").arg(port), 0);
        const Outcome out = sendOnce(sender, Channel::Bark, refused);
        QCOMPARE(int(out.result), int(Result::Retry));
        QVERIFY2(out.code.contains(QStringLiteral("refused"), Qt::CaseInsensitive), qPrintable(out.code));
    }
};

QTEST_GUILESS_MAIN(TestPushSenders)
#include "test_push_senders.moc"

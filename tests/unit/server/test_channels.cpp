// The push channels' requests and what their replies mean, for every service.
#include "channels.h"
#include "channelsfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUrlQuery>

using namespace server::notify;

namespace {

QJsonObject body(const Request& r)
{
    return QJsonDocument::fromJson(r.body).object();
}

const Message kMessage{QStringLiteral("招商银行(600036)"), QStringLiteral("涨幅超过5%: 36.55元")};
constexpr qint64 kNow = 1765337525062;   // 2025-12-10 11:32:05.062 UTC

} // namespace

class TestChannels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bindingsFromTheChannelsFile_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("secret");
        QTest::newRow("pushplus") << "pushplus" << " 0123abcdef0123abcdef0123abcdef01 " << true << "0123abcdef0123abcdef0123abcdef01" << "";
        QTest::newRow("dingtalk with secret") << "dingtalk" << "tok_en-1:SECabc+/=" << true << "tok_en-1" << "SECabc+/=";
        QTest::newRow("dingtalk without") << "dingtalk" << "token" << true << "token" << "";
        QTest::newRow("feishu") << "feishu" << "0a1b-2c3d:sec" << true << "0a1b-2c3d" << "sec";
        QTest::newRow("telegram group") << "telegram" << "-1001234567890" << true << "-1001234567890" << "";
        QTest::newRow("telegram channel") << "telegram" << "@huilan_alerts" << true << "@huilan_alerts" << "";
        QTest::newRow("empty") << "bark" << "  " << false << "" << "";
        QTest::newRow("path in a topic") << "ntfy" << "../admin" << false << "" << "";
        QTest::newRow("query in a key") << "wecom" << "key&debug=1" << false << "" << "";
        QTest::newRow("secret on a channel without one") << "bark" << "key:secret" << false << "" << "";
        QTest::newRow("telegram name") << "telegram" << "alice" << false << "" << "";
    }
    void bindingsFromTheChannelsFile()
    {
        QFETCH(QString, channel);
        QFETCH(QString, value);
        QFETCH(bool, ok);
        const auto b = parseBinding(*channelNamed(channel), value);
        QCOMPARE(bool(b), ok);
        if (b) {
            QTEST(b->target, "target");
            QTEST(b->secret, "secret");
        }
    }

    void theOperatorsChannelsFile()
    {
        const QByteArray text = "; phone alerts of this server\n"
                                "[13800138000]\n"
                                "pushplus = 0123abcd\n"
                                "dingtalk=tok:SECx\n"
                                "telegram=42\n"
                                "email=me@example.com\n"
                                "email=not an address\n"
                                "\n"
                                "[13900139000]\n"
                                "bark=devkey\n"
                                "ntfy=../etc\n"
                                "fetion=1\n"
                                "[1390013900]\n"
                                "bark=ignored\n"
                                "[telegram]\n"
                                "token=123456:AAHdqTcvCH1vGWJxfSeofSAs0K5PALDsaw\n"
                                "[smtp]\n"
                                "host=smtp.example.com\n"
                                "port=587\n"
                                "user=alerts\n"
                                "password=p=w;1\n"
                                "from=alerts@example.com\n";
        const ChannelsFile f = parseChannelsFile(text);
        QCOMPARE(f.bindings.size(), 2);
        const QList<Binding> first = f.bindings.value(QStringLiteral("13800138000"));
        QCOMPARE(first.size(), 3);
        QCOMPARE(first[0].channel, Channel::PushPlus);
        QCOMPARE(first[0].target, QStringLiteral("0123abcd"));
        QCOMPARE(first[1].secret, QStringLiteral("SECx"));
        QCOMPARE(first[2].target, QStringLiteral("42"));
        QCOMPARE(f.bindings.value(QStringLiteral("13900139000")).size(), 1);   // bark only
        QCOMPARE(f.telegramToken, QStringLiteral("123456:AAHdqTcvCH1vGWJxfSeofSAs0K5PALDsaw"));
        QCOMPARE(f.emails.value(QStringLiteral("13800138000")), QStringList{QStringLiteral("me@example.com")});
        QCOMPARE(f.smtp->port, 587);
        QVERIFY(!f.smtp->implicitTls);   // STARTTLS
        QCOMPARE(f.smtp->password, QStringLiteral("p=w;1"));
        QCOMPARE(f.problems, (QStringList{QStringLiteral("line 7: email: not a usable address"),
                                          QStringLiteral("line 11: ntfy: not a usable value"),
                                          QStringLiteral("line 12: unknown channel \"fetion\""),
                                          QStringLiteral("line 13: a section is a phone number of 11 digits, [telegram] or [smtp]")}));
        QCOMPARE(parseChannelsFile("[13800138000]\nemail=a@b.cn\n").problems,
                 QStringList{QStringLiteral("email: no [smtp] host= and from= in the file")});
        // Telegram bindings without the bot's token are reported.
        QCOMPARE(parseChannelsFile("[13800138000]\ntelegram=42\n").problems.size(), 1);
    }

    void namesAndAddresses()
    {
        QCOMPARE(allChannels().size(), 7);
        for (Channel c : allChannels()) {
            QCOMPARE(channelNamed(channelName(c)), c);
            QVERIFY(defaultBases().value(channelName(c)).startsWith(QLatin1String("http")));
        }
        QVERIFY(!channelNamed(QStringLiteral("sms")));
    }

    void signaturesAsTheServicesComputeThem()
    {
        // Known answers from the services' documented algorithms, computed independently.
        QCOMPARE(dingTalkSign(QStringLiteral("SEC000example"), kNow), QByteArray("g7H77TWXHQ5AgYBvyyzH6L1BSo1uQvTiySHsyso2cGo="));
        QCOMPARE(feishuSign(QStringLiteral("feishuSecretXY"), kNow / 1000), QByteArray("ebwD2V0sNHrsXouh8X0M/pKFKXm+2R/Spmh60IXwz7Y="));
    }

    void requestsAsTheServicesDocumentThem()
    {
        const QString base = QStringLiteral("http://127.0.0.1:9");
        auto req = [&](Channel c, const QString& target, const QString& secret = QString()) {
            return buildRequest(Binding{c, target, secret}, kMessage, base, kNow, QStringLiteral("123:ABC"));
        };
        Request r = req(Channel::PushPlus, QStringLiteral("tok"));
        QCOMPARE(r.url.toString(), base + QStringLiteral("/send"));
        QCOMPARE(body(r).value(QStringLiteral("token")).toString(), QStringLiteral("tok"));
        QCOMPARE(body(r).value(QStringLiteral("template")).toString(), QStringLiteral("txt"));
        QCOMPARE(body(r).value(QStringLiteral("content")).toString(), kMessage.text);

        r = req(Channel::WeCom, QStringLiteral("k-1"));
        QCOMPARE(r.url.toString(), base + QStringLiteral("/cgi-bin/webhook/send?key=k-1"));
        QCOMPARE(body(r).value(QStringLiteral("msgtype")).toString(), QStringLiteral("text"));
        QCOMPARE(body(r).value(QStringLiteral("text")).toObject().value(QStringLiteral("content")).toString(),
                 kMessage.title + u'\n' + kMessage.text);

        r = req(Channel::DingTalk, QStringLiteral("t"), QStringLiteral("SEC000example"));
        QCOMPARE(r.url.toString(QUrl::FullyEncoded),
                 base + QStringLiteral("/robot/send?access_token=t&timestamp=1765337525062&sign=g7H77TWXHQ5AgYBvyyzH6L1BSo1uQvTiySHsyso2cGo%3D"));
        QCOMPARE(req(Channel::DingTalk, QStringLiteral("t")).url.query(), QStringLiteral("access_token=t"));

        r = req(Channel::Feishu, QStringLiteral("hook"), QStringLiteral("feishuSecretXY"));
        QCOMPARE(r.url.toString(), base + QStringLiteral("/open-apis/bot/v2/hook/hook"));
        QCOMPARE(body(r).value(QStringLiteral("timestamp")).toString(), QStringLiteral("1765337525"));   // seconds, as text
        QCOMPARE(body(r).value(QStringLiteral("sign")).toString(), QStringLiteral("ebwD2V0sNHrsXouh8X0M/pKFKXm+2R/Spmh60IXwz7Y="));
        QCOMPARE(body(r).value(QStringLiteral("msg_type")).toString(), QStringLiteral("text"));
        QVERIFY(!body(req(Channel::Feishu, QStringLiteral("hook"))).contains(QStringLiteral("sign")));

        r = req(Channel::Bark, QStringLiteral("dev"));
        QCOMPARE(r.url.toString(), base + QStringLiteral("/push"));
        QCOMPARE(body(r).value(QStringLiteral("device_key")).toString(), QStringLiteral("dev"));
        QCOMPARE(body(r).value(QStringLiteral("body")).toString(), kMessage.text);

        r = req(Channel::Ntfy, QStringLiteral("huilan-600036"));
        QCOMPARE(r.url.toString(), base + u'/');
        QCOMPARE(body(r).value(QStringLiteral("topic")).toString(), QStringLiteral("huilan-600036"));
        QCOMPARE(body(r).value(QStringLiteral("title")).toString(), kMessage.title);

        r = req(Channel::Telegram, QStringLiteral("-100"));
        QCOMPARE(r.url.toString(), base + QStringLiteral("/bot123:ABC/sendMessage"));
        QCOMPARE(body(r).value(QStringLiteral("chat_id")).toString(), QStringLiteral("-100"));
    }

    void whatTheRepliesMean_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("code");
        QTest::addColumn<qint64>("waitMs");
        const int sent = int(Result::Sent), retry = int(Result::Retry), never = int(Result::Permanent);
        auto row = [&](const char* name, const char* channel, int status, const char* reply, int result, const char* code, qint64 wait = 0) {
            QTest::newRow(name) << QString::fromLatin1(channel) << status << QByteArray(reply) << result << QString::fromLatin1(code) << wait;
        };
        row("pushplus sent", "pushplus", 200, R"({"code":200,"msg":"请求成功","data":"abc"})", sent, "200");
        row("pushplus limit", "pushplus", 200, R"({"code":900,"msg":"用户账号使用受限"})", retry, "900", 3600000);
        row("pushplus busy", "pushplus", 200, R"({"code":500,"msg":"系统异常"})", retry, "500");
        row("pushplus bad token", "pushplus", 200, R"({"code":401,"msg":"请求未授权"})", never, "401");
        row("wecom sent", "wecom", 200, R"({"errcode":0,"errmsg":"ok"})", sent, "0");
        row("wecom rate", "wecom", 200, R"({"errcode":45009,"errmsg":"api freq out of limit"})", retry, "45009", 60000);
        row("wecom bad key", "wecom", 200, R"({"errcode":93000,"errmsg":"invalid webhook url"})", never, "93000");
        row("dingtalk rate", "dingtalk", 200, R"({"errcode":130101,"errmsg":"send too fast"})", retry, "130101", 600000);
        row("dingtalk bad sign", "dingtalk", 200, R"({"errcode":310000,"errmsg":"sign not match"})", never, "310000");
        row("dingtalk 502", "dingtalk", 502, "<html>Bad Gateway</html>", retry, "502");
        row("feishu sent", "feishu", 200, R"({"code":0,"data":{},"msg":"success"})", sent, "0");
        row("feishu old sent", "feishu", 200, R"({"Extra":null,"StatusCode":0,"StatusMessage":"success"})", sent, "0");
        row("feishu rate", "feishu", 200, R"({"code":11232,"msg":"frequency limited"})", retry, "11232", 60000);
        row("feishu bad sign", "feishu", 200, R"({"code":19021,"msg":"sign match fail or timestamp is not within one hour from current time"})", never, "19021");
        row("bark sent", "bark", 200, R"({"code":200,"message":"success","timestamp":1765337525})", sent, "200");
        row("bark bad key", "bark", 400, R"({"code":400,"message":"failed to get device token"})", never, "400");
        row("ntfy sent", "ntfy", 200, R"({"id":"sPs71M8A2T","time":1765337525,"event":"message","topic":"x"})", sent, "sPs71M8A2T");
        row("ntfy rate", "ntfy", 429, R"({"code":42901,"http":429,"error":"limit reached: too many requests"})", retry, "42901", 60000);
        row("ntfy forbidden", "ntfy", 403, R"({"code":40301,"http":403,"error":"forbidden"})", never, "40301");
        row("telegram sent", "telegram", 200, R"({"ok":true,"result":{"message_id":7}})", sent, "ok");
        row("telegram rate", "telegram", 429, R"({"ok":false,"error_code":429,"description":"Too Many Requests: retry after 35","parameters":{"retry_after":35}})", retry, "429", 35000);
        row("telegram chat", "telegram", 400, R"({"ok":false,"error_code":400,"description":"Bad Request: chat not found"})", never, "400");
        row("telegram blocked", "telegram", 403, R"({"ok":false,"error_code":403,"description":"Forbidden: bot was blocked by the user"})", never, "403");
        row("no reply", "wecom", 0, "", retry, "no reply");
        row("a proxy's page", "telegram", 200, "<html>portal</html>", retry, "200");
    }
    void whatTheRepliesMean()
    {
        QFETCH(QString, channel);
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        const Outcome out = readReply(*channelNamed(channel), status, reply);
        QTEST(int(out.result), "result");
        QTEST(out.code, "code");
        QTEST(out.retryAfterMs, "waitMs");
    }
};

QTEST_GUILESS_MAIN(TestChannels)
#include "test_channels.moc"

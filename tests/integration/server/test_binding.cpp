// The binding page on a running sandbox: users bind and unbind their own push channels with a code
// sent over loopback to an ntfy stand-in, and the phone alerts then go out on what they bound.
#include "binding.h"
#include "channelsfile.h"
#include "ntfystandin.h"
#include "phoneservice.h"
#include "sandbox.h"
#include "store.h"

#include "net/httpclient.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

namespace {

const QString kFree = QStringLiteral("13800138000");    // no channel anywhere
const QString kOwned = QStringLiteral("13900139000");   // the channels file gives it ntfy

struct Page {
    int status = 0;
    QString body;
    QByteArray type;
};

// A sandbox whose channels file binds kOwned to the ntfy topic "owner", all push services at the
// stand-in.
struct Fixture {
    Fixture()
    {
        QFile file(dir.filePath(QStringLiteral("channels.ini")));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the channels file");
        file.write("[13900139000]\nntfy=owner\n");
        file.close();
        sandbox::Options o;
        o.port = 0;
        o.dataDir = dir.filePath(QStringLiteral("data"));
        o.clockStart = QDateTime(QDate(2026, 12, 9), QTime(10, 30));
        o.scenario = QStringLiteral("alerts");
        o.channelsFile = file.fileName();
        for (const char* name : {"ntfy", "bark"})
            o.notifyBases.insert(QLatin1String(name), ntfy.base());
        box = std::make_unique<sandbox::Sandbox>(o);
        if (!box->start())
            qFatal("the sandbox did not start");
    }

    Page send(const QString& path, const QList<QPair<QString, QString>>& fields, bool post = true)
    {
        QUrlQuery q;
        for (const auto& [k, v] : fields)
            q.addQueryItem(k, QString::fromLatin1(QUrl::toPercentEncoding(v)));
        QNetworkRequest r(QUrl(box->baseUrl() + path));
        r.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        QNetworkReply* reply = post ? network.post(r, q.query(QUrl::FullyEncoded).toLatin1()) : network.get(r);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->deleteLater();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), QString::fromUtf8(reply->readAll()),
                reply->header(QNetworkRequest::ContentTypeHeader).toByteArray()};
    }
    Page ask(const QString& number, const QString& action, const QString& channel, const QString& value = {})
    {
        return send(QStringLiteral("/bind"), {{"number", number}, {"action", action}, {"channel", channel}, {"value", value}});
    }
    Page confirm(const QString& number, const QString& code)
    {
        return send(QStringLiteral("/bind/confirm"), {{"number", number}, {"code", code}});
    }
    // The code in the first message on `topic` after the first `skip` ones.
    QString codeOn(const QString& topic, qsizetype skip = 0)
    {
        if (!QTest::qWaitFor([&] { return ntfy.texts(topic).size() > skip; }, 5000))
            return QString();
        return QRegularExpression(QStringLiteral("汇澜绑定验证码 ([0-9]{6})，10分钟内有效")).match(ntfy.texts(topic).at(skip)).captured(1);
    }

    NtfyStandIn ntfy;
    QTemporaryDir dir;
    std::unique_ptr<sandbox::Sandbox> box;
    QNetworkAccessManager network;
};

QString wrongCode(const QString& right)
{
    return right == QLatin1String("000000") ? QStringLiteral("000001") : QStringLiteral("000000");
}

} // namespace

class TestBinding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aNewNumberBindsThroughItsNewChannelAndGetsItsAlertsThere()
    {
        Fixture f;
        const Page form = f.send(QStringLiteral("/bind"), {}, false);
        QCOMPARE(form.status, 200);
        QVERIFY(form.type.contains("utf-8"));
        for (const QString& name : server::binding::channelNames())
            QVERIFY2(form.body.contains(QStringLiteral("<option value=\"%1\">").arg(name)), qPrintable(name));

        QCOMPARE(f.ask(kFree, "bind", "ntfy", "mine").status, 200);
        const QString code = f.codeOn(QStringLiteral("mine"));
        QVERIFY(!code.isEmpty());
        const Page wrong = f.confirm(kFree, wrongCode(code));
        QCOMPARE(wrong.status, 403);
        QVERIFY(wrong.body.contains(QStringLiteral("还可以再试 4 次")));
        QCOMPARE(f.confirm(kFree, code).status, 200);
        QCOMPARE(f.confirm(kFree, code).status, 404);   // a code is used once
        const auto stored = f.box->store().phoneBindings(kFree);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().value, QStringLiteral("mine"));

        // The number's mirrored alerts now go to the bound topic, with no line in the channels file.
        net::HttpClient client(QStringLiteral("test"));
        const QString base = f.box->baseUrl();
        client.post(base + "/gpaddsj.asp", {{"sn", kFree}});
        client.post(base + "/gpycf.asp", {{"sn", kFree}, {"ycf", "1"}});
        client.post(base + "/gpadd2.asp", {{"sn", kFree}, {"zh", "0001"}, {"ddcj", "1"}, {"ddmm", "9"}, {"zdf", "0"},
                                           {"gpmc", QStringLiteral("招商银行")}, {"gpdm", "600036"}});
        f.box->phoneService()->tick();
        QTRY_VERIFY_WITH_TIMEOUT(f.ntfy.texts(QStringLiteral("mine")).size() == 2, 10000);
        QVERIFY(f.ntfy.texts(QStringLiteral("mine")).last().contains(QStringLiteral("招商银行(600036)")));

        // Unbinding: the code goes through the channel it has, and afterwards nothing is sent.
        QCOMPARE(f.ask(kFree, "unbind", "ntfy").status, 200);
        const QString unbind = f.codeOn(QStringLiteral("mine"), 2);
        QVERIFY(unbind != code && !unbind.isEmpty());
        QCOMPARE(f.confirm(kFree, unbind).status, 200);
        QVERIFY(f.box->store().phoneBindings(kFree).isEmpty());
        QVERIFY(f.box->phoneService()->channelsOf(kFree).isEmpty());
    }

    void aBoundNumberGetsTheCodeOnlyOnTheChannelsItHas()
    {
        Fixture f;
        // Someone who knows the number asks to add their bark key: the code goes to the owner's
        // ntfy topic, never to the bark key being added.
        const Page asked = f.ask(kOwned, "bind", "bark", "intruderkey");
        QCOMPARE(asked.status, 200);
        QVERIFY(!asked.body.contains(QStringLiteral("owner")));
        const QString code = f.codeOn(QStringLiteral("owner"));
        QVERIFY(!code.isEmpty());
        QTest::qWait(200);
        QCOMPARE(f.ntfy.messages.size(), 1);   // bark's address is the stand-in too: nothing went there

        // Guessing: the fifth wrong code voids it, and the right one is of no use after that.
        for (int i = 1; i < server::binding::kWrongCodesAllowed; ++i)
            QCOMPARE(f.confirm(kOwned, wrongCode(code)).status, 403);
        const Page last = f.confirm(kOwned, wrongCode(code));
        QVERIFY(last.body.contains(QStringLiteral("验证码已失效")));
        QCOMPARE(f.confirm(kOwned, code).status, 404);
        QVERIFY(f.box->store().phoneBindings(kOwned).isEmpty());

        // The file's own channel can be neither bound again nor unbound from the page.
        QCOMPARE(f.ask(kOwned, "bind", "ntfy", "other").status, 409);
        QCOMPARE(f.ask(kOwned, "unbind", "ntfy").status, 404);
    }

    void refusalsSendNothing()
    {
        Fixture f;
        const QList<QStringList> bad{
            {"1380013800", "bind", "ntfy", "x"},                   // ten digits
            {"1380013800a", "bind", "ntfy", "x"},
            {kFree, "bind", "sms", "x"},                           // no such channel
            {kFree, "replace", "ntfy", "x"},
            {kFree, "bind", "ntfy", ""},
            {kFree, "bind", "ntfy", "a b"},                        // not the channels file's syntax
            {kFree, "bind", "ntfy", QStringLiteral("ab\u0007c")},  // a control character
            {kFree, "bind", "ntfy", QString(300, u'a')},           // too long
            {kFree, "bind", "email", "not-an-address"},
            {kFree, "bind", "telegram", "12345"},                  // no bot token in the file
            {kFree, "bind", "email", "me@example.com"},            // no [smtp] in the file
        };
        for (const QStringList& b : bad) {
            const Page p = f.ask(b[0], b[1], b[2], b[3]);
            QVERIFY2(p.status == 400 || p.status == 503, qPrintable(b.join(u' ') + u' ' + QString::number(p.status)));
        }
        QCOMPARE(f.box->store().phoneCodesSince(kFree, 0), 0);

        // Five codes an hour for a number, however they are asked for; the sixth is refused.
        for (int i = 0; i < server::binding::kCodesPerHour; ++i)
            QCOMPARE(f.ask(kFree, "bind", "ntfy", QStringLiteral("t%1").arg(i)).status, 200);
        const Page over = f.ask(kFree, "bind", "ntfy", "t9");
        QCOMPARE(over.status, 429);
        QVERIFY(over.body.contains(QStringLiteral("一小时内")));
        QTRY_COMPARE(f.ntfy.messages.size(), server::binding::kCodesPerHour);
        // Only the newest code counts: an older one is void once another was sent.
        const QString first = QRegularExpression(QStringLiteral("([0-9]{6})")).match(f.ntfy.texts(QStringLiteral("t0")).value(0)).captured(1);
        const QString newest = f.codeOn(QStringLiteral("t4"));
        if (first != newest)
            QCOMPARE(f.confirm(kFree, first).status, 403);
        QCOMPARE(f.confirm(kFree, newest).status, 200);
        QCOMPARE(f.box->store().phoneBindings(kFree).value(0).value, QStringLiteral("t4"));
    }

    void aChannelGivenLaterIsUsedWithoutAChangeOfTheMirror()
    {
        Fixture f;
        net::HttpClient client(QStringLiteral("test"));
        const QString base = f.box->baseUrl();
        client.post(base + "/gpaddsj.asp", {{"sn", kFree}});
        client.post(base + "/gpycf.asp", {{"sn", kFree}, {"ycf", "1"}});
        client.post(base + "/gpadd2.asp", {{"sn", kFree}, {"zh", "0001"}, {"ddcj", "1"}, {"ddmm", "9"}, {"zdf", "0"},
                                           {"gpmc", QStringLiteral("招商银行")}, {"gpdm", "600036"}});
        f.box->phoneService()->tick();   // no channel yet: not decided
        QTest::qWait(200);
        QVERIFY(f.ntfy.messages.isEmpty());
        // The operator's file read again with a line for the number.
        f.box->phoneService()->setChannels(server::notify::parseChannelsFile("[13800138000]\nntfy=later\n"));
        f.box->phoneService()->tick();
        QTRY_COMPARE_WITH_TIMEOUT(f.ntfy.texts(QStringLiteral("later")).size(), 1, 10000);
    }

    void anExpiredCodeIsSpent()
    {
        QTemporaryDir dir;
        server::CompanionStore store;
        QVERIFY(store.open(dir.filePath(QStringLiteral("c.db"))));
        const QByteArray salt = "salt";
        server::CompanionStore::PhoneCode c{0, kFree, "bind", "ntfy", "topic", salt,
                                            server::CompanionStore::phoneCodeHash(salt, kFree, "123456"), 1000 + server::binding::kCodeLifetimeMs, 0};
        QVERIFY(store.addPhoneCode(c, 1000));
        QCOMPARE(store.checkPhoneCode(kFree, "123456", 1000 + server::binding::kCodeLifetimeMs, 5), server::CompanionStore::CodeCheck::Spent);
        QVERIFY(store.addPhoneCode(c, 2000));
        QCOMPARE(store.checkPhoneCode(kFree, "123456", 2000, 5), server::CompanionStore::CodeCheck::Bound);
        QCOMPARE(store.phoneCodesSince(kFree, 0), 2);
    }
};

QTEST_GUILESS_MAIN(TestBinding)
#include "test_binding.moc"

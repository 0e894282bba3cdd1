// The e-mail channel against an SMTP stand-in on loopback with a certificate made for the test:
// TLS from the first byte and by STARTTLS, the login, and what each kind of refusal means.
#include "smtp.h"

#include <QProcess>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace server::notify;

namespace {

// A mail server that takes one message at a time and remembers what it was told.
class SmtpStandIn : public QTcpServer {
public:
    SmtpStandIn(const QString& certFile, const QString& keyFile, bool implicitTls, bool offerTls = true)
        : implicit_(implicitTls), offerTls_(offerTls)
    {
        QFile c(certFile), k(keyFile);
        if (c.open(QIODevice::ReadOnly) && k.open(QIODevice::ReadOnly)) {
            cert_ = QSslCertificate(c.readAll());
            key_ = QSslKey(k.readAll(), QSsl::Rsa);
        }
        listen(QHostAddress::LocalHost);
    }
    QByteArray rcptReply = "250 ok";
    QStringList commands;   // what the client said, the mail's lines left out
    QByteArray mail;
    bool clearTextLogin = false;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* s = new QSslSocket(this);
        s->setSocketDescriptor(descriptor);
        s->setLocalCertificate(cert_);
        s->setPrivateKey(key_);
        auto say = [s](const QByteArray& line) { s->write(line + "\r\n"); };
        if (implicit_) {
            connect(s, &QSslSocket::encrypted, s, [say] { say("220 mail.test ESMTP"); });
            s->startServerEncryption();
        } else {
            say("220 mail.test ESMTP");
        }
        auto inData = std::make_shared<bool>(false);
        connect(s, &QSslSocket::readyRead, s, [this, s, say, inData] {
            while (s->canReadLine()) {
                const QByteArray line = s->readLine().chopped(2);
                if (*inData) {
                    if (line == ".") {
                        *inData = false;
                        say("250 queued");
                    } else {
                        mail += line + "\r\n";
                    }
                    continue;
                }
                commands << QString::fromLatin1(line);
                const QByteArray verb = line.left(4).toUpper();
                if (verb == "EHLO")
                    say(offerTls_ && !s->isEncrypted() ? "250-mail.test\r\n250-STARTTLS\r\n250 AUTH PLAIN" : "250-mail.test\r\n250 AUTH PLAIN");
                else if (verb == "STAR") {
                    say("220 go ahead");
                    s->startServerEncryption();
                } else if (verb == "AUTH") {
                    clearTextLogin = clearTextLogin || !s->isEncrypted();
                    say(QByteArray::fromBase64(line.mid(11)) == QByteArray("\0alerts\0secret", 14) ? "235 ok" : "535 5.7.8 bad credentials");
                } else if (verb == "MAIL")
                    say("250 ok");
                else if (verb == "RCPT")
                    say(rcptReply);
                else if (verb == "DATA") {
                    *inData = true;
                    say("354 end with .");
                } else if (verb == "QUIT")
                    say("221 bye");
                else
                    say("502 unknown");
            }
        });
    }

private:
    bool implicit_;
    bool offerTls_;
    QSslCertificate cert_;
    QSslKey key_;
};

struct Certificate {
    Certificate()
    {
        cert = dir.filePath(QStringLiteral("cert.pem"));
        key = dir.filePath(QStringLiteral("key.pem"));
        made = QProcess::execute(QStringLiteral("openssl"),
                                 {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=localhost",
                                  "-addext", "subjectAltName=DNS:localhost", "-keyout", key, "-out", cert})
               == 0;
    }
    QTemporaryDir dir;
    QString cert, key;
    bool made = false;
};

Outcome sendOnce(const SmtpSettings& settings, const QString& to = QStringLiteral("me@example.com"))
{
    SmtpSender sender;
    sender.setTimeout(5000);
    std::optional<Outcome> out;
    sender.send(settings, to, Message{QStringLiteral("招商银行(600036) 涨停"), QStringLiteral("36.55元 涨10.00%")},
                [&](Outcome o) { out = o; });
    if (!QTest::qWaitFor([&] { return out.has_value(); }, 10000))
        qFatal("no outcome");
    return *out;
}

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("this Qt has no TLS backend");
        QVERIFY(cert.made);
    }

    void sendsOverTlsFromTheStartOrAfterStartTls_data()
    {
        QTest::addColumn<bool>("implicitTls");
        QTest::newRow("implicit") << true;
        QTest::newRow("starttls") << false;
    }
    void sendsOverTlsFromTheStartOrAfterStartTls()
    {
        QFETCH(bool, implicitTls);
        SmtpStandIn server(cert.cert, cert.key, implicitTls);
        const SmtpSettings s{QStringLiteral("localhost"), server.serverPort(), implicitTls, QStringLiteral("alerts"),
                             QStringLiteral("secret"), QStringLiteral("alerts@huilan.example"), cert.cert};
        const Outcome out = sendOnce(s);
        QCOMPARE(int(out.result), int(Result::Sent));
        QCOMPARE(out.code, QStringLiteral("250"));
        QVERIFY(!server.clearTextLogin);
        QVERIFY(server.commands.contains(QStringLiteral("RCPT TO:<me@example.com>")));
        QVERIFY(server.mail.contains("Subject: =?UTF-8?B?" + QStringLiteral("招商银行(600036) 涨停").toUtf8().toBase64() + "?="));
        QVERIFY(server.mail.contains("\r\n\r\n" + QStringLiteral("36.55元 涨10.00%").toUtf8().toBase64() + "\r\n"));
        QVERIFY(server.mail.contains("Content-Type: text/plain; charset=UTF-8\r\n"));
    }

    void refusalsRetriesAndNoTls()
    {
        SmtpStandIn server(cert.cert, cert.key, true);
        SmtpSettings s{QStringLiteral("localhost"), server.serverPort(), true, QStringLiteral("alerts"), QStringLiteral("wrong"),
                       QStringLiteral("alerts@huilan.example"), cert.cert};
        Outcome out = sendOnce(s);
        QCOMPARE(int(out.result), int(Result::Permanent));
        QCOMPARE(out.code, QStringLiteral("535"));
        s.password = QStringLiteral("secret");
        server.rcptReply = "450 4.2.0 greylisted, try again later";
        QCOMPARE(int(sendOnce(s).result), int(Result::Retry));
        server.rcptReply = "550 5.1.1 no such user";
        QCOMPARE(int(sendOnce(s).result), int(Result::Permanent));
        QCOMPARE(int(sendOnce(s, QStringLiteral("a>b@example.com")).result), int(Result::Permanent));   // never sent

        // A certificate nobody vouches for: not trusted, and trying again will not change it.
        s.caFile.clear();
        QCOMPARE(int(sendOnce(s).result), int(Result::Permanent));

        // A server that offers no TLS never sees the password.
        SmtpStandIn plain(cert.cert, cert.key, false, false);
        const SmtpSettings p{QStringLiteral("localhost"), plain.serverPort(), false, QStringLiteral("alerts"),
                             QStringLiteral("secret"), QStringLiteral("alerts@huilan.example"), cert.cert};
        out = sendOnce(p);
        QCOMPARE(out.code, QStringLiteral("no TLS"));
        QCOMPARE(int(out.result), int(Result::Permanent));
        QVERIFY(!plain.commands.join(u' ').contains(QStringLiteral("AUTH")));
    }

private:
    Certificate cert;
};

QTEST_GUILESS_MAIN(TestSmtp)
#include "test_smtp.moc"

#include "smtp.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <QUuid>

#include <memory>

namespace server::notify {

namespace {

// "=?UTF-8?B?...?=" for a header that holds other than ASCII.
QByteArray encodedWord(const QString& text)
{
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

// One SMTP conversation: the socket, where it stands, and what is still to be said.
struct Conversation {
    enum class Step { Greeting, Ehlo, StartTls, EhloAgain, Auth, MailFrom, RcptTo, Data, Body, Quit };
    QSslSocket* socket = nullptr;
    Step step = Step::Greeting;
    bool tls = false;
    bool finished = false;
    QByteArray pending;         // bytes of a reply not yet ended by CR LF
    QByteArray lines;           // the lines of a multi-line reply so far
    SmtpSettings settings;
    QString to;
    QByteArray mail;
    std::function<void(Outcome)> done;
};

} // namespace

bool isMailAddress(const QString& address)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9._%+-]{1,64}@[A-Za-z0-9.-]{1,190}\\.[A-Za-z]{2,24}$"));
    return form.match(address).hasMatch();
}

QByteArray composeMail(const QString& from, const QString& to, const Message& message, const QDateTime& now)
{
    QByteArray body = message.text.toUtf8().toBase64();
    QByteArray wrapped;
    for (qsizetype i = 0; i < body.size(); i += 76)
        wrapped += body.mid(i, 76) + "\r\n";
    return "From: " + from.toLatin1() + "\r\n"
           + "To: " + to.toLatin1() + "\r\n"
           + "Subject: " + encodedWord(message.title) + "\r\n"
           + "Date: " + now.toString(Qt::RFC2822Date).toLatin1() + "\r\n"
           + "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@huilan>\r\n"
           + "MIME-Version: 1.0\r\n"
           + "Content-Type: text/plain; charset=UTF-8\r\n"
           + "Content-Transfer-Encoding: base64\r\n"
           + "\r\n" + wrapped;
}

SmtpSender::SmtpSender(QObject* parent) : QObject(parent) {}

void SmtpSender::send(const SmtpSettings& settings, const QString& to, const Message& message, std::function<void(Outcome)> done)
{
    if (!isMailAddress(to) || !isMailAddress(settings.from))
        return done({Result::Permanent, QStringLiteral("bad address"), 0});
    auto c = std::make_shared<Conversation>();
    c->settings = settings;
    c->to = to;
    c->mail = composeMail(settings.from, to, message, QDateTime::currentDateTimeUtc());
    c->done = std::move(done);
    c->socket = new QSslSocket(this);
    QSslSocket* socket = c->socket;
    if (!settings.caFile.isEmpty()) {
        QSslConfiguration config = socket->sslConfiguration();
        QList<QSslCertificate> cas = config.caCertificates();
        cas += QSslCertificate::fromPath(settings.caFile);
        config.setCaCertificates(cas);
        socket->setSslConfiguration(config);
    }

    auto finish = [c](Result result, const QString& code) {
        if (c->finished)
            return;
        c->finished = true;
        c->socket->disconnect();
        c->socket->abort();
        c->socket->deleteLater();
        c->done({result, code, 0});
    };
    auto say = [c](const QByteArray& line) { c->socket->write(line + "\r\n"); };
    auto ehlo = [say] { say("EHLO huilan-server"); };

    // One complete reply: its code and, for EHLO, every line of it.
    auto onReply = [c, finish, say, ehlo](int code, const QByteArray& all) {
        using Step = Conversation::Step;
        if (code >= 400) {
            // 4xx: the server cannot take it now (greylisting, a full mailbox); 5xx: never.
            return finish(code >= 500 ? Result::Permanent : Result::Retry, QString::number(code));
        }
        switch (c->step) {
        case Step::Greeting:
            c->step = Step::Ehlo;
            return ehlo();
        case Step::Ehlo:
        case Step::EhloAgain:
            if (!c->tls) {
                if (!all.toUpper().contains("STARTTLS"))
                    return finish(Result::Permanent, QStringLiteral("no TLS"));   // no password in the clear
                c->step = Step::StartTls;
                return say("STARTTLS");
            }
            if (c->settings.user.isEmpty()) {
                c->step = Step::MailFrom;
                return say("MAIL FROM:<" + c->settings.from.toLatin1() + ">");
            }
            c->step = Step::Auth;
            return say("AUTH PLAIN " + ('\0' + c->settings.user.toUtf8() + '\0' + c->settings.password.toUtf8()).toBase64());
        case Step::StartTls:
            c->step = Step::EhloAgain;
            c->socket->startClientEncryption();   // EHLO again once encrypted
            return;
        case Step::Auth:
            c->step = Step::MailFrom;
            return say("MAIL FROM:<" + c->settings.from.toLatin1() + ">");
        case Step::MailFrom:
            c->step = Step::RcptTo;
            return say("RCPT TO:<" + c->to.toLatin1() + ">");
        case Step::RcptTo:
            c->step = Step::Data;
            return say("DATA");
        case Step::Data:
            c->step = Step::Body;
            c->socket->write(c->mail + ".\r\n");   // Base64 lines never begin with '.'
            return;
        case Step::Body:
            c->step = Step::Quit;
            say("QUIT");
            return finish(Result::Sent, QString::number(code));
        case Step::Quit:
            return;
        }
    };

    connect(socket, &QSslSocket::readyRead, socket, [c, onReply] {
        c->pending += c->socket->readAll();
        if (c->pending.size() > 64 * 1024)
            c->pending.clear();   // no reply is this long: what follows cannot be read as one
        qsizetype end;
        while (!c->finished && (end = c->pending.indexOf("\r\n")) >= 0) {
            const QByteArray line = c->pending.left(end);
            c->pending.remove(0, end + 2);
            c->lines += line + '\n';
            // "250-..." goes on; "250 ..." (or a bare code) ends the reply.
            if (line.size() >= 4 && line[3] == '-')
                continue;
            bool ok = false;
            const int code = line.left(3).toInt(&ok);
            const QByteArray all = std::exchange(c->lines, {});
            onReply(ok ? code : 500, all);
        }
    });
    connect(socket, &QSslSocket::encrypted, socket, [c, ehlo] {
        c->tls = true;
        if (c->step == Conversation::Step::EhloAgain)
            ehlo();
    });
    connect(socket, &QSslSocket::sslErrors, socket, [finish](const QList<QSslError>& errors) {
        // An untrusted or mismatched certificate does not get better by trying again.
        finish(Result::Permanent, errors.isEmpty() ? QStringLiteral("TLS") : errors.first().errorString());
    });
    connect(socket, &QSslSocket::errorOccurred, socket, [c, finish](QAbstractSocket::SocketError) {
        finish(Result::Retry, c->socket->errorString());
    });
    connect(socket, &QSslSocket::disconnected, socket, [finish] { finish(Result::Retry, QStringLiteral("connection closed")); });
    QTimer::singleShot(timeoutMs_, socket, [finish] { finish(Result::Retry, QStringLiteral("timed out")); });

    if (settings.implicitTls) {
        c->tls = true;   // the greeting comes over TLS
        socket->connectToHostEncrypted(settings.host, settings.port);
    } else {
        socket->connectToHost(settings.host, settings.port);
    }
}

} // namespace server::notify

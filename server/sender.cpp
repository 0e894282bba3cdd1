#include "sender.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace server::notify {

namespace {
constexpr qint64 kMaxReply = 1024 * 1024;   // every service answers a few hundred bytes
}

Sender::Sender(QObject* parent) : QObject(parent), network_(new QNetworkAccessManager(this)) {}

void Sender::send(Channel channel, const Request& request, std::function<void(Outcome)> done)
{
    QNetworkRequest r(request.url);
    r.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    r.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("huilan-server"));
    // A service that moved answers 3xx: no redirect is followed with a token in the address.
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = network_->post(r, request.body);
    QTimer::singleShot(timeoutMs_, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > kMaxReply)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, channel, done = std::move(done)] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // A reply with a status is read, whatever error Qt gives it (4xx and 5xx are errors there);
        // none at all (refused, dropped, timed out) is a transient failure.
        Outcome out = readReply(channel, status, status > 0 ? reply->readAll() : QByteArray());
        if (status == 0)
            out.code = reply->errorString();
        done(out);
    });
}

} // namespace server::notify

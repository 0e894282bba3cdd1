#include "net/httpclient.h"

#include "net/failure.h"
#include "net/urlopener.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTimer>
#include <memory>

namespace net {

QNetworkRequest makeRequest(const QString& url, int readTimeoutMs)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Accept", kAccept);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setRawHeader("Connection", "close");
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(readTimeoutMs);
    // Redirects wait for limitReply's scheme check.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    return request;
}

std::shared_ptr<ReplyLimits> limitReply(QNetworkReply* reply, qint64 cap, int boundMs)
{
    auto limits = std::make_shared<ReplyLimits>();
    auto check = [reply, cap, limits](qint64 received) {
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (!limits->overCap && (received > cap || declared > cap)) {
            limits->overCap = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [check] { check(0); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [check](qint64 received, qint64) { check(received); });
    // The read time-out restarts with every byte, so a server sending one byte a second would
    // hold the request for ever without this.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply, limits] {
        if (reply->isFinished())
            return;
        limits->overTime = true;
        reply->abort();
    });
    deadline->start(boundMs);
    // Counted here: past its own limit Qt ends a redirect loop as if it had succeeded.
    auto redirects = std::make_shared<int>(0);
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, limits, redirects](const QUrl& to) {
        if (isWebAddress(to.toString()) && ++*redirects <= kMaxRedirects) {
            Q_EMIT reply->redirectAllowed();
            return;
        }
        limits->badRedirect = true;
        reply->abort();
    });
    return limits;
}

QString replyFailure(QNetworkReply* reply, const ReplyLimits& limits)
{
    const QString url = reply->url().toString();
    if (limits.overCap)
        return QStringLiteral("%1: reply larger than the size limit").arg(url);
    if (limits.overTime)
        return QStringLiteral("%1: no whole reply within the time limit").arg(url);
    if (limits.badRedirect)
        return QStringLiteral("%1: redirected too often or off the web").arg(url);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status < 400)
        return QStringLiteral("%1: %2").arg(url, reply->errorString());
    if (status < 200 || status >= 300)   // an error, or no final answer after the redirects
        return QStringLiteral("%1: HTTP status %2").arg(url).arg(status);
    return {};
}

HttpClient::HttpClient(const QString& name, QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    setObjectName(name);
    m_manager->setCookieJar(new QNetworkCookieJar(m_manager));
}

HttpClient::~HttpClient() = default;

QByteArray HttpClient::get(const QString& url)
{
    if (!isFetchable(url))
        throw HttpFailure(url.left(200) + QStringLiteral(": not a web address"));
    return run(m_manager->get(makeRequest(url, m_readTimeoutMs)), url);
}

QByteArray HttpClient::post(const QString& url, const Form& form)
{
    if (!isFetchable(url))
        throw HttpFailure(url.left(200) + QStringLiteral(": not a web address"));
    QNetworkRequest request = makeRequest(url, m_readTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray("application/x-www-form-urlencoded"));
    return run(m_manager->post(request, encodeForm(form)), url);
}

QByteArray HttpClient::run(QNetworkReply* reply, const QString& url)
{
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(
        reply, [](QNetworkReply* r) { r->deleteLater(); });
    const auto limits = limitReply(reply, m_cap, m_readTimeoutMs);
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        ++m_pending;
        loop.exec();
        --m_pending;
    }
    if (!reply->isFinished()) {   // the application is quitting and told every loop to exit
        reply->abort();
        throw HttpFailure(url + QStringLiteral(": cancelled"));
    }
    const QString failure = replyFailure(reply, *limits);
    if (!failure.isEmpty())
        throw HttpFailure(failure, reply->error() == QNetworkReply::ConnectionRefusedError);
    return reply->readAll();
}

} // namespace net

#include "net/httpclient.h"

#include "net/failure.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <memory>

namespace net {

bool isFetchable(const QString& url)
{
    const QString scheme = QUrl(url.trimmed()).scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

QNetworkRequest makeRequest(const QString& url, int readTimeoutMs)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Accept", kAccept);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setRawHeader("Connection", "close");
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(readTimeoutMs);
    return request;
}

std::shared_ptr<bool> capBody(QNetworkReply* reply, qint64 cap)
{
    auto over = std::make_shared<bool>(false);
    auto check = [reply, cap, over](qint64 received) {
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (!*over && (received > cap || declared > cap)) {
            *over = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [check] { check(0); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [check](qint64 received, qint64) { check(received); });
    return over;
}

QString replyFailure(QNetworkReply* reply, bool overCap)
{
    if (overCap)
        return QStringLiteral("%1: reply larger than the size limit").arg(reply->url().toString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status < 400)
        return QStringLiteral("%1: %2").arg(reply->url().toString(), reply->errorString());
    if (status >= 400)
        return QStringLiteral("%1: HTTP status %2").arg(reply->url().toString()).arg(status);
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
    auto overCap = capBody(reply, m_cap);
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
    const QString failure = replyFailure(reply, *overCap);
    if (!failure.isEmpty())
        throw HttpFailure(failure);
    return reply->readAll();
}

} // namespace net

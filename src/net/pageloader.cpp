#include "net/pageloader.h"

#include "net/codecs.h"
#include "net/httpclient.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>

namespace net {

PageLoader::PageLoader(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)),
      m_readTimeoutMs(kDefaultReadTimeoutMs)
{
    m_manager->setCookieJar(new QNetworkCookieJar(m_manager));
}

void PageLoader::stop()
{
    if (m_reply) {
        QNetworkReply* old = m_reply;
        m_reply = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
}

void PageLoader::load(const QString& url)
{
    stop();
    m_url = url;
    const quint64 load = ++m_loads;
    if (!isFetchable(url)) {
        // Reported from the event loop, like every other outcome of a load.
        QMetaObject::invokeMethod(this, [this, load, url] {
            if (load == m_loads)
                Q_EMIT failed(url, url.left(200) + QStringLiteral(": not a web address"));
        }, Qt::QueuedConnection);
        return;
    }
    QNetworkReply* reply = m_manager->get(makeRequest(url, m_readTimeoutMs));
    m_reply = reply;
    const auto limits = limitReply(reply, kMaxBodyBytes, m_readTimeoutMs);
    connect(reply, &QNetworkReply::finished, this, [this, reply, limits, url] {
        if (m_reply != reply)
            return;
        m_reply = nullptr;
        reply->deleteLater();
        const QString failure = replyFailure(reply, *limits);
        if (!failure.isEmpty()) {
            Q_EMIT failed(url, failure);
            return;
        }
        Q_EMIT loaded(url, reply->readAll(),
                      reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
    });
}

QString PageLoader::decodeDocument(const QByteArray& body, const QByteArray& contentType)
{
    const QByteArray type = contentType.toLower();
    bool utf8 = type.contains("utf-8") || type.contains("utf8");
    if (!type.contains("charset")) {
        const QByteArray head = body.left(1024).toLower();
        utf8 = head.contains("charset=utf-8") || head.contains("charset=\"utf-8\"");
    }
    return utf8 ? fromUtf8(body) : fromGbk(body);
}

} // namespace net

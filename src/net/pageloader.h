// Asynchronous page loader: fetches one address at a time and reports the finished document once
// per load. Starting a new load abandons the one in flight, whose result is never reported.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace net {

class PageLoader : public QObject {
    Q_OBJECT
public:
    explicit PageLoader(QObject* parent = nullptr);

    void load(const QString& url);
    void stop();
    bool isLoading() const { return !m_reply.isNull(); }
    QString currentUrl() const { return m_url; }
    void setReadTimeout(int ms) { m_readTimeoutMs = ms; }

    // The document text as it would be decoded for display: the charset named by the reply's
    // Content-Type (or a <meta charset>) when it is UTF-8, otherwise GBK.
    static QString decodeDocument(const QByteArray& body, const QByteArray& contentType);

Q_SIGNALS:
    void loaded(const QString& url, const QByteArray& body, const QByteArray& contentType);
    void failed(const QString& url, const QString& reason);

private:
    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QString m_url;
    int m_readTimeoutMs;
    quint64 m_loads = 0;   // counts load() calls, so a refusal is reported only for the latest
};

} // namespace net

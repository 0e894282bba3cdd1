// Blocking-looking HTTP client. A request runs a nested event loop until its reply finishes, so
// timers, page completions and clicks go on being handled while it waits; callers that must not
// re-enter themselves guard with TimerPause or a busy flag.
#pragma once

#include "net/failure.h"
#include "net/form.h"
#include "net/urlopener.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace net {

// Every request of the application carries these.
inline constexpr char kAccept[] = "text/html, */*";
inline constexpr char kUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";
inline constexpr qint64 kMaxBodyBytes = 8 * 1024 * 1024;
inline constexpr int kDefaultReadTimeoutMs = 30000;

// Redirects a request follows, each only to another http or https address.
inline constexpr int kMaxRedirects = 5;

// Builds a GET or POST request with the common headers and a read time-out: a reply that sends
// nothing for `readTimeoutMs` is aborted.
QNetworkRequest makeRequest(const QString& url, int readTimeoutMs);

// What a reply ran into: its body passed the size cap, the whole exchange outlasted its bound, or
// a redirect led off the web or one redirect too many.
struct ReplyLimits {
    bool overCap = false;
    bool overTime = false;
    bool badRedirect = false;
};

// Aborts `reply` once its body passes `cap` bytes (by its declared length or by what arrived),
// once `boundMs` have passed since the request went out however slowly the bytes still trickle
// in, or when it is redirected to anything but an http or https address or more than
// kMaxRedirects times. The flags say which.
std::shared_ptr<ReplyLimits> limitReply(QNetworkReply* reply, qint64 cap, int boundMs);

// Turns a finished reply into its body or a failure text (empty when it succeeded).
QString replyFailure(QNetworkReply* reply, const ReplyLimits& limits);

class HttpClient : public QObject {
    Q_OBJECT
public:
    // `name` becomes the objectName ("IdHTTP1"), so tests and logs can tell the clients apart.
    explicit HttpClient(const QString& name, QObject* parent = nullptr);
    ~HttpClient() override;

    // The client's bound: a request ends when nothing arrives for this long, and at the latest
    // this long after it went out.
    void setReadTimeout(int ms) { m_readTimeoutMs = ms; }
    int readTimeout() const { return m_readTimeoutMs; }
    void setBodyCap(qint64 bytes) { m_cap = bytes; }

    // Both return the whole body or throw HttpFailure. Each request is a fresh connection.
    QByteArray get(const QString& url);
    QByteArray post(const QString& url, const Form& form);

    // Number of requests of this client waiting in nested loops right now.
    int pending() const { return m_pending; }

private:
    QByteArray run(QNetworkReply* reply, const QString& url);

    QNetworkAccessManager* m_manager;
    int m_readTimeoutMs = kDefaultReadTimeoutMs;
    qint64 m_cap = kMaxBodyBytes;
    int m_pending = 0;
};

} // namespace net

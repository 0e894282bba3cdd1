// The companion server's HTTP/1.1 layer: one request per connection, read with hard limits on
// the head, the body, the number of form fields, the time a client may take to send them and
// the number of open connections, so the server can face the public network. Every answer
// closes its connection (the program opens a new one per request). One event loop, no threads.
#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <functional>

namespace server::http {

struct Request {
    QByteArray method;
    QByteArray target;                      // path and query as the client sent them
    QString path;                           // the target's path, percent-decoded (UTF-8)
    QByteArray rawQuery;                    // still encoded, without the '?'
    QHash<QByteArray, QByteArray> headers;  // lower-case names; a repeated header's values joined with ", "
    QByteArray body;
    QHostAddress peer;                      // an IPv4 client is plain IPv4 even on a dual-stack socket

    QByteArray header(QByteArrayView lowerName) const { return headers.value(lowerName.toByteArray()); }
};

struct Limits {
    qsizetype maxHeadBytes = 16 * 1024;           // request line and headers, line ends included
    int maxHeaders = 100;
    qsizetype maxBodyBytes = 2 * 1024 * 1024 - 1; // a body of 2 MiB or more is refused
    int maxFields = 19999;                        // url-encoded fields in the query and a form body
    int requestTimeoutMs = 10000;                 // for the whole head and body, from the connection's start
    int maxConnections = 1024;
};

// The text of a status line's reason ("Unknown" for codes this server never sends).
QByteArray reasonPhrase(int status);

// Reads one request as its bytes arrive, in pieces of any size. The server and the fuzz target
// use the same parser, so what is fuzzed is what faces the network.
class RequestParser {
public:
    enum class State { NeedMore, Complete, Refused };

    explicit RequestParser(const Limits& limits = {});

    // Takes the next bytes. Once Complete or Refused, further bytes are ignored (a client may
    // send more than its Content-Length said).
    State feed(QByteArrayView data);

    State state() const { return state_; }
    // When Refused: the status to answer with and a short reason for the answer's body.
    int status() const { return status_; }
    const char* refusal() const { return refusal_; }
    // When Complete: the request, all but its peer.
    const Request& request() const { return request_; }
    Request& request() { return request_; }

private:
    State refuse(int status, const char* why);
    State scanHead();
    State headEnded(qsizetype bodyStart);
    State takeBody(QByteArrayView data);
    bool readRequestLine(QByteArrayView line);
    State readHeaderLine(QByteArrayView line);

    Limits limits_;
    State state_ = State::NeedMore;
    int status_ = 0;
    const char* refusal_ = "";
    QByteArray head_;             // the head's bytes so far (and whatever followed it in the same piece)
    qsizetype lineStart_ = 0;     // where the line being read starts in head_
    qsizetype scanned_ = 0;       // how far head_ has been searched for a line end
    bool haveRequestLine_ = false;
    bool inBody_ = false;         // the head is read: what comes is body
    int headerLines_ = 0;
    qint64 contentLength_ = -1;   // -1: none given
    Request request_;
};

namespace detail {
class Connection;
}

// Answers one request. Copies share the connection: only the first send() goes out, and after
// the client has gone nothing does.
class Responder {
public:
    Responder() = default;

    // One complete response (status line, Content-Type, Content-Length, Connection: close, the
    // body), after which the connection closes once the bytes are out. No Content-Type header
    // when contentType is empty. To a HEAD request the body is left out and its length kept.
    void send(int status, const QByteArray& contentType, const QByteArray& body) const;
    // The connection itself, for writing raw bytes or holding it open without an answer; null
    // once the client has gone.
    QTcpSocket* socket() const;
    // The client is still there and nothing has been sent through send().
    bool isOpen() const;

private:
    friend class detail::Connection;
    explicit Responder(detail::Connection* connection);
    QPointer<QTcpSocket> socket_;   // always a detail::Connection
};

class Server : public QObject {
    Q_OBJECT
public:
    // Called once per connection with a complete request. The request lives only for the
    // call; the Responder may be kept to answer later.
    using Handler = std::function<void(const Request&, Responder)>;

    explicit Server(Handler handler, Limits limits = {}, QObject* parent = nullptr);
    ~Server() override;

    // Listens on address:port (port 0: any free port). With reusePort several processes may
    // each listen on the same port and the kernel spreads new connections between them.
    bool listen(const QHostAddress& address, quint16 port, bool reusePort = false, QString* error = nullptr);
    // Takes over a socket that is already listening (one handed over by systemd, say).
    bool useDescriptor(int fd, QString* error = nullptr);

    quint16 port() const;
    QHostAddress address() const;
    // Stops taking new connections; they wait in the listening socket's queue.
    void pauseAccepting();
    const Limits& limits() const { return limits_; }
    // Connections accepted and not yet closed (those refused for being over the cap not counted).
    int openConnections() const { return open_; }

Q_SIGNALS:
    // A connection opened or closed; openConnections() tells how many are left.
    void connectionsChanged();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend class detail::Connection;
    void accept(qintptr descriptor);
    void connectionClosed();
    // Gives the connection ms from now before it is told its time is up (again: from now).
    void watch(detail::Connection* connection, int ms);
    void unwatch(detail::Connection* connection);
    void unlink(detail::Connection* connection);

    Handler handler_;
    Limits limits_;
    class Listener;
    Listener* listener_ = nullptr;
    int open_ = 0;
    QElapsedTimer clock_;
    QBasicTimer sweep_;
    detail::Connection* watchedFirst_ = nullptr;   // in the order they were watched
    detail::Connection* watchedLast_ = nullptr;
};

} // namespace server::http

#include "http.h"

#include <QTcpServer>
#include <QTimer>
#include <QTimerEvent>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <limits>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace server::http {

namespace {

// How long a refused client may go on sending after its answer before the connection is cut.
// Closing at once while its bytes still arrive would make the kernel reset the connection, and
// a reset can throw away the answer before the client has read it.
constexpr int kLingerMs = 1000;
// A body is read into a buffer that grows as it arrives: a client announcing a large body
// reserves no more than this before sending it.
constexpr qsizetype kBodyReserve = 64 * 1024;
// How often the open connections are looked over for a time limit that has run out.
constexpr int kSweepMs = 100;
// How long accepting pauses after the kernel refused to hand over a new connection.
constexpr int kAcceptRetryMs = 100;
// Larger bodies go out as a second write rather than being copied behind the head.
constexpr qsizetype kCopyBodyBelow = 16 * 1024;
// Content-Length digits beyond this many cannot be under any sensible body limit.
constexpr int kMaxLengthDigits = 15;

constexpr QByteArrayView kTextPlain = "text/plain; charset=utf-8";

// The characters of a method or a header name.
struct TokenTable {
    bool ok[256] = {};
    constexpr TokenTable()
    {
        for (int c = '0'; c <= '9'; ++c)
            ok[c] = true;
        for (int c = 'a'; c <= 'z'; ++c)
            ok[c] = ok[c - 'a' + 'A'] = true;
        for (char c : "!#$%&'*+-.^_`|~")
            if (c)
                ok[uchar(c)] = true;
    }
};
constexpr TokenTable kToken;

bool isToken(QByteArrayView s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (!kToken.ok[uchar(c)])
            return false;
    return true;
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

// The '&'-separated parts that are not empty: how many fields a form decoder would produce.
qsizetype countFields(QByteArrayView v)
{
    qsizetype n = 0;
    const char* p = v.data();
    const char* const end = p + v.size();
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', size_t(end - p)));
        const char* stop = amp ? amp : end;
        n += stop > p;
        p = stop + 1;
    }
    return n;
}

// Content-Length: digits only (no sign, no spaces inside). A list of equal values ("5, 5", as
// some proxies forward a repeated header) is the one value; different values are not.
bool parseContentLength(QByteArrayView v, qint64* out)
{
    qint64 value = -1;
    while (true) {
        const qsizetype comma = v.indexOf(',');
        const QByteArrayView item = trimmed(comma < 0 ? v : v.first(comma));
        if (item.isEmpty())
            return false;
        qint64 n = 0;
        int digits = 0;
        for (char c : item) {
            if (c < '0' || c > '9')
                return false;
            if (n == 0 && c == '0')
                continue;
            if (++digits > kMaxLengthDigits)
                n = std::numeric_limits<qint64>::max() / 10;   // too large all the same
            else
                n = n * 10 + (c - '0');
        }
        if (value >= 0 && n != value)
            return false;
        value = n;
        if (comma < 0)
            break;
        v = v.sliced(comma + 1);
    }
    *out = value;
    return true;
}

bool isFormBody(const QHash<QByteArray, QByteArray>& headers)
{
    const auto it = headers.constFind(QByteArrayLiteral("content-type"));
    if (it == headers.constEnd())
        return true;
    QByteArrayView type = *it;
    const qsizetype semicolon = type.indexOf(';');
    if (semicolon >= 0)
        type = type.first(semicolon);
    return trimmed(type).compare("application/x-www-form-urlencoded", Qt::CaseInsensitive) == 0;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path as QUrl's FullyDecoded gives it: each valid %XX decoded, a '%' not followed by two
// hex digits kept as it is, the bytes read as UTF-8. (QByteArray::fromPercentEncoding would
// turn "%zz" into a byte of its own.)
QString decodePath(QByteArrayView raw)
{
    if (!raw.contains('%'))
        return QString::fromUtf8(raw);
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const int hi = raw[i] == '%' && i + 2 < raw.size() ? hexValue(raw[i + 1]) : -1;
        const int lo = hi >= 0 ? hexValue(raw[i + 2]) : -1;
        if (lo >= 0) {
            bytes.append(char(hi << 4 | lo));
            i += 2;
        } else {
            bytes.append(raw[i]);
        }
    }
    return QString::fromUtf8(bytes);
}

bool startsWithCaseless(QByteArrayView s, QByteArrayView prefix)
{
    return s.size() >= prefix.size() && s.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return QByteArrayLiteral("OK");
    case 204: return QByteArrayLiteral("No Content");
    case 206: return QByteArrayLiteral("Partial Content");
    case 301: return QByteArrayLiteral("Moved Permanently");
    case 302: return QByteArrayLiteral("Found");
    case 304: return QByteArrayLiteral("Not Modified");
    case 400: return QByteArrayLiteral("Bad Request");
    case 401: return QByteArrayLiteral("Unauthorized");
    case 403: return QByteArrayLiteral("Forbidden");
    case 404: return QByteArrayLiteral("Not Found");
    case 405: return QByteArrayLiteral("Method Not Allowed");
    case 408: return QByteArrayLiteral("Request Timeout");
    case 411: return QByteArrayLiteral("Length Required");
    case 413: return QByteArrayLiteral("Content Too Large");
    case 429: return QByteArrayLiteral("Too Many Requests");
    case 431: return QByteArrayLiteral("Request Header Fields Too Large");
    case 500: return QByteArrayLiteral("Internal Server Error");
    case 501: return QByteArrayLiteral("Not Implemented");
    case 502: return QByteArrayLiteral("Bad Gateway");
    case 503: return QByteArrayLiteral("Service Unavailable");
    case 504: return QByteArrayLiteral("Gateway Timeout");
    }
    return QByteArrayLiteral("Unknown");
}

// ---- the parser ----

RequestParser::RequestParser(const Limits& limits) : limits_(limits) {}

RequestParser::State RequestParser::refuse(int status, const char* why)
{
    status_ = status;
    refusal_ = why;
    head_ = QByteArray();
    request_ = Request();
    return state_ = State::Refused;
}

RequestParser::State RequestParser::feed(QByteArrayView data)
{
    if (state_ != State::NeedMore)
        return state_;
    if (inBody_)
        return takeBody(data);
    if (data.isEmpty())
        return state_;
    head_.append(data);
    return scanHead();
}

// Reads the complete lines of the head that have arrived, each byte looked at once however
// the head is split.
RequestParser::State RequestParser::scanHead()
{
    while (true) {
        const char* const base = head_.constData();
        const void* nl = std::memchr(base + scanned_, '\n', size_t(head_.size() - scanned_));
        if (!nl) {
            scanned_ = head_.size();
            if (head_.size() > limits_.maxHeadBytes)
                return refuse(431, "Request header fields too large");
            return State::NeedMore;
        }
        const qsizetype end = static_cast<const char*>(nl) - base;
        scanned_ = end + 1;
        if (scanned_ > limits_.maxHeadBytes)
            return refuse(431, "Request header fields too large");
        QByteArrayView line(base + lineStart_, end - lineStart_);
        if (line.endsWith('\r'))
            line.chop(1);
        lineStart_ = scanned_;
        if (!haveRequestLine_) {
            if (line.isEmpty())   // a stray line end before the request line is allowed
                continue;
            if (!readRequestLine(line))
                return refuse(400, "Bad request line");
            haveRequestLine_ = true;
        } else if (line.isEmpty()) {
            return headEnded(scanned_);
        } else if (readHeaderLine(line) != State::NeedMore) {
            return state_;
        }
    }
}

bool RequestParser::readRequestLine(QByteArrayView line)
{
    const qsizetype sp1 = line.indexOf(' ');
    if (sp1 <= 0)
        return false;
    const QByteArrayView method = line.first(sp1);
    const qsizetype sp2 = line.indexOf(' ', sp1 + 1);
    if (sp2 <= sp1 + 1)
        return false;
    const QByteArrayView target = line.sliced(sp1 + 1, sp2 - sp1 - 1);
    const QByteArrayView version = line.sliced(sp2 + 1);
    if (!isToken(method) || version.size() != 8 || !version.startsWith("HTTP/1.") || version[7] < '0' || version[7] > '9')
        return false;
    for (char c : target)
        if (uchar(c) <= 0x20 || c == 0x7f)
            return false;

    QByteArrayView rest = target;
    const qsizetype hash = rest.indexOf('#');
    if (hash >= 0)
        rest = rest.first(hash);
    if (rest.startsWith('/')) {
    } else if (startsWithCaseless(rest, "http://") || startsWithCaseless(rest, "https://")) {
        // The absolute form a proxy sends: the path starts after the host.
        rest = rest.sliced(rest.indexOf("//") + 2);
        qsizetype start = 0;
        while (start < rest.size() && rest[start] != '/' && rest[start] != '?')
            ++start;
        rest = rest.sliced(start);
    } else if (target == "*" && method == "OPTIONS") {
    } else {
        return false;
    }
    const qsizetype question = rest.indexOf('?');
    QByteArrayView rawPath = question < 0 ? rest : rest.first(question);
    request_.rawQuery = question < 0 ? QByteArray() : rest.sliced(question + 1).toByteArray();
    if (rawPath.isEmpty())
        rawPath = "/";
    request_.path = decodePath(rawPath);
    request_.method = method.toByteArray();
    request_.target = target.toByteArray();
    return true;
}

RequestParser::State RequestParser::readHeaderLine(QByteArrayView line)
{
    if (++headerLines_ > limits_.maxHeaders)
        return refuse(431, "Too many header fields");
    const qsizetype colon = line.indexOf(':');
    // A name must be a token right up to the colon: this also refuses a line folded onto the
    // one before (it starts with a space), which a proxy in front might read differently.
    if (colon <= 0 || !isToken(line.first(colon)))
        return refuse(400, "Bad header line");
    const QByteArrayView value = trimmed(line.sliced(colon + 1));
    for (char c : value)
        if ((uchar(c) < 0x20 && c != '\t') || c == 0x7f)
            return refuse(400, "Bad header line");
    QByteArray name = line.first(colon).toByteArray().toLower();
    // Only bodies with a Content-Length are read. A chunked body is answered 411 (length
    // required) rather than 501: it tells the client what to send instead, and our own
    // program always sends a length.
    if (name == "transfer-encoding")
        return refuse(411, "Send the body with a Content-Length");
    if (name == "content-length") {
        qint64 length = 0;
        if (!parseContentLength(value, &length) || (contentLength_ >= 0 && length != contentLength_))
            return refuse(400, "Bad Content-Length");
        contentLength_ = length;
    }
    const auto it = request_.headers.find(name);
    if (it == request_.headers.end()) {
        request_.headers.insert(std::move(name), value.toByteArray());
    } else {
        it->append(", ");
        it->append(value);
    }
    return State::NeedMore;
}

RequestParser::State RequestParser::headEnded(qsizetype bodyStart)
{
    if (contentLength_ < 0)
        contentLength_ = 0;
    if (contentLength_ > limits_.maxBodyBytes)
        return refuse(413, "Body too large");
    if (countFields(request_.rawQuery) > limits_.maxFields)
        return refuse(413, "Too many fields");
    inBody_ = true;
    const QByteArray head = std::exchange(head_, QByteArray());
    request_.body.reserve(qMin<qint64>(contentLength_, kBodyReserve));
    return takeBody(QByteArrayView(head).sliced(bodyStart));
}

RequestParser::State RequestParser::takeBody(QByteArrayView data)
{
    const qsizetype wanted = qsizetype(contentLength_) - request_.body.size();
    request_.body.append(data.first(qMin(wanted, data.size())));
    if (request_.body.size() < contentLength_)
        return State::NeedMore;
    if (isFormBody(request_.headers)
        && countFields(request_.rawQuery) + countFields(request_.body) > limits_.maxFields)
        return refuse(413, "Too many fields");
    return state_ = State::Complete;
}

// ---- connections ----

namespace detail {

// One client's connection: the socket itself with the request being read. It deletes itself
// once the client has gone or the connection was closed.
class Connection : public QTcpSocket {
public:
    Connection(Server* server, bool counted)
        : QTcpSocket(server), server_(server), parser_(server->limits_), counted_(counted)
    {
        QObject::connect(this, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        QObject::connect(this, &QTcpSocket::disconnected, this, [this] { onGone(); });
        QObject::connect(this, &QTcpSocket::bytesWritten, this, [this] { onBytesWritten(); });
        QObject::connect(this, &QTcpSocket::errorOccurred, this, [this] {
            // Qt may still be inside its own socket code here: look again once it is done.
            QMetaObject::invokeMethod(this, [this] {
                if (state() == UnconnectedState)
                    onGone();
            }, Qt::QueuedConnection);
        });
    }

    ~Connection() override { server_->unwatch(this); }

    void startReading()
    {
        server_->watch(this, server_->limits_.requestTimeoutMs);
        if (bytesAvailable() > 0)
            onReadyRead();
    }

    // Writes one whole response. A refusal lingers: the client may still be sending.
    void respond(int status, QByteArrayView contentType, const QByteArray& body, bool linger)
    {
        if (answered_ || state() != ConnectedState)
            return;
        answered_ = true;
        reading_ = false;
        server_->unwatch(this);
        QByteArray out;
        out.reserve(96 + contentType.size() + (body.size() < kCopyBodyBelow ? body.size() : 0));
        out.append("HTTP/1.1 ").append(QByteArray::number(status)).append(' ').append(reasonPhrase(status));
        if (!contentType.isEmpty())
            out.append("\r\nContent-Type: ").append(contentType);
        out.append("\r\nContent-Length: ").append(QByteArray::number(body.size()));
        out.append("\r\nConnection: close\r\n\r\n");
        if (headOnly_) {
            write(out);
        } else if (body.size() < kCopyBodyBelow) {
            out.append(body);
            write(out);
        } else {
            write(out);
            write(body);
        }
        if (linger) {
            lingering_ = true;
            server_->watch(this, kLingerMs);   // also if the client never reads
        } else {
            disconnectFromHost();
        }
    }

    void refuse(int status, const char* why)
    {
        respond(status, kTextPlain, QByteArray(why).append('\n'), true);
    }

    bool answered() const { return answered_; }

    // The time limit set with Server::watch() has run out.
    void expire()
    {
        if (reading_)
            refuse(408, "The request took too long to arrive");
        else
            abort();   // the linger is over
    }

private:
    void onReadyRead()
    {
        if (!reading_) {
            skip(bytesAvailable());   // past the request, or after a refusal: not read
            return;
        }
        // Exactly what has arrived: readAll() would size a buffer for far more than a request.
        switch (parser_.feed(read(bytesAvailable()))) {
        case RequestParser::State::NeedMore:
            return;
        case RequestParser::State::Refused:
            return refuse(parser_.status(), parser_.refusal());
        case RequestParser::State::Complete:
            break;
        }
        reading_ = false;
        server_->unwatch(this);   // an answer may take as long as it needs
        Request& request = parser_.request();
        request.peer = peerAddress();
        bool v4 = false;
        const quint32 ip4 = request.peer.toIPv4Address(&v4);
        if (v4 && request.peer.protocol() == IPv6Protocol)
            request.peer = QHostAddress(ip4);
        headOnly_ = request.method == "HEAD";
        const QPointer<Connection> self(this);
        server_->handler_(request, Responder(this));
        if (self)   // the answer may come much later: free the request now
            parser_ = RequestParser(server_->limits_);
    }

    void onBytesWritten()
    {
        if (!lingering_ || shutDown_ || bytesToWrite() > 0)
            return;
        // The answer is out: end our side so the client sees it complete, read and drop what
        // it still sends, and cut the connection if it does not close soon.
        shutDown_ = true;
        ::shutdown(int(socketDescriptor()), SHUT_WR);
        server_->watch(this, kLingerMs);
    }

    void onGone()
    {
        if (gone_)
            return;
        gone_ = true;
        server_->unwatch(this);
        if (counted_) {
            counted_ = false;
            server_->connectionClosed();
        }
        deleteLater();
    }

    friend class http::Server;
    Server* server_;
    RequestParser parser_;
    // The server's list of connections with a time limit, and when this one's runs out.
    Connection* previous_ = nullptr;
    Connection* next_ = nullptr;
    qint64 deadline_ = -1;   // -1: not in the list
    bool counted_;
    bool reading_ = true;
    bool answered_ = false;
    bool headOnly_ = false;   // a HEAD request: the answer's head, with the length its body would have
    bool lingering_ = false;
    bool shutDown_ = false;
    bool gone_ = false;
};

} // namespace detail

// ---- the responder ----

Responder::Responder(detail::Connection* connection) : socket_(connection) {}

void Responder::send(int status, const QByteArray& contentType, const QByteArray& body) const
{
    if (auto* connection = static_cast<detail::Connection*>(socket_.data()))
        connection->respond(status, contentType, body, false);
}

QTcpSocket* Responder::socket() const
{
    return socket_.data();
}

bool Responder::isOpen() const
{
    const auto* connection = static_cast<const detail::Connection*>(socket_.data());
    return connection && connection->state() == QAbstractSocket::ConnectedState && !connection->answered();
}

// ---- the server ----

class Server::Listener : public QTcpServer {
public:
    explicit Listener(Server* owner) : QTcpServer(owner), owner_(owner)
    {
        setListenBacklogSize(1024);
        // QTcpServer stops accepting for good after an error such as running out of file
        // descriptors; a server facing the network tries again once some may have closed.
        QObject::connect(this, &QTcpServer::acceptError, this, [this] {
            QTimer::singleShot(kAcceptRetryMs, this, [this] { resumeAccepting(); });
        });
    }

protected:
    // Each accepted socket becomes a Connection at once, without QTcpServer's queue.
    void incomingConnection(qintptr descriptor) override { owner_->accept(descriptor); }

private:
    Server* owner_;
};

Server::Server(Handler handler, Limits limits, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), limits_(limits), listener_(new Listener(this))
{
    clock_.start();
}

Server::~Server()
{
    // Connections still open are closed here; they must not report back to a server that is
    // half destroyed.
    delete listener_;
    const QObjectList connections = children();
    for (QObject* connection : connections)
        connection->disconnect();
    qDeleteAll(connections);
}

bool Server::listen(const QHostAddress& address, quint16 port, bool reusePort, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!reusePort) {
        if (!listener_->listen(address, port))
            return fail(listener_->errorString());
        return true;
    }
    // QTcpServer cannot set SO_REUSEPORT, so the socket is made here and handed over.
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
    const bool any = address == QHostAddress::Any;
    if (any || address.protocol() == QAbstractSocket::IPv6Protocol) {
        family = AF_INET6;
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        if (any) {
            in6->sin6_addr = in6addr_any;
        } else {
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
            if (!address.scopeId().isEmpty())
                in6->sin6_scope_id = if_nametoindex(address.scopeId().toLatin1().constData());
        }
        length = sizeof(sockaddr_in6);
    } else if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
    } else {
        return fail(QStringLiteral("cannot listen on %1").arg(address.toString()));
    }
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const int on = 1;
    const int off = 0;
    const bool ok = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
        && ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) == 0
        && (!any || ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0)
        && ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0
        && ::listen(fd, 1024) == 0;
    if (!ok) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return fail(why);
    }
    if (!listener_->setSocketDescriptor(fd)) {
        ::close(fd);
        return fail(listener_->errorString());
    }
    return true;
}

bool Server::useDescriptor(int fd, QString* error)
{
    if (listener_->setSocketDescriptor(fd))
        return true;
    if (error)
        *error = listener_->errorString();
    return false;
}

quint16 Server::port() const
{
    return listener_->serverPort();
}

QHostAddress Server::address() const
{
    return listener_->serverAddress();
}

void Server::pauseAccepting()
{
    listener_->pauseAccepting();
}

void Server::accept(qintptr descriptor)
{
    const bool overCap = open_ >= limits_.maxConnections;
    auto* connection = new detail::Connection(this, !overCap);
    if (!connection->setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        delete connection;
        return;
    }
    if (overCap)
        return connection->refuse(503, "Too many connections, try again later");
    ++open_;
    Q_EMIT connectionsChanged();
    connection->startReading();
}

// One timer looks over every connection with a time limit, instead of a timer for each: a timer
// of its own would be registered and unregistered by every request.
void Server::watch(detail::Connection* connection, int ms)
{
    connection->deadline_ = clock_.elapsed() + ms;
    if (connection == watchedLast_)
        return;
    unlink(connection);
    connection->previous_ = watchedLast_;
    (watchedLast_ ? watchedLast_->next_ : watchedFirst_) = connection;
    watchedLast_ = connection;
    if (!sweep_.isActive())
        sweep_.start(kSweepMs, Qt::CoarseTimer, this);
}

void Server::unwatch(detail::Connection* connection)
{
    connection->deadline_ = -1;
    unlink(connection);
    if (!watchedFirst_)
        sweep_.stop();
}

void Server::unlink(detail::Connection* connection)
{
    if (connection != watchedFirst_ && !connection->previous_)
        return;   // not in the list
    (connection->previous_ ? connection->previous_->next_ : watchedFirst_) = connection->next_;
    (connection->next_ ? connection->next_->previous_ : watchedLast_) = connection->previous_;
    connection->previous_ = connection->next_ = nullptr;
}

void Server::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != sweep_.timerId())
        return QObject::timerEvent(event);
    const qint64 now = clock_.elapsed();
    // A connection whose time is up leaves the list before it is told; a refusal puts it back at
    // the end with its linger, where this pass meets it again with a limit still to come.
    for (detail::Connection* connection = watchedFirst_; connection;) {
        detail::Connection* next = connection->next_;
        if (connection->deadline_ <= now) {
            unwatch(connection);
            connection->expire();
        }
        connection = next;
    }
}

void Server::connectionClosed()
{
    --open_;
    Q_EMIT connectionsChanged();
}

} // namespace server::http

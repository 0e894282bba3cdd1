#include "faults.h"

#include "net/codecs.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace sandbox {

namespace {

constexpr qint64 kDefaultBigMiB = 12;   // over the application's 8 MiB body cap
constexpr qint64 kMaxBigMiB = 256;
constexpr qsizetype kGarbageBytes = 256 * 1024;
constexpr int kDripIntervalMs = 1000;

struct ModeName {
    FaultMode mode;
    const char* name;
    const char* help;
};

const ModeName kModes[] = {
    {FaultMode::Refuse, "refuse", "close the connection at once, without a reply"},
    {FaultMode::Silent, "silent", "accept the request and never answer"},
    {FaultMode::Drip, "drip", "the real reply, its body one byte a second"},
    {FaultMode::Cut, "cut", "cut or cut:N: the real reply declaring its full length, the connection\n"
                            "closed after half the body (or N bytes of it)"},
    {FaultMode::Error500, "500", "answer \"500 Internal Server Error\""},
    {FaultMode::Big, "big", "big or big:N: 12 (or N) MiB of page filler without a declared length"},
    {FaultMode::Garbage, "garbage", "256 KiB of random bytes labelled as a web page"},
    {FaultMode::WrongEncoding, "encoding", "the real reply in the wrong encoding: GBK pages sent as UTF-8,\n"
                                           "UTF-8 ones as GBK, the declared charset unchanged"},
    {FaultMode::RedirectLoop, "redirect-loop", "redirect to the same address, for ever"},
    {FaultMode::RedirectFile, "redirect-file", "redirect to file:///etc/passwd"},
};

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// Status line and headers; `length` < 0 leaves the length undeclared (the body ends at the close).
QByteArray head(int status, const QByteArray& contentType, qint64 length, const QByteArray& extra = {})
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    if (length >= 0)
        out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    return out + extra + "Connection: close\r\n\r\n";
}

void sendAndClose(QTcpSocket* socket, const QByteArray& bytes)
{
    socket->write(bytes);
    socket->disconnectFromHost();   // what is buffered is written first
}

// Rows of a quote table, GBK, repeated to the size asked for.
QByteArray filler(qint64 mib)
{
    const QByteArray row = net::toGbk(QStringLiteral(
        "<tr><td>600000</td><td>浦发银行</td><td>10.25</td><td>+0.35%</td><td>1285634</td>"
        "<td>大单买入 明日关注 成交活跃</td></tr>\r\n"));
    const qint64 bytes = mib * 1024 * 1024;
    QByteArray out;
    out.reserve(bytes);
    out += "<html><head><title>data</title></head><body><table>\r\n";
    while (out.size() + row.size() <= bytes)
        out += row;
    return out;
}

QByteArray garbage()
{
    QByteArray out(kGarbageBytes, Qt::Uninitialized);
    quint64 x = 0x9E3779B97F4A7C15ull;   // the same bytes every time
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = char(x >> 24);
    }
    return out;
}

QByteArray recoded(const QByteArray& body, const QByteArray& contentType)
{
    const QByteArray type = contentType.toLower();
    if (type.contains("utf-8") || type.contains("utf8"))
        return net::toGbk(net::fromUtf8(body));
    return net::fromGbk(body).toUtf8();
}

// Writes the body one byte per interval until it is all out or the client went away.
void drip(QTcpSocket* socket, const QByteArray& body)
{
    auto* timer = new QTimer(socket);
    auto next = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body, next] {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            timer->stop();
            return;
        }
        if (*next >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(body.mid(*next, 1));
        ++*next;
    });
    timer->start(kDripIntervalMs);
}

} // namespace

std::optional<Fault> parseFault(const QString& text)
{
    const QString t = text.trimmed().toLower();
    const QString name = t.section(QLatin1Char(':'), 0, 0);
    const bool hasAmount = t.contains(QLatin1Char(':'));
    for (const ModeName& m : kModes) {
        if (name != QLatin1String(m.name))
            continue;
        Fault f{m.mode, 0};
        if (m.mode == FaultMode::Cut)
            f.amount = -1;   // half the body
        if (m.mode == FaultMode::Big)
            f.amount = kDefaultBigMiB;
        if (!hasAmount)
            return f;
        if (m.mode != FaultMode::Cut && m.mode != FaultMode::Big)
            return std::nullopt;
        bool ok = false;
        const qint64 n = t.section(QLatin1Char(':'), 1).toLongLong(&ok);
        if (!ok || n < 0 || (m.mode == FaultMode::Big && (n < 1 || n > kMaxBigMiB)))
            return std::nullopt;
        f.amount = n;
        return f;
    }
    return std::nullopt;
}

QString faultName(const Fault& fault)
{
    for (const ModeName& m : kModes) {
        if (m.mode != fault.mode)
            continue;
        QString name = QLatin1String(m.name);
        if ((fault.mode == FaultMode::Cut && fault.amount >= 0) || fault.mode == FaultMode::Big)
            name += QLatin1Char(':') + QString::number(fault.amount);
        return name;
    }
    return {};
}

QString faultHelp()
{
    QString out;
    for (const ModeName& m : kModes)
        out += QStringLiteral("  %1  %2\n")
                   .arg(QLatin1String(m.name), -13)
                   .arg(QString::fromLatin1(m.help).replace(QLatin1Char('\n'), QLatin1String("\n                 ")));
    return out;
}

bool answersAlone(const Fault& fault)
{
    return fault.mode != FaultMode::Drip && fault.mode != FaultMode::Cut && fault.mode != FaultMode::WrongEncoding;
}

void serveFault(const Fault& fault, QTcpSocket* socket, const QByteArray& pathAndQuery)
{
    switch (fault.mode) {
    case FaultMode::Refuse:
        socket->abort();
        return;
    case FaultMode::Silent:
        return;   // the connection stays open and nothing is ever written
    case FaultMode::Error500: {
        const QByteArray page = "<html><body><h1>500 Internal Server Error</h1></body></html>";
        return sendAndClose(socket, head(500, "text/html; charset=utf-8", page.size()) + page);
    }
    case FaultMode::Big:
        return sendAndClose(socket, head(200, "text/html; charset=gbk", -1) + filler(fault.amount));
    case FaultMode::Garbage: {
        const QByteArray bytes = garbage();
        return sendAndClose(socket, head(200, "text/html; charset=gbk", bytes.size()) + bytes);
    }
    case FaultMode::RedirectLoop:
        return sendAndClose(socket, head(302, {}, 0, "Location: " + pathAndQuery + "\r\n"));
    case FaultMode::RedirectFile:
        return sendAndClose(socket, head(302, {}, 0, "Location: file:///etc/passwd\r\n"));
    case FaultMode::Drip:
    case FaultMode::Cut:
    case FaultMode::WrongEncoding:
        break;
    }
}

void sendReshaped(const Fault& fault, QTcpSocket* socket, const QByteArray& body, const QByteArray& contentType,
                  int status)
{
    switch (fault.mode) {
    case FaultMode::Drip:
        socket->write(head(status, contentType, body.size()));
        return drip(socket, body);
    case FaultMode::Cut: {
        const qsizetype keep = fault.amount < 0 ? body.size() / 2 : qMin<qsizetype>(fault.amount, body.size());
        return sendAndClose(socket, head(status, contentType, body.size()) + body.left(keep));
    }
    case FaultMode::WrongEncoding: {
        const QByteArray other = recoded(body, contentType);
        return sendAndClose(socket, head(status, contentType, other.size()) + other);
    }
    default:
        return sendAndClose(socket, head(status, contentType, body.size()) + body);
    }
}

} // namespace sandbox

// The companion server's HTTP layer over real loopback sockets: what a handler is given, late
// answers, and every refusal a client can provoke; and its parser fed in pieces.
#include "http.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

using namespace server::http;

namespace {

// A raw client: connects, writes what it is given, and collects every byte until the server
// closes the connection.
struct Client {
    explicit Client(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool waitClosed(int ms = 5000) { return QTest::qWaitFor([this] { return closed; }, ms); }
    int status() const { return got.startsWith("HTTP/1.1 ") ? got.mid(9, 3).toInt() : 0; }
    QByteArray body() const { return got.mid(got.indexOf("\r\n\r\n") + 4); }

    QTcpSocket socket;
    QByteArray got;
    bool closed = false;
};

// Sends a whole request and returns the complete answer once the server has closed.
QByteArray exchange(quint16 port, const QByteArray& request)
{
    Client c(port);
    c.socket.write(request);
    if (!c.waitClosed())
        return "no close: " + c.got;
    return c.got;
}

int statusOf(const QByteArray& response)
{
    return response.startsWith("HTTP/1.1 ") ? response.mid(9, 3).toInt() : 0;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void handlerSeesTheRequestAsSent()
    {
        std::optional<Request> seen;
        int calls = 0;
        Server server([&](const Request& r, Responder out) {
            seen = r;
            ++calls;
            out.send(200, "text/plain", "hello " + r.method);
            out.send(500, "text/plain", "second answer");   // ignored
        });
        // On every address, so an IPv4 client arrives as an IPv4-mapped IPv6 peer.
        QVERIFY(server.listen(QHostAddress::Any, 0));

        const QByteArray get = exchange(server.port(), "GET /a%20b/%E4%B8%AD?x=%20y&z HTTP/1.1\r\nHost: h\r\n"
                                                       "X-Twice: 1\r\nx-twice: 2\r\n\r\n");
        QCOMPARE(get, QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
                                 "Connection: close\r\n\r\nhello GET"));
        QCOMPARE(seen->target, QByteArray("/a%20b/%E4%B8%AD?x=%20y&z"));
        QCOMPARE(seen->path, QStringLiteral("/a b/中"));
        QCOMPARE(seen->rawQuery, QByteArray("x=%20y&z"));
        QCOMPARE(seen->header("x-twice"), QByteArray("1, 2"));
        QCOMPARE(seen->peer.toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(seen->body.isEmpty());

        // Bytes beyond the declared body are not part of it, and no second request is read.
        const QByteArray post = exchange(server.port(), "POST /form HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                                        "Content-Length: 7\r\n\r\na=1&b=2GET / HTTP/1.1\r\n\r\n");
        QCOMPARE(statusOf(post), 200);
        QCOMPARE(seen->method, QByteArray("POST"));
        QCOMPARE(seen->body, QByteArray("a=1&b=2"));
        QCOMPARE(seen->header("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(calls, 2);
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void lateAnswersAndClientsThatLeave()
    {
        Limits limits;
        limits.requestTimeoutMs = 300;   // must not cut an answer that comes later
        std::optional<Responder> held;
        Server server([&](const Request& r, Responder out) {
            if (r.path == QLatin1String("/late"))
                QTimer::singleShot(700, [out] { out.send(200, "text/plain", "late"); });
            else
                held = out;
        }, limits);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QSignalSpy changes(&server, &Server::connectionsChanged);

        Client late(server.port());
        late.socket.write("GET /late HTTP/1.1\r\n\r\n");
        QVERIFY(late.waitClosed());
        QCOMPARE(late.status(), 200);
        QCOMPARE(late.body(), QByteArray("late"));

        Client leaving(server.port());
        leaving.socket.write("GET /held HTTP/1.1\r\n\r\n");
        QTRY_VERIFY(held.has_value());
        QVERIFY(held->isOpen());
        QCOMPARE(server.openConnections(), 1);
        leaving.socket.abort();
        QTRY_COMPARE(server.openConnections(), 0);
        QTRY_VERIFY(held->socket() == nullptr);   // the connection is gone, not kept
        QVERIFY(!held->isOpen());
        held->send(200, "text/plain", "nobody listens");   // does nothing
        QVERIFY(changes.count() >= 4);   // two opened, two closed
    }

    void refusalsAnswerAtOnceWithoutTheHandler_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        const QByteArray big = "POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(2 * 1024 * 1024) + "\r\n\r\n";
        QTest::newRow("2 MiB body, before any of it") << big << 413;
        QTest::newRow("bad request line") << QByteArray("GET /\r\n\r\n") << 400;
        QTest::newRow("HTTP/2 preface") << QByteArray("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n") << 400;
        QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nHost h\r\n\r\n") << 400;
        QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n") << 400;
        QTest::newRow("huge header") << "GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n" << 431;
        QByteArray many = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < 101; ++i)
            many += "H" + QByteArray::number(i) + ": v\r\n";
        QTest::newRow("101 headers") << many + "\r\n" << 431;
        QTest::newRow("chunked") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n") << 411;
        QTest::newRow("negative length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << 400;
        QTest::newRow("two lengths") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd") << 400;
        QByteArray form;
        for (int i = 0; i < 20000; ++i)
            form += (i ? "&f" : "f") + QByteArray::number(i) + "=1";
        QTest::newRow("20000-field form")
            << "POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(form.size()) + "\r\n\r\n" + form << 413;
    }
    void refusalsAnswerAtOnceWithoutTheHandler()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        int calls = 0;
        Server server([&](const Request&, Responder out) { ++calls, out.send(200, "text/plain", "ok"); });
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        const QByteArray response = exchange(server.port(), request);
        QCOMPARE(statusOf(response), status);
        QVERIFY(response.contains("\r\nConnection: close\r\n"));
        QVERIFY(response.contains("\r\nContent-Type: text/plain"));
        QCOMPARE(calls, 0);
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void slowClientsAreCutAndTheCapHolds()
    {
        Limits limits;
        limits.requestTimeoutMs = 300;
        limits.maxConnections = 2;
        int calls = 0;
        Server server([&](const Request&, Responder out) { ++calls, out.send(200, "text/plain", "ok"); }, limits);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));

        // Half a head, then nothing: 408 once the time is up, even while it trickles bytes.
        Client slow(server.port());
        slow.socket.write("GET / HTTP/1.1\r\nHost: h\r\n");
        Client idle(server.port());
        QTRY_COMPARE(server.openConnections(), 2);
        QTimer trickle;
        QObject::connect(&trickle, &QTimer::timeout, [&] {
            if (!slow.closed)
                slow.socket.write("X: 1\r\n");
        });
        trickle.start(50);

        Client third(server.port());
        third.socket.write("GET / HTTP/1.1\r\n\r\n");
        QVERIFY(third.waitClosed(2000));
        QCOMPARE(third.status(), 503);

        QElapsedTimer clock;
        clock.start();
        QVERIFY(slow.waitClosed(3000));
        QCOMPARE(slow.status(), 408);
        QVERIFY(idle.waitClosed(3000));
        QCOMPARE(idle.status(), 408);
        QVERIFY2(clock.elapsed() < 1500, "the 408 came long after the time limit");
        QCOMPARE(calls, 0);
        QTRY_COMPARE(server.openConnections(), 0);

        // Below the cap again: served.
        QCOMPARE(statusOf(exchange(server.port(), "GET / HTTP/1.1\r\n\r\n")), 200);
    }

    // One timer keeps every connection's time limit: connections that finish in any order leave
    // it without disturbing the limits of the others.
    void timeLimitsHoldWhateverOrderConnectionsFinishIn()
    {
        Limits limits;
        limits.requestTimeoutMs = 400;
        Server server([&](const Request&, Responder out) { out.send(200, "text/plain", "ok"); }, limits);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 5; ++i)
            idle.push_back(std::make_unique<Client>(server.port()));
        QTRY_COMPARE(server.openConnections(), 5);
        // The middle one, the last one and the first one answer, then the rest time out.
        for (int i : {2, 4, 0}) {
            idle[i]->socket.write("GET / HTTP/1.1\r\n\r\n");
            QVERIFY(idle[i]->waitClosed(2000));
            QCOMPARE(idle[i]->status(), 200);
        }
        for (int i : {1, 3}) {
            QVERIFY(idle[i]->waitClosed(3000));
            QCOMPARE(idle[i]->status(), 408);
        }
        QTRY_COMPARE(server.openConnections(), 0);
        // A new connection after the list ran empty has its limit again.
        Client late(server.port());
        QVERIFY(late.waitClosed(3000));
        QCOMPARE(late.status(), 408);
        QCOMPARE(statusOf(exchange(server.port(), "GET / HTTP/1.1\r\n\r\n")), 200);
    }

    void serversShareAPortWithReusePort()
    {
        auto answerWith = [](QByteArray name) {
            return [name](const Request&, Responder out) { out.send(200, "text/plain", name); };
        };
        Server a(answerWith("a"));
        QString error;
        QVERIFY2(a.listen(QHostAddress::LocalHost, 0, true, &error), qPrintable(error));
        Server b(answerWith("b"));
        QVERIFY2(b.listen(QHostAddress::LocalHost, a.port(), true, &error), qPrintable(error));
        Server plain(answerWith("c"));
        QVERIFY(!plain.listen(QHostAddress::LocalHost, a.port(), false, &error));
        QVERIFY(!error.isEmpty());

        // A socket already listening, as systemd hands it over.
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) == 0 && ::listen(fd, 16) == 0);
        Server handed(answerWith("handed"));
        QVERIFY2(handed.useDescriptor(fd, &error), qPrintable(error));
        QVERIFY(handed.port() != 0);
        QVERIFY(exchange(handed.port(), "GET / HTTP/1.1\r\n\r\n").endsWith("\r\n\r\nhanded"));

        int byA = 0, byB = 0;
        for (int i = 0; i < 40; ++i) {
            Client c(a.port());
            c.socket.write("GET / HTTP/1.1\r\n\r\n");
            QVERIFY(c.waitClosed());
            QCOMPARE(c.status(), 200);
            (c.body() == "a" ? byA : byB)++;
        }
        QVERIFY2(byA > 0 && byB > 0, qPrintable(QStringLiteral("a %1, b %2").arg(byA).arg(byB)));
    }

    // The parser without sockets: the same request however it is split, and the limits at
    // their exact edges.
    void bytesOneAtATimeGiveTheSameRequest()
    {
        const QByteArray raw = "\r\nPOST http://example.com/p%2Fq?k=%E4 HTTP/1.0\nContent-Length: 5\r\n"
                               "Accept:  a \r\naccept: b\n\nbodyXtrailing";
        RequestParser whole;
        QCOMPARE(whole.feed(raw), RequestParser::State::Complete);
        RequestParser split;
        for (qsizetype i = 0; i < raw.size() - 1; ++i)
            QCOMPARE(split.feed(raw.sliced(i, 1)), i < raw.indexOf("bodyX") + 4 ? RequestParser::State::NeedMore
                                                                                  : RequestParser::State::Complete);
        for (const RequestParser* p : {&whole, &split}) {
            const Request& r = p->request();
            QCOMPARE(r.method, QByteArray("POST"));
            QCOMPARE(r.path, QStringLiteral("/p/q"));
            QCOMPARE(r.rawQuery, QByteArray("k=%E4"));
            QCOMPARE(r.header("accept"), QByteArray("a, b"));
            QCOMPARE(r.body, QByteArray("bodyX"));
        }
    }

    void pathsDecodeAsQUrlDoes()
    {
        for (const char* target : {"/%zz/%2", "/%2F%2f", "//double//slash", "/%E4%B8", "/a+b;c=d", "/~%7E"}) {
            RequestParser p;
            QCOMPARE(p.feed(QByteArray("GET ") + target + " HTTP/1.1\r\n\r\n"), RequestParser::State::Complete);
            QCOMPARE(p.request().path, QUrl::fromEncoded(QByteArray("http://h") + target).path(QUrl::FullyDecoded));
        }
    }

    void limitsHoldAtTheirEdges()
    {
        Limits limits;
        auto stateOf = [&](const QByteArray& data) {
            RequestParser p(limits);
            const RequestParser::State s = p.feed(data);
            return s == RequestParser::State::Refused ? p.status() : int(s);
        };
        const int needMore = int(RequestParser::State::NeedMore);
        const int complete = int(RequestParser::State::Complete);
        const QByteArray line = "GET / HTTP/1.1\r\n";
        // The head limit counts every byte up to and including the empty line.
        const QByteArray filler = "X: " + QByteArray(limits.maxHeadBytes - line.size() - 7, 'a') + "\r\n";
        QCOMPARE(stateOf(line + filler + "\r\n"), complete);
        QCOMPARE(stateOf(line + "X: a" + filler + "\r\n"), 431);
        QCOMPARE(stateOf(line + QByteArray(limits.maxHeadBytes, 'a')), 431);   // no line end at all

        QCOMPARE(stateOf("POST / HTTP/1.1\r\nContent-Length: 2097151\r\n\r\n"), needMore);
        QCOMPARE(stateOf("POST / HTTP/1.1\r\nContent-Length: 2097152\r\n\r\n"), 413);
        QCOMPARE(stateOf("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n"), 413);
        QCOMPARE(stateOf("POST / HTTP/1.1\r\nContent-Length: 007\r\nContent-Length: 7, 7\r\n\r\n1234567"), complete);
        for (const char* bad : {"+5", "5 5", "0x5", "", "5,", "5, 6"})
            QCOMPARE(stateOf(QByteArray("POST / HTTP/1.1\r\nContent-Length: ") + bad + "\r\n\r\n"), 400);

        // Fields: the query's and a form body's together; not the fields of a JSON body.
        limits.maxFields = 3;
        QCOMPARE(stateOf("POST /?a&&b HTTP/1.1\r\nContent-Length: 3\r\n\r\nc=1"), complete);
        QCOMPARE(stateOf("POST /?a&b HTTP/1.1\r\nContent-Length: 5\r\n\r\nc&d=1"), 413);
        QCOMPARE(stateOf("GET /?a&b&c&d HTTP/1.1\r\n\r\n"), 413);
        QCOMPARE(stateOf("POST / HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 7\r\n\r\na&b&c&d"), complete);
        QCOMPARE(stateOf("POST / HTTP/1.1\r\nContent-Type: Application/X-WWW-Form-Urlencoded; charset=utf-8\r\n"
                         "Content-Length: 7\r\n\r\na&b&c&d"), 413);

        limits.maxHeaders = 2;
        QCOMPARE(stateOf(line + "A: 1\r\nB: 2\r\n\r\n"), complete);
        QCOMPARE(stateOf(line + "A: 1\r\nB: 2\r\nC: 3\r\n\r\n"), 431);
        QCOMPARE(stateOf("GET / HTTP/1.1\r\nA: x\x01y\r\n\r\n"), 400);
        QCOMPARE(stateOf("GET /a b HTTP/1.1\r\n\r\n"), 400);
        QCOMPARE(stateOf("GET a HTTP/1.1\r\n\r\n"), 400);
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "test_http.moc"

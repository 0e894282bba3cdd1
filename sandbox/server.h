// The HTTP side of the sandbox: every request goes to one handler, which answers it with reply()
// or, for a path made silent, not at all.
#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <functional>

class QHttpServerRequest;
class QTcpSocket;

namespace sandbox {

class Server : public QAbstractHttpServer {
    Q_OBJECT
public:
    using Handler = std::function<void(const QHttpServerRequest&, QTcpSocket*)>;

    explicit Server(Handler handler, QObject* parent = nullptr);

    // Sends one complete response and closes the connection once it has been written.
    static void reply(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& body,
                      const QByteArray& contentType, int status = 200);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler handler_;
};

} // namespace sandbox

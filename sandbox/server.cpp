#include "server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>

namespace sandbox {

Server::Server(Handler handler, QObject* parent) : QAbstractHttpServer(parent), handler_(std::move(handler)) {}

void Server::reply(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& body,
                   const QByteArray& contentType, int status)
{
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.write(body, {{"Content-Type", contentType}, {"Connection", "close"}},
                        static_cast<QHttpServerResponder::StatusCode>(status));
    }
    // Pending bytes are flushed before the socket actually closes.
    socket->disconnectFromHost();
}

bool Server::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    handler_(request, socket);
    return true;
}

void Server::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    reply(request, socket, "Not Found\n", "text/plain; charset=utf-8", 404);
}

} // namespace sandbox

// An ntfy server on loopback whose answers a test lines up: each publish takes the next status
// (200 when none is lined up) and is kept, body and all.
#pragma once

#include "server.h"

#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

struct NtfyStandIn {
    NtfyStandIn()
        : server([this](const QHttpServerRequest& r, QTcpSocket* s) {
              messages << QJsonDocument::fromJson(r.body()).object();
              paths << r.url().path();
              const int status = statuses.isEmpty() ? 200 : statuses.takeFirst();
              const QByteArray body = status == 200 ? R"({"id":"m1","event":"message"})"
                                      : status == 403 ? R"({"code":40301,"http":403,"error":"forbidden"})"
                                                      : R"({"code":50001,"http":500,"error":"internal"})";
              sandbox::Server::reply(r, s, body, "application/json", status);
          })
    {
        tcp = new QTcpServer(&server);
        tcp->listen(QHostAddress::LocalHost);
        server.bind(tcp);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(tcp->serverPort()); }
    // The messages published to `topic`.
    QStringList texts(const QString& topic) const
    {
        QStringList out;
        for (const QJsonObject& m : messages)
            if (m.value(QStringLiteral("topic")).toString() == topic)
                out << m.value(QStringLiteral("message")).toString();
        return out;
    }
    QList<QJsonObject> messages;
    QStringList paths;
    QList<int> statuses;
    sandbox::Server server;
    QTcpServer* tcp = nullptr;
};

// An ntfy server on loopback whose answers a test lines up: each publish takes the next status
// (200 when none is lined up) and is kept, body and all.
#pragma once

#include "http.h"

#include <QJsonDocument>
#include <QJsonObject>

struct NtfyStandIn {
    NtfyStandIn()
        : server([this](const server::http::Request& r, server::http::Responder s) {
              messages << QJsonDocument::fromJson(r.body).object();
              paths << r.path;
              const int status = statuses.isEmpty() ? 200 : statuses.takeFirst();
              const QByteArray body = status == 200 ? R"({"id":"m1","event":"message"})"
                                      : status == 403 ? R"({"code":40301,"http":403,"error":"forbidden"})"
                                                      : R"({"code":50001,"http":500,"error":"internal"})";
              s.send(status, "application/json", body);
          })
    {
        server.listen(QHostAddress::LocalHost, 0);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.port()); }
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
    server::http::Server server;
};

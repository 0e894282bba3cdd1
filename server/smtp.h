// The e-mail channel: one message to one address through the operator's SMTP server, always over
// TLS (from the first byte, or after STARTTLS): credentials never go out in the clear.
#pragma once

#include "channels.h"

#include <QObject>
#include <functional>

class QSslSocket;

namespace server::notify {

struct SmtpSettings {
    QString host;
    quint16 port = 465;
    bool implicitTls = true;    // TLS from the first byte (port 465); false: STARTTLS (port 587)
    QString user;               // empty: the server takes mail without logging in
    QString password;
    QString from;               // the sender's address
    QString caFile;             // an extra trusted certificate (a self-hosted server's), PEM
};

// An address an alert may go to: a plain local@domain, nothing that could end a command early.
bool isMailAddress(const QString& address);
// The message as it is handed over after DATA: headers and a Base64 UTF-8 body, CR LF lines.
QByteArray composeMail(const QString& from, const QString& to, const Message& message, const QDateTime& now);

class SmtpSender : public QObject {
    Q_OBJECT
public:
    explicit SmtpSender(QObject* parent = nullptr);

    // How long the whole conversation may take before it counts as no reply (default 30 s).
    void setTimeout(int ms) { timeoutMs_ = ms; }

    // Sends `message` to `to` and calls `done` once: Sent on the final 250, Retry on a 4xx reply or
    // a connection that fails, Permanent on a 5xx reply or a server that offers no TLS.
    void send(const SmtpSettings& settings, const QString& to, const Message& message, std::function<void(Outcome)> done);

private:
    int timeoutMs_ = 30000;
};

} // namespace server::notify

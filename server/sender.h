// Sends one push request and tells what came of it: the network side of the channels.
#pragma once

#include "channels.h"

#include <QObject>
#include <functional>

class QNetworkAccessManager;

namespace server::notify {

class Sender : public QObject {
    Q_OBJECT
public:
    explicit Sender(QObject* parent = nullptr);

    // How long one request may take before it counts as no reply (default 10 s).
    void setTimeout(int ms) { timeoutMs_ = ms; }

    // Sends `request` and calls `done` once with what the reply of `channel` means.
    void send(Channel channel, const Request& request, std::function<void(Outcome)> done);

private:
    QNetworkAccessManager* network_;
    int timeoutMs_ = 10000;
};

} // namespace server::notify

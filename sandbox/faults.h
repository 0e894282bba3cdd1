// Faults the sandbox can put on any path, so that every fetcher of the application can be seen
// meeting a broken site: a refused or hung connection, a slow or cut body, an error status, a huge
// or meaningless body, the wrong text encoding, and redirects that loop or leave the web.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class QTcpSocket;

namespace sandbox {

enum class FaultMode {
    Refuse,         // close the connection at once, without a reply
    Silent,         // accept the request and never answer
    Drip,           // the real reply, its body one byte a second
    Cut,            // the real reply declaring its full length, closed after `amount` body bytes
    Error500,       // "500 Internal Server Error" with a small error page
    Big,            // `amount` MiB of plausible page filler, without a declared length
    Garbage,        // random bytes labelled as a web page
    WrongEncoding,  // the real reply re-encoded: GBK pages sent as UTF-8 and UTF-8 ones as GBK
    RedirectLoop,   // a redirect to the same address, for ever
    RedirectFile,   // a redirect to a file: address on the client's own disk
};

struct Fault {
    FaultMode mode = FaultMode::Error500;
    qint64 amount = 0;   // Cut: body bytes sent; Big: MiB sent

    bool operator==(const Fault&) const = default;
};

// "refuse", "silent", "drip", "cut:N", "500", "big" or "big:N", "garbage", "encoding",
// "redirect-loop", "redirect-file"; nothing for anything else.
std::optional<Fault> parseFault(const QString& text);
// The name parseFault reads back ("cut:100").
QString faultName(const Fault& fault);
// One line per mode, for --help.
QString faultHelp();

// True for the modes that replace the site's answer; false for those that reshape it (drip, cut,
// wrong encoding), which go through sendReshaped with the site's own body.
bool answersAlone(const Fault& fault);
// Answers a request for `pathAndQuery` (as the client sent it) in one of the modes that replace
// the site's answer.
void serveFault(const Fault& fault, QTcpSocket* socket, const QByteArray& pathAndQuery);
// Sends the site's own reply, reshaped by `fault`.
void sendReshaped(const Fault& fault, QTcpSocket* socket, const QByteArray& body, const QByteArray& contentType,
                  int status);

} // namespace sandbox

// Helpers for what the companion server reads out of a request: form bodies and query strings in the
// encodings the application sends, the request log line, and the count of clients online.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

namespace server {

// One request as the server received it.
struct LoggedRequest {
    QDateTime time;                          // real time of arrival
    QByteArray method;                       // "GET", "POST"
    QString path;                            // "/gplogin.asp"
    QString query;                           // decoded query string without '?', may be empty
    QList<QPair<QString, QString>> form;     // POST fields in the order sent, values decoded from GBK
    QHash<QByteArray, QByteArray> headers;   // lower-case names
};

// application/x-www-form-urlencoded: fields split on '&', '+' is a space, percent escapes give
// bytes that are read as GBK. Empty fields are dropped; a field without '=' has an empty value.
QList<QPair<QString, QString>> decodeGbkForm(const QByteArray& body);

// Percent-decodes `encoded` and reads the bytes as UTF-8 when they are valid UTF-8, else as GBK.
QString decodeQueryText(const QByteArray& encoded);

// The first value of `key` in a raw query string, decoded like decodeQueryText; '+' is a space.
QString queryValue(const QByteArray& encodedQuery, const QString& key);

// A field of a request: its value in the query when it is there and not empty, else its first
// value in the form, else empty.
QString fieldValue(const QByteArray& encodedQuery, const QList<QPair<QString, QString>>& form, const QString& key);

// One line for the request log file, without the trailing newline:
// time, method, path and query, and the form fields, separated by tabs.
QString logLine(const LoggedRequest& request);

class CompanionStore;

// Distinct client addresses seen within a sliding window of real time. The last-seen times live
// in the companion store, so the count carries over a restart on the same data folder; the times
// are passed in, so tests can say when a client was seen.
class OnlineCounter {
public:
    explicit OnlineCounter(CompanionStore& store, qint64 windowSecs = 600) : store_(store), windowSecs_(windowSecs) {}
    void seen(const QHostAddress& address, const QDateTime& when);
    // Clients last seen at or after now - window; older ones are forgotten. *ok is false (and the
    // count 0) when the store could not be read.
    int count(const QDateTime& now, bool* ok = nullptr);

private:
    CompanionStore& store_;
    qint64 windowSecs_;
};

// IPv4 clients reaching a dual-stack socket show up as ::ffff:a.b.c.d; fold those to a.b.c.d.
QHostAddress plainAddress(const QHostAddress& address);

// "http://HOST:PORT" for a server listening on `address`: a wildcard address reads as loopback,
// an IPv6 one in brackets.
QString baseUrlOf(const QHostAddress& address, quint16 port);

} // namespace server

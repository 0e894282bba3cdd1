// How the sandbox targets read their input: a request target (path and query) up to the first
// line feed, then the form body, taken apart the way the sandbox takes a request apart.
#pragma once

#include "requests.h"

#include <QByteArray>
#include <QUrl>

namespace fuzz {

struct Request {
    QString path;          // decoded
    QByteArray rawQuery;   // still percent-encoded
    QByteArray body;
    QList<QPair<QString, QString>> form;
};

inline Request request(const QByteArray& input)
{
    const qsizetype newline = input.indexOf('\n');
    QByteArray target = newline < 0 ? input : input.left(newline);
    if (!target.startsWith('/'))
        target.prepend('/');
    const QUrl url = QUrl::fromEncoded("http://127.0.0.1" + target, QUrl::TolerantMode);
    Request r;
    r.path = url.path(QUrl::FullyDecoded);
    r.rawQuery = url.query(QUrl::FullyEncoded).toLatin1();
    r.body = newline < 0 ? QByteArray() : input.mid(newline + 1);
    if (!r.body.isEmpty())
        r.form = server::decodeGbkForm(r.body);
    return r;
}

} // namespace fuzz

#include "requests.h"

#include "store.h"

#include "net/codecs.h"

#include <QStringDecoder>
#include <QStringList>

namespace server {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%XY" becomes one byte; a '%' not followed by two hex digits is kept as it is.
QByteArray percentDecode(const QByteArray& in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

QByteArray formUnescape(QByteArray part)
{
    part.replace('+', ' ');
    return percentDecode(part);
}

QString utf8OrGbk(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return net::fromGbk(bytes);
}

QString oneLine(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    s.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return s;
}

} // namespace

QList<QPair<QString, QString>> decodeGbkForm(const QByteArray& body)
{
    QList<QPair<QString, QString>> out;
    for (const QByteArray& field : body.split('&')) {
        if (field.isEmpty())
            continue;
        const qsizetype eq = field.indexOf('=');
        const QByteArray key = eq < 0 ? field : field.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : field.mid(eq + 1);
        out.append({net::fromGbk(formUnescape(key)), net::fromGbk(formUnescape(value))});
    }
    return out;
}

QString decodeQueryText(const QByteArray& encoded)
{
    return utf8OrGbk(percentDecode(encoded));
}

QString queryValue(const QByteArray& encodedQuery, const QString& key)
{
    for (const QByteArray& field : encodedQuery.split('&')) {
        const qsizetype eq = field.indexOf('=');
        const QByteArray k = eq < 0 ? field : field.left(eq);
        if (utf8OrGbk(formUnescape(k)) == key)
            return eq < 0 ? QString() : utf8OrGbk(formUnescape(field.mid(eq + 1)));
    }
    return {};
}

QString fieldValue(const QByteArray& encodedQuery, const QList<QPair<QString, QString>>& form, const QString& key)
{
    const QString fromQuery = queryValue(encodedQuery, key);
    if (!fromQuery.isEmpty())
        return fromQuery;
    for (const auto& [k, v] : form)
        if (k == key)
            return v;
    return {};
}

QString logLine(const LoggedRequest& r)
{
    QString target = r.path;
    if (!r.query.isEmpty())
        target += QLatin1Char('?') + r.query;
    QStringList form;
    for (const auto& [key, value] : r.form)
        form << key + QLatin1Char('=') + value;
    return QStringList{r.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                       QString::fromLatin1(r.method), oneLine(target), oneLine(form.join(QLatin1Char('&')))}
        .join(QLatin1Char('\t'));
}

QHostAddress plainAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

QString baseUrlOf(const QHostAddress& a, quint16 port)
{
    QString host;
    if (a.isNull() || a == QHostAddress::Any || a == QHostAddress::AnyIPv4)
        host = QStringLiteral("127.0.0.1");
    else if (a == QHostAddress::AnyIPv6)
        host = QStringLiteral("[::1]");
    else if (a.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + a.toString() + QLatin1Char(']');
    else
        host = a.toString();
    return QStringLiteral("http://%1:%2").arg(host).arg(port);
}

void OnlineCounter::seen(const QHostAddress& address, const QDateTime& when)
{
    store_.clientSeen(plainAddress(address).toString(), when.toMSecsSinceEpoch());
}

int OnlineCounter::count(const QDateTime& now, bool* ok)
{
    return store_.clientsSince(now.addSecs(-windowSecs_).toMSecsSinceEpoch(), ok);
}

} // namespace server

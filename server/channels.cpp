#include "channels.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QUrlQuery>

#include <algorithm>

namespace server::notify {

namespace {

struct ChannelDef {
    Channel channel;
    const char* name;
    const char* base;
};

constexpr ChannelDef kChannels[] = {
    {Channel::PushPlus, "pushplus", "http://www.pushplus.plus"},
    {Channel::WeCom, "wecom", "https://qyapi.weixin.qq.com"},
    {Channel::DingTalk, "dingtalk", "https://oapi.dingtalk.com"},
    {Channel::Feishu, "feishu", "https://open.feishu.cn"},
    {Channel::Bark, "bark", "https://api.day.app"},
    {Channel::Ntfy, "ntfy", "https://ntfy.sh"},
    {Channel::Telegram, "telegram", "https://api.telegram.org"},
};

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A robot's message: the title on its own line above the text.
QString titled(const Message& m)
{
    return m.title.isEmpty() ? m.text : m.title + u'\n' + m.text;
}

QByteArray hmacSha256(const QByteArray& key, const QByteArray& message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

// A reply's JSON object; empty for anything else.
QJsonObject object(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

Outcome sent(const QString& code)
{
    return {Result::Sent, code, 0};
}
Outcome retry(const QString& code, qint64 afterMs = 0)
{
    return {Result::Retry, code, afterMs};
}
Outcome permanent(const QString& code)
{
    return {Result::Permanent, code, 0};
}

// What an HTTP status alone says, for a reply whose body does not settle it: no reply, a server
// error or 429 are worth another try; another 4xx is not.
Outcome byStatus(int status)
{
    const QString code = status == 0 ? QStringLiteral("no reply") : QString::number(status);
    if (status == 0 || status >= 500 || status == 429 || status == 408)
        return retry(code);
    if (status >= 400)
        return permanent(code);
    return retry(code);   // a 2xx or 3xx whose body is not the service's answer
}

// The robots of WeCom and DingTalk answer {"errcode": N, "errmsg": "..."}.
Outcome errcodeReply(int status, const QByteArray& body, int rateLimited, qint64 rateWaitMs, std::initializer_list<int> transient)
{
    const QJsonObject o = object(body);
    if (status != 200 || !o.value(QStringLiteral("errcode")).isDouble())
        return byStatus(status);
    const int code = o.value(QStringLiteral("errcode")).toInt();
    if (code == 0)
        return sent(QStringLiteral("0"));
    if (code == rateLimited)
        return retry(QString::number(code), rateWaitMs);
    for (int t : transient)
        if (code == t)
            return retry(QString::number(code));
    return permanent(QString::number(code));
}

} // namespace

QString channelName(Channel channel)
{
    for (const ChannelDef& c : kChannels)
        if (c.channel == channel)
            return QString::fromLatin1(c.name);
    return QString();
}

std::optional<Channel> channelNamed(const QString& name)
{
    for (const ChannelDef& c : kChannels)
        if (name == QLatin1String(c.name))
            return c.channel;
    return std::nullopt;
}

QList<Channel> allChannels()
{
    QList<Channel> out;
    for (const ChannelDef& c : kChannels)
        out << c.channel;
    return out;
}

QHash<QString, QString> defaultBases()
{
    QHash<QString, QString> out;
    for (const ChannelDef& c : kChannels)
        out.insert(QString::fromLatin1(c.name), QString::fromLatin1(c.base));
    return out;
}

std::optional<Binding> parseBinding(Channel channel, const QString& value)
{
    Binding b;
    b.channel = channel;
    const QString v = value.trimmed();
    const bool signing = channel == Channel::DingTalk || channel == Channel::Feishu;
    const qsizetype colon = signing ? v.indexOf(u':') : -1;
    b.target = colon < 0 ? v : v.left(colon);
    b.secret = colon < 0 ? QString() : v.mid(colon + 1);
    // Tokens, keys and topics are letters, digits, '-' and '_'; a Telegram chat is a number (a
    // group's is negative) or an @channel name. Nothing else may go into an address.
    static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9_-]{1,200}$"));
    static const QRegularExpression chat(QStringLiteral("^(-?[0-9]{1,20}|@[A-Za-z0-9_]{4,64})$"));
    static const QRegularExpression secret(QStringLiteral("^[A-Za-z0-9_+/=-]{0,200}$"));
    const bool ok = channel == Channel::Telegram ? chat.match(b.target).hasMatch() : token.match(b.target).hasMatch();
    if (!ok || !secret.match(b.secret).hasMatch())
        return std::nullopt;
    return b;
}

QByteArray dingTalkSign(const QString& secret, qint64 timestampMs)
{
    // Base64 of HMAC-SHA256 over "timestamp\nsecret", keyed with the secret.
    const QByteArray key = secret.toUtf8();
    return hmacSha256(key, QByteArray::number(timestampMs) + '\n' + key).toBase64();
}

QByteArray feishuSign(const QString& secret, qint64 timestampSeconds)
{
    // Base64 of HMAC-SHA256 over nothing, keyed with "timestamp\nsecret".
    return hmacSha256(QByteArray::number(timestampSeconds) + '\n' + secret.toUtf8(), QByteArray()).toBase64();
}

Request buildRequest(const Binding& b, const Message& m, const QString& base, qint64 nowMs, const QString& telegramToken)
{
    Request r;
    r.contentType = "application/json; charset=utf-8";
    switch (b.channel) {
    case Channel::PushPlus:
        r.url = QUrl(base + QStringLiteral("/send"));
        r.body = json({{QStringLiteral("token"), b.target},
                       {QStringLiteral("title"), m.title},
                       {QStringLiteral("content"), m.text},
                       {QStringLiteral("template"), QStringLiteral("txt")}});
        break;
    case Channel::WeCom: {
        r.url = QUrl(base + QStringLiteral("/cgi-bin/webhook/send"));
        QUrlQuery q;
        q.addQueryItem(QStringLiteral("key"), b.target);
        r.url.setQuery(q);
        r.body = json({{QStringLiteral("msgtype"), QStringLiteral("text")},
                       {QStringLiteral("text"), QJsonObject{{QStringLiteral("content"), titled(m)}}}});
        break;
    }
    case Channel::DingTalk: {
        // The signature is Base64, whose '+' a query would read as a blank: it goes percent-encoded.
        QByteArray query = "access_token=" + QUrl::toPercentEncoding(b.target);
        if (!b.secret.isEmpty())
            query += "&timestamp=" + QByteArray::number(nowMs) + "&sign=" + QUrl::toPercentEncoding(QString::fromLatin1(dingTalkSign(b.secret, nowMs)));
        r.url = QUrl(base + QStringLiteral("/robot/send?") + QString::fromLatin1(query));
        r.body = json({{QStringLiteral("msgtype"), QStringLiteral("text")},
                       {QStringLiteral("text"), QJsonObject{{QStringLiteral("content"), titled(m)}}}});
        break;
    }
    case Channel::Feishu: {
        r.url = QUrl(base + QStringLiteral("/open-apis/bot/v2/hook/") + b.target);
        QJsonObject o{{QStringLiteral("msg_type"), QStringLiteral("text")},
                      {QStringLiteral("content"), QJsonObject{{QStringLiteral("text"), titled(m)}}}};
        if (!b.secret.isEmpty()) {
            const qint64 seconds = nowMs / 1000;
            o.insert(QStringLiteral("timestamp"), QString::number(seconds));
            o.insert(QStringLiteral("sign"), QString::fromLatin1(feishuSign(b.secret, seconds)));
        }
        r.body = json(o);
        break;
    }
    case Channel::Bark:
        r.url = QUrl(base + QStringLiteral("/push"));
        r.body = json({{QStringLiteral("device_key"), b.target},
                       {QStringLiteral("title"), m.title},
                       {QStringLiteral("body"), m.text},
                       {QStringLiteral("group"), QStringLiteral("汇澜")}});
        break;
    case Channel::Ntfy:
        // Published as JSON to the root, so a Chinese title needs no header encoding.
        r.url = QUrl(base + u'/');
        r.body = json({{QStringLiteral("topic"), b.target},
                       {QStringLiteral("title"), m.title},
                       {QStringLiteral("message"), m.text}});
        break;
    case Channel::Telegram:
        r.url = QUrl(base + QStringLiteral("/bot") + telegramToken + QStringLiteral("/sendMessage"));
        r.body = json({{QStringLiteral("chat_id"), b.target}, {QStringLiteral("text"), titled(m)}});
        break;
    }
    return r;
}

Outcome readReply(Channel channel, int status, const QByteArray& body)
{
    const QJsonObject o = object(body);
    switch (channel) {
    case Channel::PushPlus: {
        // {"code": 200, "msg": "请求成功", "data": "<serial>"}; 900 is the account's limit, 500
        // and 999 the service's own trouble; 401, 403 and the rest a token that cannot send.
        if (status != 200 || !o.value(QStringLiteral("code")).isDouble())
            return byStatus(status);
        const int code = o.value(QStringLiteral("code")).toInt();
        if (code == 200)
            return sent(QStringLiteral("200"));
        if (code == 900)
            return retry(QStringLiteral("900"), 60 * 60 * 1000);
        if (code == 500 || code == 999)
            return retry(QString::number(code));
        return permanent(QString::number(code));
    }
    case Channel::WeCom:
        // 45009: more than 20 messages a minute; -1: the service is busy.
        return errcodeReply(status, body, 45009, 60 * 1000, {-1});
    case Channel::DingTalk:
        // 130101: sent too fast; the robot is held for ten minutes. -1: the service is busy.
        return errcodeReply(status, body, 130101, 10 * 60 * 1000, {-1});
    case Channel::Feishu: {
        // {"code": 0, "msg": "success"} (older robots: "StatusCode": 0); 11232 and 9499 are its
        // frequency limits; 19021 a bad signature or a clock too far off, 19024 a keyword check.
        const QJsonValue c = o.contains(QStringLiteral("code")) ? o.value(QStringLiteral("code")) : o.value(QStringLiteral("StatusCode"));
        if (!c.isDouble())
            return byStatus(status);
        const int code = c.toInt();
        if (code == 0)
            return sent(QStringLiteral("0"));
        if (code == 11232 || code == 9499)
            return retry(QString::number(code), 60 * 1000);
        return permanent(QString::number(code));
    }
    case Channel::Bark: {
        // {"code": 200, "message": "success"}; a wrong device key answers 400.
        if (status == 200 && o.value(QStringLiteral("code")).toInt() == 200)
            return sent(QStringLiteral("200"));
        return byStatus(status == 200 ? 502 : status);
    }
    case Channel::Ntfy: {
        // The published message comes back ({"id": ..., "event": "message"}); errors are
        // {"code": 42901, "http": 429, "error": "limit reached: too many requests"}.
        if (status == 200 && o.value(QStringLiteral("event")).toString() == QLatin1String("message"))
            return sent(o.value(QStringLiteral("id")).toString());
        Outcome out = byStatus(status == 200 ? 502 : status);
        if (o.value(QStringLiteral("code")).isDouble())
            out.code = QString::number(o.value(QStringLiteral("code")).toInt());
        if (status == 429)
            out.retryAfterMs = 60 * 1000;
        return out;
    }
    case Channel::Telegram: {
        // {"ok": true, "result": {...}}, or {"ok": false, "error_code": 429, "parameters":
        // {"retry_after": 5}}; 400 (chat not found), 401 (bad token) and 403 (bot blocked) stay.
        if (o.value(QStringLiteral("ok")).toBool())
            return sent(QStringLiteral("ok"));
        if (!o.value(QStringLiteral("error_code")).isDouble())
            return byStatus(status);
        const int code = o.value(QStringLiteral("error_code")).toInt();
        if (code == 429) {
            const int after = o.value(QStringLiteral("parameters")).toObject().value(QStringLiteral("retry_after")).toInt(1);
            return retry(QStringLiteral("429"), qint64(std::clamp(after, 1, 3600)) * 1000);
        }
        Outcome out = byStatus(code);
        out.code = QString::number(code);
        return out;
    }
    }
    return byStatus(status);
}

} // namespace server::notify

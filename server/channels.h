// The push services a phone alert goes out through: for each one, the request that sends a
// message as the service documents it, and what its reply means (sent, try again later, or never
// again). No network here: the sender (sender.h) makes the requests.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

namespace server::notify {

enum class Channel { PushPlus, WeCom, DingTalk, Feishu, Bark, Ntfy, Telegram };

// "pushplus", "wecom", "dingtalk", "feishu", "bark", "ntfy", "telegram": the names the channels
// file and --notify-base use.
QString channelName(Channel channel);
std::optional<Channel> channelNamed(const QString& name);
QList<Channel> allChannels();
// Each channel's real service address (scheme and host, no trailing '/').
QHash<QString, QString> defaultBases();

// One number's binding to one channel, as the channels file writes it after "name=": the token,
// key, device key, topic or chat, and for DingTalk and Feishu the signing secret after a ':'.
struct Binding {
    Channel channel = Channel::PushPlus;
    QString target;
    QString secret;   // empty: the robot has no signature set
};
// Nothing for a value the channel cannot use (empty, or characters no service accepts in it).
std::optional<Binding> parseBinding(Channel channel, const QString& value);

struct Message {
    QString title;
    QString text;
};

struct Request {
    QUrl url;
    QByteArray contentType;
    QByteArray body;
};

// The request that sends `message` through `binding` at the service whose address is `base`.
// `nowMs` is the real time (milliseconds since the epoch), which the signing services check;
// `telegramToken` is the bot's token shared by every Telegram binding.
Request buildRequest(const Binding& binding, const Message& message, const QString& base, qint64 nowMs,
                     const QString& telegramToken = QString());

// DingTalk's and Feishu's signatures, as their robot documentation computes them.
QByteArray dingTalkSign(const QString& secret, qint64 timestampMs);
QByteArray feishuSign(const QString& secret, qint64 timestampSeconds);

// What a reply means.
enum class Result {
    Sent,
    Retry,       // transient: the service or the way to it failed for now, or a rate limit
    Permanent,   // the binding is wrong (bad token, unknown chat, ...): sending again cannot help
};
struct Outcome {
    Result result = Result::Retry;
    QString code;              // the service's own code ("45009", "429", "ok"), or the network error
    qint64 retryAfterMs = 0;   // the least wait before another try, when the service says one
};
// `status` is the HTTP status (0 when no reply came: refused, dropped, timed out).
Outcome readReply(Channel channel, int status, const QByteArray& body);

} // namespace server::notify

#include "phoneservice.h"

#include <algorithm>

namespace server::phone {

namespace {
constexpr qint64 kLongestPause = 5 * 60 * 1000;

qint64 realNow()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

PhoneService::PhoneService(Hooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)), bases_(notify::defaultBases())
{
    connect(&timer_, &QTimer::timeout, this, &PhoneService::tick);
}

void PhoneService::setBases(const QHash<QString, QString>& bases)
{
    bases_ = notify::defaultBases();
    for (auto it = bases.begin(); it != bases.end(); ++it)
        bases_.insert(it.key(), it.value());
}

void PhoneService::start(int ms)
{
    leading_ = !hooks_.lead || hooks_.lead();
    if (leading_)
        resume();
    timer_.start(ms);
}

void PhoneService::resume()
{
    if (!hooks_.pending)
        return;
    // The alerts of one message were claimed together: one number, channel, title and moment.
    QList<QList<Claim>> messages;
    for (const Claim& c : hooks_.pending(realNow() - giveUpMs_)) {
        if (!messages.isEmpty()) {
            const Claim& last = messages.last().constFirst();
            if (last.number == c.number && last.channel == c.channel && last.title == c.title && last.claimedMs == c.claimedMs) {
                messages.last().append(c);
                continue;
            }
        }
        messages.append({c});
    }
    for (const QList<Claim>& claims : std::as_const(messages)) {
        const Claim& first = claims.constFirst();
        PhoneMessage m{first.number, first.title, QString(), {}};
        QStringList texts;
        for (const Claim& c : claims) {
            m.alerts.append({c.key, c.text});
            texts << c.text;
        }
        m.text = texts.join(QStringLiteral("\n\n"));
        auto d = std::make_shared<Delivery>(Delivery{m, std::nullopt, QString(), first.claimedMs, 0});
        if (first.channel.startsWith(QLatin1String("email:"))) {
            d->email = first.channel.mid(6);
        } else {
            for (const notify::Binding& b : channels_.bindings.value(first.number))
                if (notify::channelName(b.channel) == first.channel)
                    d->binding = b;
            if (!d->binding) {   // the binding is gone from the file: nowhere to send it
                outcome(d, {notify::Result::Permanent, QStringLiteral("no binding"), 0});
                continue;
            }
        }
        deliver(d);
    }
}

NumberWatch& PhoneService::watchOf(const QString& number)
{
    // A number whose mirror changed starts afresh with its new tables, as the program does when
    // it loads its lists again.
    const MirroredTables tables = hooks_.tables(number);
    auto it = watches_.find(number);
    if (it == watches_.end() || seenTables_.value(number) != tables) {
        seenTables_.insert(number, tables);
        it = watches_.insert_or_assign(number, std::make_unique<NumberWatch>(number, tables)).first;
    }
    return *it->second;
}

void PhoneService::tick()
{
    if (busy_)
        return;   // the last tick's quotes have not come yet
    if (hooks_.lead) {
        // Another instance decides while it leads; taking over, first send what it claimed
        // and could not finish.
        const bool was = leading_;
        leading_ = hooks_.lead();
        if (!leading_)
            return;
        if (!was)
            resume();
    }
    // Only numbers somebody bound a channel to: deciding for the others would send nothing.
    QStringList numbers;
    for (const QString& n : hooks_.numbers())
        if (channels_.bindings.contains(n) || channels_.emails.contains(n))
            numbers << n;
    QStringList codes;
    for (const QString& n : std::as_const(numbers))
        for (const QString& c : watchOf(n).codes())
            if (!codes.contains(c))
                codes << c;
    const qint64 now = realNow();
    const int elapsed = lastTickMs_ > 0 ? int(std::clamp<qint64>((now - lastTickMs_) / 1000, 0, 300)) : 0;
    lastTickMs_ = now;
    if (codes.isEmpty())
        return;
    busy_ = true;
    hooks_.quotes(codes, [this, numbers, elapsed](Quotes quotes) {
        busy_ = false;
        const QDateTime at = hooks_.now();
        for (const QString& n : numbers) {
            const std::optional<PhoneMessage> message = watchOf(n).tick(at, elapsed, quotes);
            if (!message)
                continue;
            for (const notify::Binding& b : channels_.bindings.value(n))
                if (auto m = claimed(*message, notify::channelName(b.channel)))
                    deliver(std::make_shared<Delivery>(Delivery{*m, b, QString(), realNow(), 0}));
            for (const QString& address : channels_.emails.value(n))
                if (auto m = claimed(*message, QStringLiteral("email:") + address))
                    deliver(std::make_shared<Delivery>(Delivery{*m, std::nullopt, address, realNow(), 0}));
        }
    });
}

std::optional<PhoneMessage> PhoneService::claimed(const PhoneMessage& message, const QString& channel)
{
    if (!hooks_.claim)
        return message;
    // Only the alerts no earlier run handed to this channel; the text is made of those alone.
    PhoneMessage out = message;
    out.alerts.clear();
    QStringList texts;
    const qint64 now = realNow();
    for (const PhoneAlert& a : message.alerts)
        if (hooks_.claim(Claim{a.key, channel, message.number, message.title, a.text, now})) {
            out.alerts.append(a);
            texts << a.text;
        }
    if (out.alerts.isEmpty())
        return std::nullopt;
    out.text = texts.join(QStringLiteral("\n\n"));
    return out;
}

void PhoneService::deliver(std::shared_ptr<Delivery> d)
{
    ++d->tries;
    const notify::Message m{d->message.title, d->message.text};
    if (!d->binding) {
        if (!channels_.smtp)
            return outcome(d, {notify::Result::Permanent, QStringLiteral("no [smtp]"), 0});
        return smtp_.send(*channels_.smtp, d->email, m, [this, d](notify::Outcome out) { outcome(d, out); });
    }
    const notify::Binding& b = *d->binding;
    // Signatures carry the real time, whatever clock the market runs on.
    const notify::Request r = notify::buildRequest(b, m, bases_.value(notify::channelName(b.channel)), realNow(),
                                                   channels_.telegramToken);
    sender_.send(b.channel, r, [this, d](notify::Outcome out) { outcome(d, out); });
}

void PhoneService::outcome(const std::shared_ptr<Delivery>& d, const notify::Outcome& out)
{
    Attempt a{QDateTime::currentDateTime(), d->message.number,
              d->binding ? notify::channelName(d->binding->channel) : QStringLiteral("email"),
              d->message.alerts.value(0).key, out.result, out.code, false};
    if (out.result == notify::Result::Retry) {
        const qint64 pause = std::max(out.retryAfterMs, std::min(firstPauseMs_ << std::min(d->tries - 1, 16), kLongestPause));
        if (realNow() + pause - d->decidedMs <= giveUpMs_) {
            retries_.append(d);
            QTimer::singleShot(std::chrono::milliseconds(pause), this, [this, d] {
                retries_.removeOne(d);
                deliver(d);
            });
            keep(a);
            return;
        }
    }
    a.dropped = out.result != notify::Result::Sent;
    keep(a);
    if (hooks_.settle)
        for (const PhoneAlert& alert : d->message.alerts)
            hooks_.settle(alert.key, d->channelKey(), out.result == notify::Result::Sent);
}

void PhoneService::keep(const Attempt& a)
{
    attempts_.append(a);
    if (hooks_.record)
        hooks_.record(a);
}

} // namespace server::phone

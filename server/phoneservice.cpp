#include "phoneservice.h"

#include <QSet>

#include <algorithm>

namespace server::phone {

namespace {
constexpr qint64 kLongestPause = 5 * 60 * 1000;

qint64 realNow()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// A hash of a number's tables: a watch is made again only when what it watches changed.
size_t tablesHash(const MirroredTables& t)
{
    size_t h = qHash(t.openClose);
    for (const StockRow& r : t.rows)
        h = qHashMulti(h, r.code, r.name, r.flags, r.tradeDigits, r.orderDigits, r.percent);
    for (const IntervalRow& r : t.intervals)
        h = qHashMulti(h, r.code, r.name, r.minutes);
    return h;
}

QStringList keysOf(const PhoneMessage& m)
{
    QStringList keys;
    for (const PhoneAlert& a : m.alerts)
        keys << a.key;
    return keys;
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
    resume();
    timer_.start(ms);
}

void PhoneService::resume()
{
    if (hooks_.dropInterrupted)
        hooks_.dropInterrupted();
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
            for (const notify::Binding& b : channelsOf(first.number).bindings)
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
    const size_t hash = tablesHash(tables);
    auto it = watches_.find(number);
    if (it == watches_.end() || seenTables_.value(number) != hash) {
        seenTables_.insert(number, hash);
        it = watches_.insert_or_assign(number, std::make_unique<NumberWatch>(number, tables)).first;
    }
    return *it->second;
}

void PhoneService::refreshStored()
{
    if (!hooks_.stored)
        return;
    const QString stamp = hooks_.storedStamp ? hooks_.storedStamp() : QString();
    if (storedRead_ && hooks_.storedStamp && stamp == storedStamp_)
        return;
    storedRead_ = true;
    storedStamp_ = stamp;
    stored_ = {};
    for (const auto& [number, channel, value] : hooks_.stored()) {
        if (channel == QLatin1String("email")) {
            if (notify::isMailAddress(value))
                stored_.emails[number].append(value);
        } else if (const auto c = notify::channelNamed(channel)) {
            if (const auto b = notify::parseBinding(*c, value))
                stored_.bindings[number].append(*b);
        }
    }
}

bool PhoneService::hasChannels(const QString& n) const
{
    return channels_.bindings.contains(n) || channels_.emails.contains(n) || stored_.bindings.contains(n)
           || stored_.emails.contains(n);
}

PhoneService::Channels PhoneService::channelsOf(const QString& number)
{
    refreshStored();
    Channels out{channels_.bindings.value(number), channels_.emails.value(number)};
    for (const notify::Binding& b : stored_.bindings.value(number)) {
        // The file's binding of a channel wins: an alert goes out once per channel name.
        const bool named = std::any_of(out.bindings.cbegin(), out.bindings.cend(),
                                       [&b](const notify::Binding& o) { return o.channel == b.channel; });
        if (!named)
            out.bindings.append(b);
    }
    for (const QString& address : stored_.emails.value(number))
        if (!out.emails.contains(address, Qt::CaseInsensitive))
            out.emails.append(address);
    return out;
}

bool PhoneService::canUse(const QString& channel) const
{
    if (channel == QLatin1String("email"))
        return bool(channels_.smtp);
    if (channel == QLatin1String("telegram"))
        return !channels_.telegramToken.isEmpty();
    return notify::channelNamed(channel).has_value();
}

void PhoneService::sendOnce(const notify::Binding& b, const notify::Message& m, std::function<void(notify::Outcome)> done)
{
    const notify::Request r = notify::buildRequest(b, m, bases_.value(notify::channelName(b.channel)), realNow(),
                                                   channels_.telegramToken);
    sender_.send(b.channel, r, std::move(done));
}

void PhoneService::sendOnceByEmail(const QString& address, const notify::Message& m, std::function<void(notify::Outcome)> done)
{
    if (!channels_.smtp)
        return done({notify::Result::Permanent, QStringLiteral("no [smtp]"), 0});
    smtp_.send(*channels_.smtp, address, m, std::move(done));
}

QStringList PhoneService::prepareWatches()
{
    refreshStored();
    // Only numbers somebody bound a channel to: deciding for the others would send nothing.
    QStringList numbers;
    if (!hooks_.stamps || !hooks_.tablesOf) {
        for (const QString& n : hooks_.numbers())
            if (hasChannels(n)) {
                numbers << n;
                watchOf(n);
            }
        return numbers;
    }
    // In bulk: one read of every number's stamp, one read of the tables that changed.
    const QHash<QString, QString> stamps = hooks_.stamps();
    QStringList changed;
    numbers.reserve(stamps.size());
    for (auto it = stamps.cbegin(); it != stamps.cend(); ++it) {
        if (!hasChannels(it.key()))
            continue;
        numbers << it.key();
        const auto seen = seenStamps_.constFind(it.key());
        if (seen == seenStamps_.cend() || *seen != it.value())
            changed << it.key();
    }
    if (!changed.isEmpty()) {
        const QHash<QString, MirroredTables> tables = hooks_.tablesOf(changed);
        for (const QString& n : std::as_const(changed)) {
            const MirroredTables t = tables.value(n);
            const size_t hash = tablesHash(t);
            seenStamps_.insert(n, stamps.value(n));
            // The same rows mirrored again keep the watch and its cooldowns.
            if (watches_.count(n) && seenTables_.value(n) == hash)
                continue;
            seenTables_.insert(n, hash);
            watches_.insert_or_assign(n, std::make_unique<NumberWatch>(n, t));
        }
    }
    // Numbers switched off or left without a channel are forgotten.
    if (watches_.size() > size_t(numbers.size())) {
        const QSet<QString> keep(numbers.cbegin(), numbers.cend());
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (keep.contains(it->first)) {
                ++it;
                continue;
            }
            seenStamps_.remove(it->first);
            seenTables_.remove(it->first);
            it = watches_.erase(it);
        }
    }
    return numbers;
}

void PhoneService::tick()
{
    if (busy_)
        return;   // the last tick's quotes have not come yet
    const QStringList numbers = prepareWatches();
    QStringList codes;
    QSet<QString> asked;
    for (const QString& n : numbers)
        for (const QString& c : watches_.at(n)->codes())
            if (!asked.contains(c)) {
                asked.insert(c);
                codes << c;
            }
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
            const auto watch = watches_.find(n);
            if (watch == watches_.end())
                continue;
            const std::optional<PhoneMessage> message = watch->second->tick(at, elapsed, quotes);
            if (!message)
                continue;
            const Channels channels = channelsOf(n);
            for (const notify::Binding& b : channels.bindings)
                if (auto m = claimed(*message, notify::channelName(b.channel)))
                    deliver(std::make_shared<Delivery>(Delivery{*m, b, QString(), realNow(), 0}));
            for (const QString& address : channels.emails)
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
    if (hooks_.sending)
        hooks_.sending(keysOf(d->message), d->channelKey(), true);
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
            // The service did not take it: a stop before the next try leaves it to the next run.
            if (hooks_.sending)
                hooks_.sending(keysOf(d->message), d->channelKey(), false);
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

#include "phoneservice.h"

#include <QSet>
#include <QThread>

#include <algorithm>
#include <thread>

namespace server::phone {

namespace {
constexpr qint64 kLongestPause = 5 * 60 * 1000;
constexpr int kMostInFlight = 32;
constexpr qint64 kForgetEveryMs = 3600 * 1000;

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
    leading_ = !hooks_.lead || hooks_.lead();
    if (leading_)
        resume();
    timer_.start(ms);
}

void PhoneService::resume()
{
    if (hooks_.dropInterrupted)
        hooks_.dropInterrupted();
    if (!hooks_.pending)
        return;
    refreshStored();
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
            for (const notify::Binding& b : channelsFor(first.number).bindings)
                if (notify::channelName(b.channel) == first.channel)
                    d->binding = b;
            if (!d->binding) {   // the binding is gone from the file: nowhere to send it
                ++inFlight_;   // outcome() counts it as a send that ended
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

bool PhoneService::refreshStored()
{
    if (!hooks_.stored)
        return false;
    const QString stamp = hooks_.storedStamp ? hooks_.storedStamp() : QString();
    if (storedRead_ && hooks_.storedStamp && stamp == storedStamp_)
        return false;
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
    return true;
}

bool PhoneService::hasChannels(const QString& n) const
{
    return channels_.bindings.contains(n) || channels_.emails.contains(n) || stored_.bindings.contains(n)
           || stored_.emails.contains(n);
}

PhoneService::Channels PhoneService::channelsOf(const QString& number)
{
    refreshStored();
    return channelsFor(number);
}

void PhoneService::atOnce(const std::function<void()>& work)
{
    if (hooks_.transaction)
        hooks_.transaction(work);
    else
        work();
}

PhoneService::Channels PhoneService::channelsFor(const QString& number) const
{
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
    const bool channelsChanged = refreshStored();
    // Only numbers somebody bound a channel to: deciding for the others would send nothing.
    if (!hooks_.stamps || !hooks_.tablesOf) {
        QStringList numbers;
        activeWatches_.clear();
        for (const QString& n : hooks_.numbers())
            if (hasChannels(n)) {
                numbers << n;
                activeWatches_.push_back(&watchOf(n));
            }
        return numbers;
    }
    // In bulk: the numbers that changed since the last tick (all of them the first time), their
    // stamps in one read, and the tables of those whose stamp moved in one more.
    if (hooks_.changes && changeCursor_ >= 0) {
        const QStringList changed = hooks_.changes(&changeCursor_);
        if (changeCursor_ < 0) {
            onStamps_ = hooks_.stamps({});
            hooks_.changes(&changeCursor_);
            activeDirty_ = true;
        } else if (!changed.isEmpty()) {
            const QHash<QString, QString> now = hooks_.stamps(changed);
            for (const QString& n : changed) {
                const auto it = now.constFind(n);
                if (it == now.cend())
                    onStamps_.remove(n);
                else
                    onStamps_.insert(n, *it);
            }
            activeDirty_ = true;
        }
    } else {
        if (hooks_.changes)
            hooks_.changes(&changeCursor_);   // from here on, changes are read as they come
        onStamps_ = hooks_.stamps({});
        activeDirty_ = true;
    }
    if (activeDirty_ || channelsChanged)
        watchAll(onStamps_);
    return active_;
}

void PhoneService::watchAll(const QHash<QString, QString>& stamps)
{
    activeDirty_ = false;
    active_.clear();
    QStringList changed;
    for (auto it = stamps.cbegin(); it != stamps.cend(); ++it) {
        if (!hasChannels(it.key()))
            continue;
        active_ << it.key();
        const auto seen = seenStamps_.constFind(it.key());
        if (seen == seenStamps_.cend() || *seen != it.value() || !watches_.count(it.key()))
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
    if (watches_.size() > size_t(active_.size())) {
        const QSet<QString> keep(active_.cbegin(), active_.cend());
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
    activeCodes_.clear();
    activeWatches_.clear();
    activeWatches_.reserve(active_.size());
    QSet<QString> asked;
    for (const QString& n : std::as_const(active_))
        activeWatches_.push_back(watches_.at(n).get());
    for (const NumberWatch* w : activeWatches_)
        for (const QString& c : w->codes())
            if (!asked.contains(c)) {
                asked.insert(c);
                activeCodes_ << c;
            }
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
    const qint64 now = realNow();
    if (hooks_.forget && (lastForgetMs_ == 0 || now - lastForgetMs_ >= kForgetEveryMs)) {
        lastForgetMs_ = now;
        hooks_.forget(now);
    }
    const QStringList numbers = prepareWatches();
    QStringList codes;
    if (hooks_.stamps && hooks_.tablesOf) {
        codes = activeCodes_;
    } else {
        QSet<QString> asked;
        for (const QString& n : numbers)
            for (const QString& c : watches_.at(n)->codes())
                if (!asked.contains(c)) {
                    asked.insert(c);
                    codes << c;
                }
    }
    const int elapsed = lastTickMs_ > 0 ? int(std::clamp<qint64>((now - lastTickMs_) / 1000, 0, 300)) : 0;
    lastTickMs_ = now;
    if (codes.isEmpty())
        return;
    busy_ = true;
    hooks_.quotes(codes, [this, elapsed](Quotes quotes) {
        busy_ = false;
        const QDateTime at = hooks_.now();
        // Every claim of the tick in one transaction.
        atOnce([&] { decide(at, elapsed, quotes); });
    });
}

void PhoneService::decide(const QDateTime& at, int elapsed, const Quotes& quotes)
{
    // Each number's rules run on its own watch and read the quotes only, so many numbers are
    // decided on all cores at once; what they decided is claimed and sent here, in order.
    const size_t count = activeWatches_.size();
    std::vector<std::optional<PhoneMessage>> messages(count);
    auto run = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            messages[i] = activeWatches_[i]->tick(at, elapsed, quotes);
    };
    const size_t threads = count < 4096 ? 1 : size_t(std::clamp(QThread::idealThreadCount(), 1, 8));
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(run, count * t / threads, count * (t + 1) / threads);
    run(0, count / threads);
    for (std::thread& h : helpers)
        h.join();

    for (size_t i = 0; i < count; ++i) {
        const std::optional<PhoneMessage>& message = messages[i];
        if (!message)
            continue;
        const Channels channels = channelsFor(message->number);
        for (const notify::Binding& b : channels.bindings)
            if (auto m = claimed(*message, notify::channelName(b.channel)))
                deliver(std::make_shared<Delivery>(Delivery{*m, b, QString(), realNow(), 0}));
        for (const QString& address : channels.emails)
            if (auto m = claimed(*message, QStringLiteral("email:") + address))
                deliver(std::make_shared<Delivery>(Delivery{*m, std::nullopt, address, realNow(), 0}));
    }
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
    if (inFlight_ >= kMostInFlight) {
        queued_.push_back(std::move(d));
        return;
    }
    ++inFlight_;
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
    --inFlight_;
    if (!queued_.empty()) {
        // The next waiting send starts once this one's outcome is kept.
        QTimer::singleShot(0, this, [this] {
            if (queued_.empty() || inFlight_ >= kMostInFlight)
                return;
            auto next = std::move(queued_.front());
            queued_.pop_front();
            deliver(std::move(next));
        });
    }
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
    atOnce([&] {
        keep(a);
        if (hooks_.settle)
            for (const PhoneAlert& alert : d->message.alerts)
                hooks_.settle(alert.key, d->channelKey(), out.result == notify::Result::Sent);
    });
}

void PhoneService::keep(const Attempt& a)
{
    attempts_.append(a);
    while (attempts_.size() > keptAttempts_)
        attempts_.removeFirst();   // cheap: the list only moves its start
    if (hooks_.record)
        hooks_.record(a);
}

} // namespace server::phone

// Phone alerts as a running service: on every tick it takes the numbers whose phone switch is on
// and that have a channel bound, fetches the quotes of all their codes in one batch, decides each
// number's alerts (phonealerts.h) and sends each message on each of the number's channels. What a
// service calls transient is tried again with a growing pause (or the service's own wait); what it
// calls permanent is not; a message that could not go out within 30 minutes is dropped, not sent
// late. Every attempt is recorded.
#pragma once

#include "channelsfile.h"
#include "phonealerts.h"
#include "sender.h"
#include "smtp.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace server::phone {

// One try to hand a message to a service, as the record keeps it.
struct Attempt {
    QDateTime time;       // real time
    QString number;
    QString channel;      // "pushplus", ..., "email"
    QString key;          // the message's first alert key
    notify::Result result = notify::Result::Retry;
    QString code;         // the service's own code
    bool dropped = false; // given up: permanent, or 30 minutes without success
};

// One alert of a message claimed for one channel ("pushplus", ..., "email:ADDRESS").
struct Claim {
    QString key;
    QString channel;
    QString number;
    QString title;
    QString text;
    qint64 claimedMs = 0;   // real time
};

class PhoneService : public QObject {
    Q_OBJECT
public:
    using Quotes = QHash<QString, market::StockQuote>;
    struct Hooks {
        std::function<QDateTime()> now;                                // the market's clock
        std::function<QStringList()> numbers;                          // numbers with the phone switch on
        std::function<MirroredTables(const QString& number)> tables;
        // One batched fetch of `codes`; `done` gets the quotes that could be read.
        std::function<void(const QStringList& codes, std::function<void(Quotes)> done)> quotes;
        // Kept where a restart finds them (all optional): claims one alert of a number's message
        // for a channel, true only the first time ever; settles it once sent or given up; lists
        // the alerts claimed from a moment on and never settled; and records each attempt.
        std::function<bool(const Claim&)> claim;
        std::function<void(const QString& key, const QString& channel, bool sent)> settle;
        std::function<QList<Claim>(qint64 sinceMs)> pending;
        std::function<void(const Attempt&)> record;
        // Whether this process may decide and send now: with several instances on one database
        // only one does (optional: alone, it always may).
        std::function<bool()> lead;

        // Reads in bulk, used in place of `numbers` and `tables` when both are set: a stamp of each
        // number's mirrored tables (numbers with the phone switch on), and the tables of the
        // numbers whose stamp changed, all in one read.
        std::function<QHash<QString, QString>(const QStringList& only)> stamps;   // empty: every number
        // With the bulk reads: the numbers whose switch or tables changed after a cursor, which it
        // moves on (a negative cursor is set to now and asks for a full read; see the store).
        std::function<QStringList(qint64* cursor)> changes;
        std::function<QHash<QString, MirroredTables>(const QStringList& numbers)> tablesOf;
        // Channels bound on the binding page, beside the channels file's (optional): a stamp that
        // changes with them, and all of them as number, channel name ("email" for e-mail) and value.
        std::function<QString()> storedStamp;
        std::function<QList<std::array<QString, 3>>()> stored;
        // The alerts of one message on one channel are being handed to the service (true), or wait
        // for another try (false); and, on start, drops the alerts an earlier run was handing over
        // when it stopped, since the service may already have them.
        std::function<void(const QStringList& keys, const QString& channel, bool sending)> sending;
        std::function<void()> dropInterrupted;
        // Runs its argument as one store transaction: a tick's claims, an outcome's settle and
        // record (optional).
        std::function<void(const std::function<void()>&)> transaction;
        // Forgets the alerts, tries and codes too old to matter, as of a real time in ms
        // (optional; called about once an hour by the process that decides).
        std::function<void(qint64 nowMs)> forget;
    };

    // A number's channels: the channels file's, then the ones bound on the page that the file does
    // not already give it (one binding per channel name, one per e-mail address).
    struct Channels {
        QList<notify::Binding> bindings;
        QStringList emails;
        bool isEmpty() const { return bindings.isEmpty() && emails.isEmpty(); }
    };

    explicit PhoneService(Hooks hooks, QObject* parent = nullptr);

    // The numbers to decide are worked out again on the next tick.
    void setChannels(const notify::ChannelsFile& file)
    {
        channels_ = file;
        activeDirty_ = true;
    }
    // Service addresses by channel name; names left out keep their real address.
    void setBases(const QHash<QString, QString>& bases);
    // Ticks every `ms` of real time (default 5 s, the program's alert tick); first sends on what an
    // earlier run claimed and did not finish, while it is under 30 minutes old.
    void start(int ms = 5000);
    void stop() { timer_.stop(); }
    // One tick now (the timer's work).
    void tick();

    Channels channelsOf(const QString& number);
    // Whether a binding of `channel` ("email" too) can be used: Telegram needs the file's bot
    // token, e-mail its [smtp] section.
    bool canUse(const QString& channel) const;
    // Sends one message once, outside the alerts (no claim, no retry, no record): the binding
    // page's confirmation codes.
    void sendOnce(const notify::Binding& binding, const notify::Message& message, std::function<void(notify::Outcome)> done);
    void sendOnceByEmail(const QString& address, const notify::Message& message, std::function<void(notify::Outcome)> done);

    // The latest tries, oldest first: at most setKeptAttempts() of them (10,000), since the
    // service runs for months; the store keeps them all for 30 days.
    const QList<Attempt>& attempts() const { return attempts_; }
    // Messages waiting for another try.
    int waiting() const { return int(retries_.size()); }

    // How long a message may take to go out before it is dropped, and the first pause before a
    // retry (doubled each time, up to five minutes). Tests shorten them.
    void setGiveUpAfter(qint64 ms) { giveUpMs_ = ms; }
    void setFirstRetryPause(qint64 ms) { firstPauseMs_ = ms; }
    void setKeptAttempts(int n) { keptAttempts_ = n; }

private:
    // One message on one channel, as long as it is being tried.
    struct Delivery {
        PhoneMessage message;
        std::optional<notify::Binding> binding;   // nothing: e-mail
        QString email;
        qint64 decidedMs = 0;
        int tries = 0;
        QString channelKey() const { return binding ? notify::channelName(binding->channel) : QStringLiteral("email:") + email; }
    };
    void resume();
    void deliver(std::shared_ptr<Delivery> d);
    void outcome(const std::shared_ptr<Delivery>& d, const notify::Outcome& out);
    // `message` cut to the alerts `channel` has not had yet; nothing when it had them all.
    std::optional<PhoneMessage> claimed(const PhoneMessage& message, const QString& channel);
    void keep(const Attempt& a);
    NumberWatch& watchOf(const QString& number);
    // The numbers to decide for this tick, their watches made or remade as their tables changed.
    QStringList prepareWatches();
    void watchAll(const QHash<QString, QString>& stamps);
    bool refreshStored();   // true when the bound channels changed
    bool hasChannels(const QString& number) const;
    Channels channelsFor(const QString& number) const;   // without reading the store again
    void atOnce(const std::function<void()>& work);
    void decide(const QDateTime& at, int elapsed, const Quotes& quotes);

    Hooks hooks_;
    notify::ChannelsFile channels_;
    QHash<QString, QString> bases_;
    notify::Sender sender_;
    notify::SmtpSender smtp_;
    QTimer timer_;
    bool busy_ = false;                                      // a batch of quotes is awaited
    bool leading_ = true;                                    // this process decides and sends
    qint64 lastTickMs_ = 0;
    qint64 lastForgetMs_ = 0;
    std::map<QString, std::unique_ptr<NumberWatch>> watches_;
    QHash<QString, size_t> seenTables_;                      // a hash of what each watch was built from
    QHash<QString, QString> seenStamps_;                     // the stamp each watch's tables had
    QHash<QString, QString> onStamps_;                       // numbers with the switch on, with their stamps
    qint64 changeCursor_ = -1;
    bool activeDirty_ = true;
    QStringList active_;                                     // numbers decided each tick
    QStringList activeCodes_;                                // every code they watch
    std::vector<NumberWatch*> activeWatches_;                // their watches, in the same order
    notify::ChannelsFile stored_;                            // the channels bound on the page
    QString storedStamp_;
    bool storedRead_ = false;
    QList<Attempt> attempts_;
    int keptAttempts_ = 10000;
    QList<std::shared_ptr<Delivery>> retries_;
    // Sends under way, and those waiting for one of them to end: a few dozen at a time keep the
    // network layer's queue short when a tick decides thousands of messages.
    int inFlight_ = 0;
    std::deque<std::shared_ptr<Delivery>> queued_;
    qint64 giveUpMs_ = 30 * 60 * 1000;
    qint64 firstPauseMs_ = 5000;
};

} // namespace server::phone

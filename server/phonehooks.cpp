#include "phonehooks.h"

#include "store.h"

#include <QSet>

namespace server::phone {

namespace {

// Many numbers watch the same few stocks with the same settings: each distinct text is kept once
// and shared, instead of once per row.
class Pool {
public:
    QString operator()(const QString& s)
    {
        const auto it = texts_.constFind(s);
        if (it != texts_.cend())
            return *it;
        texts_.insert(s);
        return s;
    }

private:
    QSet<QString> texts_;
};

MirroredTables convert(const MirroredConfig& c, Pool& pool)
{
    MirroredTables t;
    for (const QStringList& row : c.table1)   // gpmc, gpdm
        t.openClose << pool(row.value(1));
    t.rows.reserve(c.table2.size());
    for (const QStringList& row : c.table2)   // zh, ddcj, ddmm, zdf, gpmc, gpdm
        t.rows.append({pool(row.value(5)), pool(row.value(4)), pool(row.value(0)), pool(row.value(1)),
                       pool(row.value(2)), pool(row.value(3))});
    for (const QStringList& row : c.table3)   // sjjg, gpdm, gpmc
        t.intervals.append({pool(row.value(1)), pool(row.value(2)), row.value(0).toInt()});
    return t;
}

} // namespace

MirroredTables tablesFrom(const MirroredConfig& config)
{
    Pool pool;
    return convert(config, pool);
}

PhoneService::Hooks storeHooks(CompanionStore& store)
{
    PhoneService::Hooks h;
    h.numbers = [&store] {
        QStringList on;
        for (const QString& sn : store.registeredNumbers())
            if (store.config(sn).ycf == u"1")
                on << sn;
        return on;
    };
    h.tables = [&store](const QString& sn) { return tablesFrom(store.config(sn)); };
    h.stamps = [&store](const QStringList& only) { return store.phoneMirrorStamps(only); };
    h.changes = [&store](qint64* cursor) { return store.phoneMirrorChanges(cursor); };
    h.tablesOf = [&store](const QStringList& numbers) {
        const QHash<QString, MirroredConfig> configs = store.mirroredConfigs(numbers);
        QHash<QString, MirroredTables> out;
        out.reserve(configs.size());
        Pool pool;
        for (auto it = configs.cbegin(); it != configs.cend(); ++it)
            out.insert(it.key(), convert(it.value(), pool));
        return out;
    };
    h.storedStamp = [&store] { return store.phoneBindingsStamp(); };
    h.stored = [&store] {
        QList<std::array<QString, 3>> out;
        for (const CompanionStore::PhoneBinding& b : store.phoneBindings())
            out.append({b.sn, b.channel, b.value});
        return out;
    };
    h.claim = [&store](const Claim& c) {
        return store.claimAlert({c.key, c.channel, c.number, c.title, c.text, c.claimedMs});
    };
    h.settle = [&store](const QString& key, const QString& channel, bool sent) { store.settleAlert(key, channel, sent); };
    h.pending = [&store](qint64 sinceMs) {
        QList<Claim> out;
        // Taken, so another instance resuming at the same time never sends them too.
        for (const OutboxAlert& a : store.takePending(sinceMs))
            out.append({a.key, a.channel, a.sn, a.title, a.body, a.claimedMsecs});
        return out;
    };
    h.record = [&store](const Attempt& a) {
        const QString outcome = a.result == notify::Result::Sent ? QStringLiteral("sent")
                                : a.dropped                      ? QStringLiteral("dropped")
                                                                 : QStringLiteral("retry");
        store.recordAttempt(a.number, a.channel, a.key, a.time.toMSecsSinceEpoch(), outcome, a.code);
    };
    h.sending = [&store](const QStringList& keys, const QString& channel, bool sending) {
        store.markAlerts(keys, channel, sending ? QStringLiteral("sending") : QStringLiteral("pending"));
    };
    h.dropInterrupted = [&store] { store.dropInterruptedAlerts(); };
    h.forget = [&store](qint64 nowMs) { store.forgetOldAlertHistory(nowMs); };
    h.transaction = [&store](const std::function<void()>& work) { store.inTransaction(work); };
    h.lead = [&store] { return store.tryLead(QStringLiteral("phone-alerts")); };
    return h;
}

} // namespace server::phone

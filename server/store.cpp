#include "store.h"

#include "store.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>

namespace server {

namespace {

struct TableInfo {
    const char* name;
    QStringList fields;
};

// Table n of the client is tables()[n - 1]. Column names are the form fields that fill them.
const QList<TableInfo>& tables()
{
    static const QList<TableInfo> all{
        {"open_close_alerts", {QStringLiteral("gpmc"), QStringLiteral("gpdm")}},
        {"trade_alerts",
         {QStringLiteral("zh"), QStringLiteral("ddcj"), QStringLiteral("ddmm"), QStringLiteral("zdf"),
          QStringLiteral("gpmc"), QStringLiteral("gpdm")}},
        {"broadcasts", {QStringLiteral("sjjg"), QStringLiteral("gpdm"), QStringLiteral("gpmc")}},
    };
    return all;
}

bool validTable(int table)
{
    return table >= 1 && table <= CompanionStore::kTables;
}

// Qt binds a null QString as SQL NULL; the value columns hold text, so an absent field is "".
QString nonNull(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

// Prepares `sql`, binds `values` to its placeholders in order and runs it.
bool run(QSqlQuery& query, const QString& sql, const QVariantList& values = {})
{
    if (!query.prepare(sql)) {
        qWarning("huilan-sandbox: cannot prepare \"%s\": %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return false;
    }
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        qWarning("huilan-sandbox: \"%s\" failed: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}

// Rolls back unless commit() was reached, so an early return leaves nothing half done.
class Transaction {
public:
    explicit Transaction(QSqlDatabase& db) : db_(db), open_(db.transaction()) {}
    ~Transaction()
    {
        if (open_)
            db_.rollback();
    }
    bool isOpen() const { return open_; }
    bool commit()
    {
        if (!open_)
            return false;
        open_ = false;
        if (db_.commit())
            return true;
        db_.rollback();
        return false;
    }

private:
    QSqlDatabase& db_;
    bool open_;
};

const char* const kSchema[] = {
    // A number is registered once /gpaddsj.asp accepted it; id keeps the order of registration.
    "CREATE TABLE IF NOT EXISTS registrations ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL UNIQUE, registered_at INTEGER NOT NULL)",
    // Whether alerts go to the phone, "1" or "0", as /gpycf.asp last set it.
    "CREATE TABLE IF NOT EXISTS switches (sn TEXT PRIMARY KEY, ycf TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS open_close_alerts ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL, gpmc TEXT NOT NULL, gpdm TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS trade_alerts ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL, zh TEXT NOT NULL, ddcj TEXT NOT NULL,"
    " ddmm TEXT NOT NULL, zdf TEXT NOT NULL, gpmc TEXT NOT NULL, gpdm TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS broadcasts ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL, sjjg TEXT NOT NULL, gpdm TEXT NOT NULL,"
    " gpmc TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS open_close_alerts_sn ON open_close_alerts (sn, id)",
    "CREATE INDEX IF NOT EXISTS trade_alerts_sn ON trade_alerts (sn, id)",
    "CREATE INDEX IF NOT EXISTS broadcasts_sn ON broadcasts (sn, id)",
    // Times are milliseconds since the epoch, so they mean the same after a time-zone change.
    "CREATE TABLE IF NOT EXISTS online_clients (address TEXT PRIMARY KEY, last_seen INTEGER NOT NULL)",
    // The recommendation board; day is the posting date, for the posts-per-day limit.
    "CREATE TABLE IF NOT EXISTS recommendations ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT NOT NULL, code TEXT NOT NULL,"
    " name TEXT NOT NULL, reason TEXT NOT NULL, posted_at INTEGER NOT NULL, day TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS recommendations_day ON recommendations (address, day)",
    // Phone alerts: each alert handed to a channel once (its key names the number, kind, stock,
    // day and slot), kept before it is sent so a restart never sends it again; and every try.
    "CREATE TABLE IF NOT EXISTS phone_outbox ("
    " alert_key TEXT NOT NULL, channel TEXT NOT NULL, sn TEXT NOT NULL, title TEXT NOT NULL, body TEXT NOT NULL,"
    " claimed_at INTEGER NOT NULL, state TEXT NOT NULL, PRIMARY KEY (alert_key, channel))",
    "CREATE INDEX IF NOT EXISTS phone_outbox_pending ON phone_outbox (state, claimed_at)",
    "CREATE TABLE IF NOT EXISTS phone_attempts ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL, channel TEXT NOT NULL, alert_key TEXT NOT NULL,"
    " tried_at INTEGER NOT NULL, outcome TEXT NOT NULL, code TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS phone_attempts_sn ON phone_attempts (sn, id)",
    "PRAGMA user_version = 1",
};

// Creates what is missing; returns why it could not, or an empty string.
QString createSchema(QSqlDatabase& db)
{
    QSqlQuery q(db);
    // Every request updates the online table; a write-ahead log without a sync per commit keeps
    // that cheap, while a crash loses at most the last few updates.
    run(q, QStringLiteral("PRAGMA journal_mode = WAL"));
    run(q, QStringLiteral("PRAGMA synchronous = NORMAL"));
    Transaction tx(db);
    if (!tx.isOpen())
        return db.lastError().text();
    for (const char* statement : kSchema)
        if (!run(q, QString::fromLatin1(statement)))
            return QStringLiteral("cannot create the tables: %1").arg(q.lastError().text());
    q.finish();
    return tx.commit() ? QString() : QStringLiteral("cannot save the tables: %1").arg(db.lastError().text());
}

} // namespace

QStringList CompanionStore::tableFields(int table)
{
    return validTable(table) ? tables()[table - 1].fields : QStringList();
}

CompanionStore::CompanionStore() = default;

CompanionStore::~CompanionStore()
{
    close();
}

bool CompanionStore::open(const QString& file, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    close();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("the Qt SQLite driver (QSQLITE) is not available"));

    // Each store has its own connection, so two sandboxes in one process never share one.
    static std::atomic<quint64> opened{0};
    const QString name = QStringLiteral("huilan-sandbox-companion-%1").arg(++opened);
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            problem = db.lastError().text();
        else
            problem = createSchema(db);
        if (!problem.isEmpty())
            db.close();
    }
    if (!problem.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        return fail(QStringLiteral("cannot open the database %1: %2").arg(file, problem));
    }
    connection_ = name;
    return true;
}

void CompanionStore::close()
{
    if (connection_.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

bool CompanionStore::isOpen() const
{
    return !connection_.isEmpty();
}

CompanionStore::Registration CompanionStore::registerNumber(const QString& sn)
{
    if (!isOpen())
        return Registration::Failed;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    // One statement decides and inserts, so two requests for one number cannot both succeed.
    if (!run(q,
             QStringLiteral("INSERT INTO registrations (sn, registered_at) VALUES (?, ?) "
                            "ON CONFLICT (sn) DO NOTHING"),
             {nonNull(sn), QDateTime::currentMSecsSinceEpoch()}))
        return Registration::Failed;
    return q.numRowsAffected() > 0 ? Registration::Added : Registration::Exists;
}

bool CompanionStore::setSwitch(const QString& sn, const QString& ycf)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q,
               QStringLiteral("INSERT INTO switches (sn, ycf) VALUES (?, ?) "
                              "ON CONFLICT (sn) DO UPDATE SET ycf = excluded.ycf"),
               {nonNull(sn), nonNull(ycf)});
}

bool CompanionStore::clearRows(int table, const QString& sn)
{
    if (!isOpen() || !validTable(table))
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q, QStringLiteral("DELETE FROM %1 WHERE sn = ?").arg(QLatin1String(tables()[table - 1].name)),
               {nonNull(sn)});
}

bool CompanionStore::addRow(int table, const QString& sn, const QStringList& values)
{
    if (!isOpen() || !validTable(table))
        return false;
    const TableInfo& info = tables()[table - 1];
    if (values.size() != info.fields.size())
        return false;
    QVariantList bound{nonNull(sn)};
    QStringList marks{QStringLiteral("?")};
    for (const QString& v : values) {
        bound << nonNull(v);
        marks << QStringLiteral("?");
    }
    // Only the table and column names, fixed above, are written into the statement.
    const QString sql = QStringLiteral("INSERT INTO %1 (sn, %2) VALUES (%3)")
                            .arg(QLatin1String(info.name), info.fields.join(QStringLiteral(", ")),
                                 marks.join(QStringLiteral(", ")));
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q, sql, bound);
}

MirroredConfig CompanionStore::config(const QString& sn) const
{
    MirroredConfig out;
    if (!isOpen())
        return out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // One read transaction: the answer is a single moment's state.
    Transaction tx(db);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (run(q, QStringLiteral("SELECT 1 FROM registrations WHERE sn = ?"), {nonNull(sn)}))
        out.registered = q.next();
    if (run(q, QStringLiteral("SELECT ycf FROM switches WHERE sn = ?"), {nonNull(sn)}) && q.next())
        out.ycf = q.value(0).toString();
    QList<QStringList>* rows[kTables] = {&out.table1, &out.table2, &out.table3};
    for (int t = 0; t < kTables; ++t) {
        const TableInfo& info = tables()[t];
        const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE sn = ? ORDER BY id")
                                .arg(info.fields.join(QStringLiteral(", ")), QLatin1String(info.name));
        if (!run(q, sql, {nonNull(sn)}))
            continue;
        while (q.next()) {
            QStringList row;
            for (qsizetype i = 0; i < info.fields.size(); ++i)
                row << q.value(int(i)).toString();
            rows[t]->append(row);
        }
    }
    q.finish();
    tx.commit();
    return out;
}

QStringList CompanionStore::registeredNumbers() const
{
    QStringList out;
    if (!isOpen())
        return out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (run(q, QStringLiteral("SELECT sn FROM registrations ORDER BY id")))
        while (q.next())
            out << q.value(0).toString();
    return out;
}

bool CompanionStore::clientSeen(const QString& address, qint64 msecs)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q,
               QStringLiteral("INSERT INTO online_clients (address, last_seen) VALUES (?, ?) "
                              "ON CONFLICT (address) DO UPDATE SET last_seen = MAX(last_seen, excluded.last_seen)"),
               {nonNull(address), msecs});
}

int CompanionStore::clientsSince(qint64 cutoffMsecs)
{
    if (!isOpen())
        return 0;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Transaction tx(db);
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("DELETE FROM online_clients WHERE last_seen < ?"), {cutoffMsecs}))
        return 0;
    if (!run(q, QStringLiteral("SELECT COUNT(*) FROM online_clients")) || !q.next())
        return 0;
    const int count = q.value(0).toInt();
    q.finish();
    tx.commit();
    return count;
}

CompanionStore::Post CompanionStore::addRecommendation(const StoredRecommendation& r, const QString& day,
                                                       int perDay)
{
    if (!isOpen())
        return Post::Failed;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Transaction tx(db);
    if (!tx.isOpen())
        return Post::Failed;
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT COUNT(*) FROM recommendations WHERE address = ? AND day = ?"),
             {nonNull(r.address), nonNull(day)})
        || !q.next())
        return Post::Failed;
    if (q.value(0).toInt() >= perDay)
        return Post::OverLimit;
    if (!run(q,
             QStringLiteral("INSERT INTO recommendations (address, code, name, reason, posted_at, day) "
                            "VALUES (?, ?, ?, ?, ?, ?)"),
             {nonNull(r.address), nonNull(r.code), nonNull(r.name), nonNull(r.reason), r.postedMsecs, nonNull(day)}))
        return Post::Failed;
    q.finish();
    return tx.commit() ? Post::Added : Post::Failed;
}

QList<StoredRecommendation> CompanionStore::recommendations(int limit) const
{
    QList<StoredRecommendation> out;
    if (!isOpen())
        return out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!run(q,
             QStringLiteral("SELECT address, code, name, reason, posted_at FROM recommendations "
                            "ORDER BY id DESC LIMIT ?"),
             {limit < 0 ? -1 : limit}))
        return out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                    q.value(4).toLongLong()});
    return out;
}

int CompanionStore::recommendationCount() const
{
    if (!isOpen())
        return 0;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT COUNT(*) FROM recommendations")) || !q.next())
        return 0;
    return q.value(0).toInt();
}

bool CompanionStore::claimAlert(const OutboxAlert& a)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    // One statement decides and inserts, so two senders never both claim one alert.
    return run(q,
               QStringLiteral("INSERT INTO phone_outbox (alert_key, channel, sn, title, body, claimed_at, state) "
                              "VALUES (?, ?, ?, ?, ?, ?, 'pending') ON CONFLICT (alert_key, channel) DO NOTHING"),
               {nonNull(a.key), nonNull(a.channel), nonNull(a.sn), nonNull(a.title), nonNull(a.body), a.claimedMsecs})
           && q.numRowsAffected() > 0;
}

bool CompanionStore::settleAlert(const QString& key, const QString& channel, bool sent)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q, QStringLiteral("UPDATE phone_outbox SET state = ? WHERE alert_key = ? AND channel = ?"),
               {sent ? QStringLiteral("sent") : QStringLiteral("dropped"), nonNull(key), nonNull(channel)});
}

QList<OutboxAlert> CompanionStore::pendingAlerts(qint64 sinceMsecs) const
{
    QList<OutboxAlert> out;
    if (!isOpen())
        return out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!run(q,
             QStringLiteral("SELECT alert_key, channel, sn, title, body, claimed_at FROM phone_outbox "
                            "WHERE state = 'pending' AND claimed_at >= ? ORDER BY claimed_at, rowid"),
             {sinceMsecs}))
        return out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                    q.value(4).toString(), q.value(5).toLongLong()});
    return out;
}

bool CompanionStore::recordAttempt(const QString& sn, const QString& channel, const QString& key, qint64 msecs,
                                   const QString& outcome, const QString& code)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q,
               QStringLiteral("INSERT INTO phone_attempts (sn, channel, alert_key, tried_at, outcome, code) "
                              "VALUES (?, ?, ?, ?, ?, ?)"),
               {nonNull(sn), nonNull(channel), nonNull(key), msecs, nonNull(outcome), nonNull(code)});
}

int CompanionStore::attemptCount(const QString& sn) const
{
    if (!isOpen())
        return 0;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT COUNT(*) FROM phone_attempts WHERE sn = ?"), {nonNull(sn)}) || !q.next())
        return 0;
    return q.value(0).toInt();
}

} // namespace server

// ---- Push channels bound from the binding page, their confirmation codes, and the bulk reads the
// ---- phone alerts' tick makes.

#include <QCryptographicHash>
#include <QSet>

namespace server {

namespace {

const char* const kBindingSchema[] = {
    // One channel of a number bound on the binding page; id is never reused, so a count and a sum
    // of ids tell whether the set changed.
    "CREATE TABLE IF NOT EXISTS phone_bindings ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL, channel TEXT NOT NULL, value TEXT NOT NULL,"
    " bound_at INTEGER NOT NULL, UNIQUE (sn, channel))",
    // Confirmation codes, kept hashed; state is open, used or void. Rows stay after use, so the
    // hourly limit counts every code sent.
    "CREATE TABLE IF NOT EXISTS phone_codes ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL, action TEXT NOT NULL, channel TEXT NOT NULL,"
    " value TEXT NOT NULL, salt BLOB NOT NULL, hash BLOB NOT NULL, created_at INTEGER NOT NULL,"
    " expires_at INTEGER NOT NULL, wrong INTEGER NOT NULL DEFAULT 0, state TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS phone_codes_sn ON phone_codes (sn, created_at)",
    // Every number whose registration, switch or mirrored rows changed, in order, so the phone
    // alerts' tick reads only what changed since its last look. Filled by triggers, whoever writes.
    "CREATE TABLE IF NOT EXISTS phone_mirror_log (id INTEGER PRIMARY KEY AUTOINCREMENT, sn TEXT NOT NULL)",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_registrations AFTER INSERT ON registrations"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_switches_in AFTER INSERT ON switches"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_switches_up AFTER UPDATE ON switches"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_open_close_in AFTER INSERT ON open_close_alerts"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_open_close_out AFTER DELETE ON open_close_alerts"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_trade_in AFTER INSERT ON trade_alerts"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_trade_out AFTER DELETE ON trade_alerts"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_broadcasts_in AFTER INSERT ON broadcasts"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
    "CREATE TRIGGER IF NOT EXISTS phone_mirror_broadcasts_out AFTER DELETE ON broadcasts"
    " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn); END",
};

// The log keeps this many of the latest changes; a reader further behind reads everything again.
constexpr qint64 kMirrorLogKept = 1000000;

} // namespace

bool CompanionStore::bindingTables() const
{
    if (!isOpen())
        return false;
    if (bindingTablesFor_ == connection_)
        return true;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    for (const char* statement : kBindingSchema)
        if (!run(q, QString::fromLatin1(statement)))
            return false;
    bindingTablesFor_ = connection_;
    return true;
}

QList<CompanionStore::PhoneBinding> CompanionStore::phoneBindings(const QString& sn) const
{
    QList<PhoneBinding> out;
    if (!bindingTables())
        return out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool all = sn.isNull();
    if (!run(q,
             all ? QStringLiteral("SELECT sn, channel, value FROM phone_bindings ORDER BY id")
                 : QStringLiteral("SELECT sn, channel, value FROM phone_bindings WHERE sn = ? ORDER BY id"),
             all ? QVariantList{} : QVariantList{sn}))
        return out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
    return out;
}

QString CompanionStore::phoneBindingsStamp() const
{
    if (!bindingTables())
        return QString();
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT COUNT(*), IFNULL(SUM(id), 0) FROM phone_bindings")) || !q.next())
        return QString();
    return q.value(0).toString() + u':' + q.value(1).toString();
}

bool CompanionStore::addPhoneBinding(const PhoneBinding& b, qint64 msecs)
{
    if (!bindingTables())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    return run(q,
               QStringLiteral("INSERT INTO phone_bindings (sn, channel, value, bound_at) VALUES (?, ?, ?, ?) "
                              "ON CONFLICT (sn, channel) DO NOTHING"),
               {nonNull(b.sn), nonNull(b.channel), nonNull(b.value), msecs})
           && q.numRowsAffected() > 0;
}

int CompanionStore::phoneCodesSince(const QString& sn, qint64 sinceMsecs) const
{
    if (!bindingTables())
        return 0;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT COUNT(*) FROM phone_codes WHERE sn = ? AND created_at >= ?"),
             {nonNull(sn), sinceMsecs})
        || !q.next())
        return 0;
    return q.value(0).toInt();
}

bool CompanionStore::addPhoneCode(const PhoneCode& c, qint64 msecs)
{
    if (!bindingTables())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Transaction tx(db);
    QSqlQuery q(db);
    if (!tx.isOpen() || !run(q, QStringLiteral("UPDATE phone_codes SET state = 'void' WHERE sn = ? AND state = 'open'"), {nonNull(c.sn)})
        || !run(q,
                QStringLiteral("INSERT INTO phone_codes (sn, action, channel, value, salt, hash, created_at, expires_at, "
                               "wrong, state) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, 'open')"),
                {nonNull(c.sn), nonNull(c.action), nonNull(c.channel), nonNull(c.value), c.salt, c.hash, msecs,
                 c.expiresMsecs}))
        return false;
    q.finish();
    return tx.commit();
}

QByteArray CompanionStore::phoneCodeHash(const QByteArray& salt, const QString& sn, const QString& code)
{
    return QCryptographicHash::hash(salt + sn.toUtf8() + '|' + code.toUtf8(), QCryptographicHash::Sha256);
}

CompanionStore::CodeCheck CompanionStore::checkPhoneCode(const QString& sn, const QString& code, qint64 nowMsecs,
                                                         int maxWrong, int* wrongLeft)
{
    if (!bindingTables())
        return CodeCheck::Failed;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // The check, the count of a wrong code and the binding are one transaction, so two answers at
    // once cannot both use one code or both slip under the limit.
    Transaction tx(db);
    if (!tx.isOpen())
        return CodeCheck::Failed;
    QSqlQuery q(db);
    if (!run(q,
             QStringLiteral("SELECT id, action, channel, value, salt, hash, expires_at, wrong FROM phone_codes "
                            "WHERE sn = ? AND state = 'open' ORDER BY id DESC LIMIT 1"),
             {nonNull(sn)}))
        return CodeCheck::Failed;
    if (!q.next())
        return CodeCheck::None;
    const qint64 id = q.value(0).toLongLong();
    const QString action = q.value(1).toString();
    const QString channel = q.value(2).toString();
    const QString value = q.value(3).toString();
    const QByteArray salt = q.value(4).toByteArray();
    const QByteArray hash = q.value(5).toByteArray();
    const qint64 expires = q.value(6).toLongLong();
    const int wrong = q.value(7).toInt();
    q.finish();
    auto finish = [&](const char* state) {
        return run(q, QStringLiteral("UPDATE phone_codes SET state = ? WHERE id = ?"), {QString::fromLatin1(state), id});
    };
    if (nowMsecs >= expires) {
        finish("void");
        q.finish();
        return tx.commit() ? CodeCheck::Spent : CodeCheck::Failed;
    }
    if (phoneCodeHash(salt, sn, code) != hash) {
        const int now = wrong + 1;
        if (!run(q, QStringLiteral("UPDATE phone_codes SET wrong = ?, state = ? WHERE id = ?"),
                 {now, now >= maxWrong ? QStringLiteral("void") : QStringLiteral("open"), id}))
            return CodeCheck::Failed;
        if (wrongLeft)
            *wrongLeft = std::max(0, maxWrong - now);
        q.finish();
        return tx.commit() ? (now >= maxWrong ? CodeCheck::Spent : CodeCheck::Wrong) : CodeCheck::Failed;
    }
    if (!finish("used"))
        return CodeCheck::Failed;
    if (action == QLatin1String("bind")) {
        if (!run(q,
                 QStringLiteral("INSERT INTO phone_bindings (sn, channel, value, bound_at) VALUES (?, ?, ?, ?) "
                                "ON CONFLICT (sn, channel) DO UPDATE SET value = excluded.value, bound_at = excluded.bound_at"),
                 {nonNull(sn), nonNull(channel), nonNull(value), nowMsecs}))
            return CodeCheck::Failed;
    } else if (!run(q, QStringLiteral("DELETE FROM phone_bindings WHERE sn = ? AND channel = ?"), {nonNull(sn), nonNull(channel)})) {
        return CodeCheck::Failed;
    }
    q.finish();
    if (!tx.commit())
        return CodeCheck::Failed;
    return action == QLatin1String("bind") ? CodeCheck::Bound : CodeCheck::Unbound;
}

QStringList CompanionStore::phoneMirrorChanges(qint64* cursor)
{
    QStringList out;
    if (!bindingTables())
        return out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (*cursor < 0) {
        if (run(q, QStringLiteral("SELECT IFNULL(MAX(id), 0) FROM phone_mirror_log")) && q.next())
            *cursor = q.value(0).toLongLong();
        return out;
    }
    // Fallen further behind than the log keeps: everything may have changed.
    if (run(q, QStringLiteral("SELECT IFNULL(MIN(id), 0) FROM phone_mirror_log")) && q.next() && q.value(0).toLongLong() > *cursor + 1) {
        *cursor = -1;
        return out;
    }
    if (!run(q, QStringLiteral("SELECT id, sn FROM phone_mirror_log WHERE id > ? ORDER BY id"), {*cursor}))
        return out;
    QSet<QString> seen;
    while (q.next()) {
        *cursor = q.value(0).toLongLong();
        const QString sn = q.value(1).toString();
        if (!seen.contains(sn)) {
            seen.insert(sn);
            out << sn;
        }
    }
    q.finish();
    run(q, QStringLiteral("DELETE FROM phone_mirror_log WHERE id <= ?"), {*cursor - kMirrorLogKept});
    return out;
}

QHash<QString, QString> CompanionStore::phoneMirrorStamps(const QStringList& only) const
{
    QHash<QString, QString> out;
    if (!isOpen())
        return out;
    if (!only.isEmpty()) {
        // A few numbers at a time, so the statement stays under SQLite's limit of bound values.
        for (qsizetype i = 0; i < only.size(); i += 500) {
            const QHash<QString, QString> part = phoneMirrorStampsOf(only.mid(i, 500));
            out.insert(part);
        }
        return out;
    }
    return phoneMirrorStampsOf({});
}

QHash<QString, QString> CompanionStore::phoneMirrorStampsOf(const QStringList& sns) const
{
    QHash<QString, QString> out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // Row ids are never reused, so a table's count and id sum for a number change with every row
    // added or removed; each sub-select walks the number's part of the (sn, id) index.
    QStringList parts;
    for (const TableInfo& t : tables())
        parts << QStringLiteral("(SELECT COUNT(*) || ':' || IFNULL(SUM(id), 0) FROM %1 WHERE %1.sn = s.sn)")
                     .arg(QLatin1String(t.name));
    QStringList marks;
    QVariantList values;
    for (const QString& sn : sns) {
        marks << QStringLiteral("?");
        values << sn;
    }
    const QString only = sns.isEmpty() ? QString() : QStringLiteral(" AND s.sn IN (%1)").arg(marks.join(u','));
    if (!run(q,
             QStringLiteral("SELECT s.sn, %1 || '/' || %2 || '/' || %3 FROM switches s "
                            "JOIN registrations r ON r.sn = s.sn WHERE s.ycf = '1'%4")
                 .arg(parts[0], parts[1], parts[2], only),
             values))
        return out;
    out.reserve(q.size() > 0 ? q.size() : 1024);
    while (q.next())
        out.insert(q.value(0).toString(), q.value(1).toString());
    return out;
}

QHash<QString, MirroredConfig> CompanionStore::mirroredConfigs(const QStringList& sns) const
{
    QHash<QString, MirroredConfig> out;
    if (!isOpen() || sns.isEmpty())
        return out;
    out.reserve(sns.size());
    for (const QString& sn : sns)
        out.insert(sn, MirroredConfig{});
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Transaction tx(db);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // Many numbers: each table read once whole, rows of other numbers skipped. A few: the table's
    // statement prepared once and run for each.
    const bool whole = sns.size() > 200;
    for (int t = 0; t < kTables; ++t) {
        const TableInfo& info = tables()[t];
        const QString columns = info.fields.join(QStringLiteral(", "));
        auto take = [&] {
            while (q.next()) {
                const auto it = out.find(q.value(0).toString());
                if (it == out.end())
                    continue;
                QStringList row;
                row.reserve(info.fields.size());
                for (qsizetype i = 0; i < info.fields.size(); ++i)
                    row << q.value(int(i + 1)).toString();
                QList<QStringList>& rows = t == 0 ? it->table1 : t == 1 ? it->table2 : it->table3;
                rows.append(std::move(row));
            }
        };
        if (whole) {
            if (run(q, QStringLiteral("SELECT sn, %1 FROM %2 ORDER BY sn, id").arg(columns, QLatin1String(info.name))))
                take();
            continue;
        }
        if (!q.prepare(QStringLiteral("SELECT sn, %1 FROM %2 WHERE sn = ? ORDER BY id").arg(columns, QLatin1String(info.name))))
            continue;
        for (const QString& sn : sns) {
            q.addBindValue(sn);
            if (q.exec())
                take();
        }
    }
    q.finish();
    tx.commit();
    return out;
}

bool CompanionStore::markAlerts(const QStringList& keys, const QString& channel, const QString& state)
{
    if (!isOpen() || keys.isEmpty())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    QVariantList values{nonNull(state), nonNull(channel)};
    QStringList marks;
    for (const QString& k : keys) {
        values << nonNull(k);
        marks << QStringLiteral("?");
    }
    return run(q,
               QStringLiteral("UPDATE phone_outbox SET state = ? WHERE channel = ? AND state IN ('pending', 'sending') "
                              "AND alert_key IN (%1)")
                   .arg(marks.join(u',')),
               values);
}

int CompanionStore::dropInterruptedAlerts()
{
    if (!isOpen())
        return 0;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("UPDATE phone_outbox SET state = 'dropped' WHERE state = 'sending'")))
        return 0;
    return q.numRowsAffected();
}

bool CompanionStore::inTransaction(const std::function<void()>& work)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {   // already in one
        work();
        return true;
    }
    work();
    if (db.commit())
        return true;
    db.rollback();
    return false;
}

} // namespace server

#include "store.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

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

// Prepares `sql`, binds `values` to its placeholders in order and runs it. A statement without
// values runs as it is: PostgreSQL prepares no table definitions.
bool run(QSqlQuery& query, const QString& sql, const QVariantList& values = {})
{
    if (values.isEmpty()) {
        if (query.exec(sql))
            return true;
        qWarning("huilan-server: \"%s\" failed: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return false;
    }
    if (!query.prepare(sql)) {
        qWarning("huilan-server: cannot prepare \"%s\": %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return false;
    }
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        qWarning("huilan-server: \"%s\" failed: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}

bool run(QSqlQuery& query, const char* sql, const QVariantList& values = {})
{
    return run(query, QString::fromLatin1(sql), values);
}

// The statements that bring a database from version n to n + 1 are kUpgrades[n]. One dialect
// serves SQLite and PostgreSQL; only "{id}", an increasing row number, is spelled per database.
// Times are milliseconds since the epoch, so they mean the same after a time-zone change.
const QList<QList<const char*>> kUpgrades{
    // 0 to 1: the tables as the first version of the server made them (without a version table).
    {
        // A number is registered once /gpaddsj.asp accepted it; id keeps the order of registration.
        "CREATE TABLE IF NOT EXISTS registrations ({id}, sn TEXT NOT NULL UNIQUE, registered_at BIGINT NOT NULL)",
        // Whether alerts go to the phone, "1" or "0", as /gpycf.asp last set it.
        "CREATE TABLE IF NOT EXISTS switches (sn TEXT PRIMARY KEY, ycf TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS open_close_alerts ({id}, sn TEXT NOT NULL, gpmc TEXT NOT NULL, gpdm TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS trade_alerts ({id}, sn TEXT NOT NULL, zh TEXT NOT NULL, ddcj TEXT NOT NULL,"
        " ddmm TEXT NOT NULL, zdf TEXT NOT NULL, gpmc TEXT NOT NULL, gpdm TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS broadcasts ({id}, sn TEXT NOT NULL, sjjg TEXT NOT NULL, gpdm TEXT NOT NULL,"
        " gpmc TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS open_close_alerts_sn ON open_close_alerts (sn, id)",
        "CREATE INDEX IF NOT EXISTS trade_alerts_sn ON trade_alerts (sn, id)",
        "CREATE INDEX IF NOT EXISTS broadcasts_sn ON broadcasts (sn, id)",
        "CREATE TABLE IF NOT EXISTS online_clients (address TEXT PRIMARY KEY, last_seen BIGINT NOT NULL)",
        // The recommendation board; day is the posting date, for the posts-per-day limit.
        "CREATE TABLE IF NOT EXISTS recommendations ({id}, address TEXT NOT NULL, code TEXT NOT NULL,"
        " name TEXT NOT NULL, reason TEXT NOT NULL, posted_at BIGINT NOT NULL, day TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS recommendations_day ON recommendations (address, day)",
        // Phone alerts: each alert handed to a channel once (its key names the number, kind, stock,
        // day and slot), kept before it is sent so a restart never sends it again; and every try.
        "CREATE TABLE IF NOT EXISTS phone_outbox ("
        " alert_key TEXT NOT NULL, channel TEXT NOT NULL, sn TEXT NOT NULL, title TEXT NOT NULL, body TEXT NOT NULL,"
        " claimed_at BIGINT NOT NULL, state TEXT NOT NULL, PRIMARY KEY (alert_key, channel))",
        "CREATE INDEX IF NOT EXISTS phone_outbox_pending ON phone_outbox (state, claimed_at)",
        "CREATE TABLE IF NOT EXISTS phone_attempts ({id}, sn TEXT NOT NULL, channel TEXT NOT NULL,"
        " alert_key TEXT NOT NULL, tried_at BIGINT NOT NULL, outcome TEXT NOT NULL, code TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS phone_attempts_sn ON phone_attempts (sn, id)",
    },
    // 1 to 2: the version row, and counters raised in the transaction that inserts, so servers
    // sharing a database keep the daily post limit and the row cap without racing.
    {
        "CREATE TABLE schema_version (id INTEGER PRIMARY KEY CHECK (id = 1), version INTEGER NOT NULL)",
        "CREATE TABLE post_counts (address TEXT NOT NULL, day TEXT NOT NULL, n INTEGER NOT NULL,"
        " PRIMARY KEY (address, day))",
        "INSERT INTO post_counts (address, day, n) SELECT address, day, COUNT(*) FROM recommendations"
        " GROUP BY address, day",
        "CREATE TABLE row_counts (sn TEXT NOT NULL, tbl INTEGER NOT NULL, n INTEGER NOT NULL, PRIMARY KEY (sn, tbl))",
        "INSERT INTO row_counts (sn, tbl, n) SELECT sn, 1, COUNT(*) FROM open_close_alerts GROUP BY sn",
        "INSERT INTO row_counts (sn, tbl, n) SELECT sn, 2, COUNT(*) FROM trade_alerts GROUP BY sn",
        "INSERT INTO row_counts (sn, tbl, n) SELECT sn, 3, COUNT(*) FROM broadcasts GROUP BY sn",
        // The order alerts were claimed in, which PostgreSQL keeps no row number for; rows claimed
        // before have 0.
        "ALTER TABLE phone_outbox ADD COLUMN seq BIGINT NOT NULL DEFAULT 0",
        "CREATE INDEX phone_outbox_seq ON phone_outbox (seq)",
    },
};
static_assert(CompanionStore::kSchemaVersion == 2, "kUpgrades must lead up to kSchemaVersion");

// Where a database is and how to reach it.
struct Target {
    CompanionStore::Backend backend = CompanionStore::Backend::None;
    QString file;   // SQLite
    QString user, password, host, name;
    int port = 5432;
    QString shown;   // for messages: without the password
};

Target parseTarget(const QString& database, QString* problem)
{
    Target t;
    if (database.startsWith(QLatin1String("postgresql://")) || database.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(database, QUrl::StrictMode);
        if (!url.isValid()) {
            *problem = QStringLiteral("not a database address: %1").arg(url.errorString());
            return t;
        }
        t.backend = CompanionStore::Backend::PostgreSQL;
        t.user = url.userName(QUrl::FullyDecoded);
        t.password = url.password(QUrl::FullyDecoded);
        t.host = url.host(QUrl::FullyDecoded);
        t.port = url.port(5432);
        t.name = url.path(QUrl::FullyDecoded).mid(1);
        const QUrlQuery query(url);
        if (query.hasQueryItem(QStringLiteral("host")))
            t.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
        if (t.name.isEmpty() || t.name.contains(u'/'))
            *problem = QStringLiteral("no database name after the host");
        QUrl shown = url;
        shown.setPassword(QString());
        t.shown = shown.toString();
        return t;
    }
    t.backend = CompanionStore::Backend::SQLite;
    t.file = database.startsWith(QLatin1String("sqlite:")) ? database.mid(7) : database;
    if (t.file.isEmpty())
        *problem = QStringLiteral("no file name");
    t.shown = t.file;
    return t;
}

QString statementFor(const char* sql, CompanionStore::Backend backend)
{
    QString s = QString::fromLatin1(sql);
    s.replace(QLatin1String("{id}"), backend == CompanionStore::Backend::PostgreSQL
                                         ? QLatin1String("id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                                         : QLatin1String("id INTEGER PRIMARY KEY AUTOINCREMENT"));
    return s;
}

// The version the database's tables have: 0 for an empty database, 1 for the tables of the first
// server (no version table yet); -1 when it cannot be read.
int schemaVersion(QSqlDatabase& db, QSqlQuery& q)
{
    const QStringList names = db.tables();
    if (names.contains(QLatin1String("schema_version"))) {
        if (!run(q, "SELECT version FROM schema_version WHERE id = 1") || !q.next())
            return -1;
        return q.value(0).toInt();
    }
    if (db.lastError().isValid() && names.isEmpty())
        return -1;
    return names.contains(QLatin1String("registrations")) ? 1 : 0;
}

// A 64-bit key for an advisory lock, the same in every process.
qint64 leadKey(const QString& name)
{
    const QByteArray digest =
        QCryptographicHash::hash(("huilan-lead:" + name).toUtf8(), QCryptographicHash::Sha1);
    qint64 key = 0;
    for (int i = 0; i < 8; ++i)
        key = (key << 8) | quint8(digest[i]);
    return key;
}

// Taken before a PostgreSQL database's tables are looked at, so two servers starting together
// upgrade them one after the other.
constexpr qint64 kUpgradeLockKey = 0x6875696c616e3031;   // "huilan01"

} // namespace

QStringList CompanionStore::tableFields(int table)
{
    return validTable(table) ? tables()[table - 1].fields : QStringList();
}

bool CompanionStore::acceptsValue(const QString& field, const QString& value)
{
    for (const QChar c : value)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    // The client reads and writes GBK; what it cannot hold would come back as '?'.
    QStringEncoder gbk("GBK", QStringEncoder::Flag::Stateless);
    (void)QByteArray(gbk.encode(value));
    if (!gbk.isValid() || gbk.hasError())
        return false;

    static const QRegularExpression phoneNumber(QStringLiteral("\\A[0-9]{11}\\z"));
    static const QRegularExpression code(QStringLiteral("\\A[0-9]{6}\\z"));
    static const QRegularExpression switches(QStringLiteral("\\A[01]{4}\\z"));   // four on/off switches
    // digit counts, empty while that switch is off
    static const QRegularExpression counts(QStringLiteral("\\A[0-9]*\\z"));
    static const QRegularExpression percentage(QStringLiteral("\\A(?:[-+]?[0-9]*\\.?[0-9]+)?\\z"));
    static const QRegularExpression minutes(QStringLiteral("\\A[0-9]+\\z"));   // minutes between broadcasts
    auto matches = [&value](const QRegularExpression& re) { return re.match(value).hasMatch(); };
    if (field == QLatin1String("sn"))
        return matches(phoneNumber);
    if (field == QLatin1String("gpdm"))
        return matches(code);
    if (field == QLatin1String("gpmc"))
        return value.size() <= kMaxNameLength;
    if (field == QLatin1String("tjly"))
        return value.size() <= kMaxReasonLength;
    if (field == QLatin1String("ycf"))
        return value == QLatin1String("0") || value == QLatin1String("1");
    if (field == QLatin1String("zh"))
        return matches(switches);
    if (field == QLatin1String("ddcj") || field == QLatin1String("ddmm"))
        return matches(counts);
    if (field == QLatin1String("zdf"))
        return matches(percentage);
    if (field == QLatin1String("sjjg"))
        return matches(minutes);
    return true;
}

CompanionStore::CompanionStore() = default;

CompanionStore::~CompanionStore()
{
    close();
}

bool CompanionStore::open(const QString& database, QString* error)
{
    close();
    database_ = database;
    QString problem;
    backend_ = parseTarget(database, &problem).backend;
    if (problem.isEmpty() && connectNow(&problem))
        return true;
    database_.clear();
    backend_ = Backend::None;
    if (error)
        *error = problem;
    return false;
}

bool CompanionStore::connectNow(QString* error) const
{
    QString problem;
    const Target target = parseTarget(database_, &problem);
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (!problem.isEmpty())
        return fail(problem);
    const bool pg = target.backend == Backend::PostgreSQL;
    const QString driver = pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("the Qt %1 driver (%2) is not available")
                        .arg(pg ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"), driver));

    // Each store has its own connection, so two servers in one process never share one.
    static std::atomic<quint64> opened{0};
    const QString name = QStringLiteral("huilan-companion-%1").arg(++opened);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        if (pg) {
            db.setDatabaseName(target.name);
            db.setUserName(target.user);
            db.setPassword(target.password);
            if (!target.host.isEmpty())
                db.setHostName(target.host);
            db.setPort(target.port);
            // A stopped database is noticed within seconds, not at the system's TCP timeout.
            db.setConnectOptions(QStringLiteral("connect_timeout=5;keepalives_idle=30;keepalives_interval=10;"
                                                "keepalives_count=3"));
        } else {
            db.setDatabaseName(target.file);
            // Other processes may hold the file's write lock for a moment: wait for it.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
        if (!db.open())
            problem = db.lastError().text();
        else {
            QSqlQuery q(db);
            int version = -1;
            if (!pg) {
                // Read the version before anything is written, so a newer database stays untouched.
                version = schemaVersion(db, q);
                q.finish();
                if (version > kSchemaVersion)
                    problem = QStringLiteral("the database %1 has schema version %2; this program knows up to %3")
                                  .arg(target.shown)
                                  .arg(version)
                                  .arg(kSchemaVersion);
                // Readers never wait for the writer, and one write does not sync at each commit:
                // a crash loses at most the last few updates.
                else if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
                    problem = q.lastError().text();
            }
            if (problem.isEmpty()) {
                // The upgrade is one transaction; on SQLite it holds the write lock from the start,
                // on PostgreSQL a lock of its own, so servers starting together take turns.
                if (!q.exec(QString::fromLatin1(pg ? "BEGIN" : "BEGIN IMMEDIATE"))
                    || (pg && !run(q, "SELECT pg_advisory_xact_lock(?)", {kUpgradeLockKey})))
                    problem = q.lastError().text();
                else if ((version = schemaVersion(db, q)) < 0)
                    problem = QStringLiteral("cannot read the schema version: %1").arg(q.lastError().text());
                else if (version > kSchemaVersion)
                    problem = QStringLiteral("the database %1 has schema version %2; this program knows up to %3")
                                  .arg(target.shown)
                                  .arg(version)
                                  .arg(kSchemaVersion);
                else if (version < kSchemaVersion) {
                    for (int v = version; v < kSchemaVersion && problem.isEmpty(); ++v)
                        for (const char* statement : kUpgrades[v])
                            if (!run(q, statementFor(statement, target.backend))) {
                                problem = QStringLiteral("cannot upgrade the tables to version %1: %2")
                                              .arg(v + 1)
                                              .arg(q.lastError().text());
                                break;
                            }
                    if (problem.isEmpty()
                        && !run(q,
                                "INSERT INTO schema_version (id, version) VALUES (1, ?) "
                                "ON CONFLICT (id) DO UPDATE SET version = excluded.version",
                                {kSchemaVersion}))
                        problem = q.lastError().text();
                }
                if (problem.isEmpty() && !q.exec(QStringLiteral("COMMIT")))
                    problem = QStringLiteral("cannot save the tables: %1").arg(q.lastError().text());
                if (!problem.isEmpty())
                    q.exec(QStringLiteral("ROLLBACK"));
            }
        }
        if (!problem.isEmpty())
            db.close();
    }
    if (!problem.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        if (!problem.startsWith(QLatin1String("the database ")))
            problem = QStringLiteral("cannot open the database %1: %2").arg(target.shown, problem);
        return fail(problem);
    }
    connection_ = name;
    suspect_ = false;
    return true;
}

void CompanionStore::disconnect() const
{
    leads_.clear();   // a session's advisory locks end with it
    if (connection_.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

void CompanionStore::close()
{
    disconnect();
    database_.clear();
    backend_ = Backend::None;
}

bool CompanionStore::isOpen() const
{
    return !database_.isEmpty();
}

CompanionStore::Backend CompanionStore::backend() const
{
    return backend_;
}

bool CompanionStore::ensureConnected() const
{
    if (database_.isEmpty())
        return false;
    if (!connection_.isEmpty() && suspect_) {
        // The last call failed: if the connection itself is gone (the database restarted or
        // stopped), drop it and connect again.
        bool alive = false;
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            QSqlQuery q(db);
            alive = db.isOpen() && q.exec(QStringLiteral("SELECT 1")) && q.next();
        }
        if (alive)
            suspect_ = false;
        else
            disconnect();
    }
    if (connection_.isEmpty()) {
        QString problem;
        if (!connectNow(&problem)) {
            qWarning("huilan-server: %s", qPrintable(problem));
            return false;
        }
    }
    return true;
}

bool CompanionStore::transact(bool write, const std::function<Step(QSqlQuery&)>& work) const
{
    // A connection found broken when the transaction begins has done nothing yet: connect again
    // and go on once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureConnected())
            return false;
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        const bool sqliteWriter = write && backend_ == Backend::SQLite;
        if (!q.exec(QString::fromLatin1(sqliteWriter ? "BEGIN IMMEDIATE" : "BEGIN"))) {
            qWarning("huilan-server: cannot begin a transaction: %s", qPrintable(q.lastError().text()));
            suspect_ = true;
            continue;
        }
        const Step step = work(q);
        q.finish();
        if (step == Step::Commit && q.exec(QStringLiteral("COMMIT")))
            return true;
        if (step == Step::Commit)
            qWarning("huilan-server: cannot commit: %s", qPrintable(q.lastError().text()));
        q.exec(QStringLiteral("ROLLBACK"));
        if (step != Step::Rollback)
            suspect_ = true;
        return step == Step::Rollback;
    }
    return false;
}

CompanionStore::Registration CompanionStore::registerNumber(const QString& sn)
{
    if (!acceptsValue(QStringLiteral("sn"), sn))
        return Registration::Failed;
    bool added = false;
    // One statement decides and inserts, so two requests for one number cannot both succeed.
    const bool ok = transact(true, [&](QSqlQuery& q) {
        if (!run(q,
                 "INSERT INTO registrations (sn, registered_at) VALUES (?, ?) ON CONFLICT (sn) DO NOTHING",
                 {sn, QDateTime::currentMSecsSinceEpoch()}))
            return Step::Fail;
        added = q.numRowsAffected() > 0;
        return Step::Commit;
    });
    return !ok ? Registration::Failed : added ? Registration::Added : Registration::Exists;
}

bool CompanionStore::setSwitch(const QString& sn, const QString& ycf)
{
    if (!acceptsValue(QStringLiteral("sn"), sn) || !acceptsValue(QStringLiteral("ycf"), ycf))
        return false;
    return transact(true, [&](QSqlQuery& q) {
        return run(q,
                   "INSERT INTO switches (sn, ycf) VALUES (?, ?) ON CONFLICT (sn) DO UPDATE SET ycf = excluded.ycf",
                   {sn, ycf})
                   ? Step::Commit
                   : Step::Fail;
    });
}

bool CompanionStore::clearRows(int table, const QString& sn)
{
    if (!validTable(table))
        return false;
    return transact(true, [&](QSqlQuery& q) {
        const bool ok =
            run(q, QStringLiteral("DELETE FROM %1 WHERE sn = ?").arg(QLatin1String(tables()[table - 1].name)),
                {nonNull(sn)})
            && run(q, "DELETE FROM row_counts WHERE sn = ? AND tbl = ?", {nonNull(sn), table});
        return ok ? Step::Commit : Step::Fail;
    });
}

CompanionStore::RowAdd CompanionStore::appendRow(int table, const QString& sn, const QStringList& values,
                                                 QString* badField)
{
    if (!validTable(table))
        return RowAdd::Failed;
    const TableInfo& info = tables()[table - 1];
    if (values.size() != info.fields.size())
        return RowAdd::Failed;
    const QStringList fields = QStringList{QStringLiteral("sn")} + info.fields;
    const QStringList all = QStringList{sn} + values;
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (!acceptsValue(fields[i], all[i])) {
            if (badField)
                *badField = fields[i];
            return RowAdd::Refused;
        }
    QVariantList bound;
    QStringList marks;
    for (const QString& v : all) {
        bound << nonNull(v);
        marks << QStringLiteral("?");
    }
    // Only the table and column names, fixed above, are written into the statement.
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(QLatin1String(info.name), fields.join(QStringLiteral(", ")),
                                 marks.join(QStringLiteral(", ")));
    bool full = false;
    const bool ok = transact(true, [&](QSqlQuery& q) {
        // Raising the count first locks the number's counter row (on PostgreSQL), so servers
        // adding rows for one number at once cannot pass the cap together.
        if (!run(q,
                 "INSERT INTO row_counts (sn, tbl, n) VALUES (?, ?, 1) "
                 "ON CONFLICT (sn, tbl) DO UPDATE SET n = row_counts.n + 1 RETURNING n",
                 {sn, table})
            || !q.next())
            return Step::Fail;
        if (q.value(0).toInt() > kMaxRowsPerTable) {
            full = true;
            return Step::Rollback;
        }
        return run(q, sql, bound) ? Step::Commit : Step::Fail;
    });
    return !ok ? RowAdd::Failed : full ? RowAdd::TableFull : RowAdd::Added;
}

bool CompanionStore::addRow(int table, const QString& sn, const QStringList& values)
{
    return appendRow(table, sn, values) == RowAdd::Added;
}

MirroredConfig CompanionStore::config(const QString& sn, bool* ok) const
{
    MirroredConfig out;
    // One read transaction: the answer is a single moment's state.
    const bool read = transact(false, [&](QSqlQuery& q) {
        if (!run(q, "SELECT 1 FROM registrations WHERE sn = ?", {nonNull(sn)}))
            return Step::Fail;
        out.registered = q.next();
        if (!run(q, "SELECT ycf FROM switches WHERE sn = ?", {nonNull(sn)}))
            return Step::Fail;
        if (q.next())
            out.ycf = q.value(0).toString();
        QList<QStringList>* rows[kTables] = {&out.table1, &out.table2, &out.table3};
        for (int t = 0; t < kTables; ++t) {
            const TableInfo& info = tables()[t];
            const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE sn = ? ORDER BY id")
                                    .arg(info.fields.join(QStringLiteral(", ")), QLatin1String(info.name));
            if (!run(q, sql, {nonNull(sn)}))
                return Step::Fail;
            while (q.next()) {
                QStringList row;
                for (qsizetype i = 0; i < info.fields.size(); ++i)
                    row << q.value(int(i)).toString();
                rows[t]->append(row);
            }
        }
        return Step::Commit;
    });
    if (ok)
        *ok = read;
    return read ? out : MirroredConfig{};
}

QStringList CompanionStore::registeredNumbers(bool* ok) const
{
    QStringList out;
    const bool read = transact(false, [&](QSqlQuery& q) {
        if (!run(q, "SELECT sn FROM registrations ORDER BY id"))
            return Step::Fail;
        while (q.next())
            out << q.value(0).toString();
        return Step::Commit;
    });
    if (ok)
        *ok = read;
    return read ? out : QStringList();
}

bool CompanionStore::clientSeen(const QString& address, qint64 msecs)
{
    return transact(true, [&](QSqlQuery& q) {
        return run(q,
                   "INSERT INTO online_clients (address, last_seen) VALUES (?, ?) "
                   "ON CONFLICT (address) DO UPDATE SET last_seen = excluded.last_seen "
                   "WHERE excluded.last_seen > online_clients.last_seen",
                   {nonNull(address), msecs})
                   ? Step::Commit
                   : Step::Fail;
    });
}

int CompanionStore::clientsSince(qint64 cutoffMsecs, bool* ok)
{
    int count = 0;
    const bool done = transact(true, [&](QSqlQuery& q) {
        if (!run(q, "DELETE FROM online_clients WHERE last_seen < ?", {cutoffMsecs})
            || !run(q, "SELECT COUNT(*) FROM online_clients") || !q.next())
            return Step::Fail;
        count = q.value(0).toInt();
        return Step::Commit;
    });
    if (ok)
        *ok = done;
    return done ? count : 0;
}

CompanionStore::Post CompanionStore::addRecommendation(const StoredRecommendation& r, const QString& day,
                                                       int perDay)
{
    if (!acceptsValue(QStringLiteral("gpdm"), r.code) || !acceptsValue(QStringLiteral("gpmc"), r.name)
        || !acceptsValue(QStringLiteral("tjly"), r.reason) || !acceptsValue(QString(), r.address)
        || !acceptsValue(QString(), day))
        return Post::Refused;
    bool over = false;
    const bool ok = transact(true, [&](QSqlQuery& q) {
        // The day's count is raised first; its row stays locked until the end of the transaction,
        // so two servers posting for one address take turns, and an over-limit raise is undone.
        if (!run(q,
                 "INSERT INTO post_counts (address, day, n) VALUES (?, ?, 1) "
                 "ON CONFLICT (address, day) DO UPDATE SET n = post_counts.n + 1 RETURNING n",
                 {nonNull(r.address), nonNull(day)})
            || !q.next())
            return Step::Fail;
        if (q.value(0).toInt() > perDay) {
            over = true;
            return Step::Rollback;
        }
        return run(q,
                   "INSERT INTO recommendations (address, code, name, reason, posted_at, day) "
                   "VALUES (?, ?, ?, ?, ?, ?)",
                   {nonNull(r.address), r.code, r.name, r.reason, r.postedMsecs, nonNull(day)})
                   ? Step::Commit
                   : Step::Fail;
    });
    return !ok ? Post::Failed : over ? Post::OverLimit : Post::Added;
}

QList<StoredRecommendation> CompanionStore::recommendations(int limit, bool* ok) const
{
    QList<StoredRecommendation> out;
    const bool read = transact(false, [&](QSqlQuery& q) {
        QString sql = QStringLiteral("SELECT address, code, name, reason, posted_at FROM recommendations "
                                     "ORDER BY id DESC");
        QVariantList values;
        if (limit >= 0) {
            sql += QStringLiteral(" LIMIT ?");
            values << limit;
        }
        if (!run(q, sql, values))
            return Step::Fail;
        while (q.next())
            out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                        q.value(4).toLongLong()});
        return Step::Commit;
    });
    if (ok)
        *ok = read;
    return read ? out : QList<StoredRecommendation>();
}

int CompanionStore::recommendationCount(bool* ok) const
{
    int count = 0;
    const bool read = transact(false, [&](QSqlQuery& q) {
        if (!run(q, "SELECT COUNT(*) FROM recommendations") || !q.next())
            return Step::Fail;
        count = q.value(0).toInt();
        return Step::Commit;
    });
    if (ok)
        *ok = read;
    return read ? count : 0;
}

bool CompanionStore::claimAlert(const OutboxAlert& a)
{
    bool claimed = false;
    // One statement decides and inserts, so two senders never both claim one alert.
    const bool ok = transact(true, [&](QSqlQuery& q) {
        if (!run(q,
                 "INSERT INTO phone_outbox (alert_key, channel, sn, title, body, claimed_at, state, seq) "
                 "SELECT ?, ?, ?, ?, ?, ?, 'pending', COALESCE(MAX(seq), 0) + 1 FROM phone_outbox WHERE true "
                 "ON CONFLICT (alert_key, channel) DO NOTHING",
                 {nonNull(a.key), nonNull(a.channel), nonNull(a.sn), nonNull(a.title), nonNull(a.body),
                  a.claimedMsecs}))
            return Step::Fail;
        claimed = q.numRowsAffected() > 0;
        return Step::Commit;
    });
    return ok && claimed;
}

bool CompanionStore::settleAlert(const QString& key, const QString& channel, bool sent)
{
    return transact(true, [&](QSqlQuery& q) {
        return run(q, "UPDATE phone_outbox SET state = ? WHERE alert_key = ? AND channel = ?",
                   {sent ? QStringLiteral("sent") : QStringLiteral("dropped"), nonNull(key), nonNull(channel)})
                   ? Step::Commit
                   : Step::Fail;
    });
}

namespace {

// The alerts of one message (one number, channel, title and moment) together, in claiming order.
constexpr char kPendingSelect[] =
    "SELECT alert_key, channel, sn, title, body, claimed_at FROM phone_outbox "
    "WHERE state = 'pending' AND claimed_at >= ? ORDER BY claimed_at, sn, channel, title, seq, alert_key";

OutboxAlert outboxRow(const QSqlQuery& q)
{
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toString(), q.value(4).toString(), q.value(5).toLongLong()};
}

} // namespace

QList<OutboxAlert> CompanionStore::pendingAlerts(qint64 sinceMsecs, bool* ok) const
{
    QList<OutboxAlert> out;
    const bool read = transact(false, [&](QSqlQuery& q) {
        if (!run(q, kPendingSelect, {sinceMsecs}))
            return Step::Fail;
        while (q.next())
            out.append(outboxRow(q));
        return Step::Commit;
    });
    if (ok)
        *ok = read;
    return read ? out : QList<OutboxAlert>();
}

QList<OutboxAlert> CompanionStore::takePending(qint64 sinceMsecs, int limit, bool* ok)
{
    QList<OutboxAlert> out;
    const bool done = transact(true, [&](QSqlQuery& q) {
        QString sql = QString::fromLatin1(kPendingSelect);
        QVariantList values{sinceMsecs};
        if (limit >= 0) {
            sql += QStringLiteral(" LIMIT ?");
            values << limit;
        }
        // SQLite's writer holds the whole file already; PostgreSQL locks just these rows, and
        // passes over those another instance is taking.
        if (backend_ == Backend::PostgreSQL)
            sql += QStringLiteral(" FOR UPDATE SKIP LOCKED");
        if (!run(q, sql, values))
            return Step::Fail;
        while (q.next())
            out.append(outboxRow(q));
        for (const OutboxAlert& a : std::as_const(out))
            if (!run(q, "UPDATE phone_outbox SET state = 'taken' WHERE alert_key = ? AND channel = ?",
                     {a.key, a.channel}))
                return Step::Fail;
        return Step::Commit;
    });
    if (ok)
        *ok = done;
    return done ? out : QList<OutboxAlert>();
}

bool CompanionStore::recordAttempt(const QString& sn, const QString& channel, const QString& key, qint64 msecs,
                                   const QString& outcome, const QString& code)
{
    return transact(true, [&](QSqlQuery& q) {
        return run(q,
                   "INSERT INTO phone_attempts (sn, channel, alert_key, tried_at, outcome, code) "
                   "VALUES (?, ?, ?, ?, ?, ?)",
                   {nonNull(sn), nonNull(channel), nonNull(key), msecs, nonNull(outcome), nonNull(code)})
                   ? Step::Commit
                   : Step::Fail;
    });
}

int CompanionStore::attemptCount(const QString& sn, bool* ok) const
{
    int count = 0;
    const bool read = transact(false, [&](QSqlQuery& q) {
        if (!run(q, "SELECT COUNT(*) FROM phone_attempts WHERE sn = ?", {nonNull(sn)}) || !q.next())
            return Step::Fail;
        count = q.value(0).toInt();
        return Step::Commit;
    });
    if (ok)
        *ok = read;
    return read ? count : 0;
}

bool CompanionStore::tryLead(const QString& name)
{
    if (backend_ == Backend::SQLite)
        return true;
    if (!ensureConnected())
        return false;
    const qint64 key = leadKey(name);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // Session locks count: taking one already held adds a level, given back at once, so one
    // releaseLead() always ends the lead.
    if (!run(q, "SELECT pg_try_advisory_lock(?)", {key}) || !q.next()) {
        suspect_ = true;
        leads_.remove(name);
        return false;
    }
    if (!q.value(0).toBool()) {
        leads_.remove(name);
        return false;
    }
    if (leads_.contains(name))
        run(q, "SELECT pg_advisory_unlock(?)", {key});
    leads_.insert(name);
    return true;
}

void CompanionStore::releaseLead(const QString& name)
{
    if (backend_ != Backend::PostgreSQL || !leads_.contains(name) || connection_.isEmpty())
        return;
    leads_.remove(name);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!run(q, "SELECT pg_advisory_unlock(?)", {leadKey(name)}))
        suspect_ = true;
}

QList<CompanionStore::Attempt> CompanionStore::attempts(const QString& sn, int limit) const
{
    QList<Attempt> out;
    transact(false, [&](QSqlQuery& q) {
        if (!run(q,
                 "SELECT channel, alert_key, tried_at, outcome, code FROM phone_attempts WHERE sn = ? "
                 "ORDER BY id DESC LIMIT ?",
                 {nonNull(sn), limit}))
            return Step::Fail;
        while (q.next())
            out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                        q.value(3).toString(), q.value(4).toString()});
        return Step::Commit;
    });
    return out;
}

} // namespace server

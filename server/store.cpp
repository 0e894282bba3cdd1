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
    // 2 to 3: push channels bound on the binding page, their confirmation codes, and the log of
    // numbers whose mirror changed, which the phone alerts' tick reads instead of every number.
    // A statement starting "sqlite:" or "postgresql:" is for that database only.
    {
        // id is never reused, so a count and a sum of ids tell whether the set changed.
        "CREATE TABLE phone_bindings ({id}, sn TEXT NOT NULL, channel TEXT NOT NULL, value TEXT NOT NULL,"
        " bound_at BIGINT NOT NULL, UNIQUE (sn, channel))",
        // Confirmation codes, kept hashed; state is open, used or void. Rows stay after use, so the
        // hourly limit counts every code sent.
        "CREATE TABLE phone_codes ({id}, sn TEXT NOT NULL, action TEXT NOT NULL, channel TEXT NOT NULL,"
        " value TEXT NOT NULL, salt {blob} NOT NULL, hash {blob} NOT NULL, created_at BIGINT NOT NULL,"
        " expires_at BIGINT NOT NULL, wrong INTEGER NOT NULL DEFAULT 0, state TEXT NOT NULL)",
        "CREATE INDEX phone_codes_sn ON phone_codes (sn, created_at)",
        // Filled by triggers, whoever writes: every number whose registration, switch or mirrored
        // rows changed, in order.
        "CREATE TABLE phone_mirror_log ({id}, sn TEXT NOT NULL)",
        "sqlite:CREATE TRIGGER phone_mirror_registrations AFTER INSERT ON registrations"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_switches_in AFTER INSERT ON switches"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_switches_up AFTER UPDATE ON switches"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_open_close_in AFTER INSERT ON open_close_alerts"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_open_close_out AFTER DELETE ON open_close_alerts"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_trade_in AFTER INSERT ON trade_alerts"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_trade_out AFTER DELETE ON trade_alerts"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_broadcasts_in AFTER INSERT ON broadcasts"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END",
        "sqlite:CREATE TRIGGER phone_mirror_broadcasts_out AFTER DELETE ON broadcasts"
        " BEGIN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn); END",
        "postgresql:CREATE FUNCTION phone_mirror_note() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
        " IF TG_OP = 'DELETE' THEN INSERT INTO phone_mirror_log (sn) VALUES (OLD.sn);"
        " ELSE INSERT INTO phone_mirror_log (sn) VALUES (NEW.sn); END IF; RETURN NULL; END $$",
        "postgresql:CREATE TRIGGER phone_mirror_registrations AFTER INSERT ON registrations"
        " FOR EACH ROW EXECUTE FUNCTION phone_mirror_note()",
        "postgresql:CREATE TRIGGER phone_mirror_switches AFTER INSERT OR UPDATE ON switches"
        " FOR EACH ROW EXECUTE FUNCTION phone_mirror_note()",
        "postgresql:CREATE TRIGGER phone_mirror_open_close AFTER INSERT OR DELETE ON open_close_alerts"
        " FOR EACH ROW EXECUTE FUNCTION phone_mirror_note()",
        "postgresql:CREATE TRIGGER phone_mirror_trade AFTER INSERT OR DELETE ON trade_alerts"
        " FOR EACH ROW EXECUTE FUNCTION phone_mirror_note()",
        "postgresql:CREATE TRIGGER phone_mirror_broadcasts AFTER INSERT OR DELETE ON broadcasts"
        " FOR EACH ROW EXECUTE FUNCTION phone_mirror_note()",
    },
};
static_assert(CompanionStore::kSchemaVersion == 3, "kUpgrades must lead up to kSchemaVersion");

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

// The statement as `backend` takes it; empty when it is for the other database only.
QString statementFor(const char* sql, CompanionStore::Backend backend)
{
    QString s = QString::fromLatin1(sql);
    const bool postgres = backend == CompanionStore::Backend::PostgreSQL;
    for (const auto& [prefix, forPostgres] : {std::pair{QLatin1String("sqlite:"), false}, std::pair{QLatin1String("postgresql:"), true}}) {
        if (s.startsWith(prefix)) {
            if (postgres != forPostgres)
                return {};
            s.remove(0, prefix.size());
        }
    }
    s.replace(QLatin1String("{blob}"), postgres ? QLatin1String("BYTEA") : QLatin1String("BLOB"));
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
                        for (const char* statement : kUpgrades[v]) {
                            const QString sql = statementFor(statement, target.backend);
                            if (sql.isEmpty())
                                continue;
                            if (!run(q, sql)) {
                                problem = QStringLiteral("cannot upgrade the tables to version %1: %2")
                                              .arg(v + 1)
                                              .arg(q.lastError().text());
                                break;
                            }
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
    if (depth_ > 0) {
        // Inside inTransaction(): a savepoint, so this call's rollback undoes its own writes only
        // and the outer transaction commits the rest.
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SAVEPOINT nested")))
            return false;
        const Step step = work(q);
        q.finish();
        if (step != Step::Commit)
            q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT nested"));
        q.exec(QStringLiteral("RELEASE SAVEPOINT nested"));
        return step != Step::Fail;
    }
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

bool CompanionStore::forgetOldAlertHistory(qint64 nowMsecs)
{
    constexpr qint64 kDayMs = 24 * 3600 * 1000LL;
    return transact(true, [&](QSqlQuery& q) {
        // The tries have no index on their time; their ids rise with it, so the oldest try still
        // kept is found walking the ids from the start, and everything before it goes by id.
        const bool ok =
            // Every state named, so the (state, claimed_at) index finds the rows.
            run(q,
                "DELETE FROM phone_outbox WHERE state IN ('pending', 'sending', 'taken', 'sent', 'dropped')"
                " AND claimed_at < ?",
                {nowMsecs - 7 * kDayMs})
            && run(q,
                   "DELETE FROM phone_attempts WHERE id < COALESCE("
                   "(SELECT id FROM phone_attempts WHERE tried_at >= ? ORDER BY id LIMIT 1),"
                   " (SELECT MAX(id) + 1 FROM phone_attempts))",
                   {nowMsecs - 30 * kDayMs})
            && run(q, "DELETE FROM phone_codes WHERE expires_at < ?", {nowMsecs - kDayMs});
        return ok ? Step::Commit : Step::Fail;
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

// ---- Push channels bound from the binding page, their confirmation codes, and the bulk reads the
// ---- phone alerts' tick makes.

#include <QCryptographicHash>
#include <QSet>

namespace server {

namespace {


// One transaction of the binding and tick methods below, rolled back unless committed. Inside
// inTransaction() (`nested`) a savepoint instead, so the outer transaction commits the rest.
class Transaction {
public:
    Transaction(QSqlDatabase& db, bool nested) : db_(db), nested_(nested)
    {
        QSqlQuery q(db_);
        open_ = nested_ ? q.exec(QStringLiteral("SAVEPOINT binding")) : db_.transaction();
    }
    ~Transaction()
    {
        if (!open_)
            return;
        if (nested_) {
            QSqlQuery q(db_);
            q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT binding"));
            q.exec(QStringLiteral("RELEASE SAVEPOINT binding"));
        } else {
            db_.rollback();
        }
    }
    bool isOpen() const { return open_; }
    bool commit()
    {
        if (!open_)
            return false;
        open_ = false;
        if (nested_)
            return QSqlQuery(db_).exec(QStringLiteral("RELEASE SAVEPOINT binding"));
        if (db_.commit())
            return true;
        db_.rollback();
        return false;
    }

private:
    QSqlDatabase& db_;
    bool nested_;
    bool open_ = false;
};

// The log keeps this many of the latest changes; a reader further behind reads everything again.
constexpr qint64 kMirrorLogKept = 1000000;

} // namespace

bool CompanionStore::bindingTables() const
{
    return isOpen() && ensureConnected();
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
    if (!run(q, QStringLiteral("SELECT COUNT(*), COALESCE(SUM(id), 0) FROM phone_bindings")) || !q.next())
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
    Transaction tx(db, depth_ > 0);
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
    Transaction tx(db, depth_ > 0);
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
        if (run(q, QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM phone_mirror_log")) && q.next())
            *cursor = q.value(0).toLongLong();
        return out;
    }
    // Fallen further behind than the log keeps: everything may have changed.
    if (run(q, QStringLiteral("SELECT COALESCE(MIN(id), 0) FROM phone_mirror_log")) && q.next() && q.value(0).toLongLong() > *cursor + 1) {
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
        parts << QStringLiteral("(SELECT COUNT(*) || ':' || COALESCE(SUM(id), 0) FROM %1 WHERE %1.sn = s.sn)")
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
    Transaction tx(db, depth_ > 0);
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
    if (depth_ > 0) {
        work();
        return true;
    }
    return transact(true, [&](QSqlQuery&) {
        ++depth_;
        work();
        --depth_;
        return Step::Commit;
    });
}

} // namespace server

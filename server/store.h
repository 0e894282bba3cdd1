// The companion server's own records, kept in a database so they outlive a restart: registered phone
// numbers with their alert switch, the three alert tables the client mirrors, when each client
// address was last seen, and the shared stock-recommendation board.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace server {

// What the companion server holds for one phone number, as the client mirrored it.
struct MirroredConfig {
    bool registered = false;   // /gpaddsj.asp accepted the number
    QString ycf;               // alerts go to the phone: "1", "0", or empty when never set
    QList<QStringList> table1;   // opening/closing price alerts: {gpmc, gpdm}
    QList<QStringList> table2;   // trading alerts: {zh, ddcj, ddmm, zdf, gpmc, gpdm}
    QList<QStringList> table3;   // broadcasts: {sjjg, gpdm, gpmc}
};

// One post on the recommendation board.
struct StoredRecommendation {
    QString address;   // the poster's address, as the server saw it
    QString code;
    QString name;
    QString reason;
    qint64 postedMsecs = 0;   // sandbox clock, milliseconds since the epoch
};

// One alert in the phone alerts' outbox, for one channel.
struct OutboxAlert {
    QString key;
    QString channel;
    QString sn;
    QString title;
    QString body;
    qint64 claimedMsecs = 0;   // real time
};

class CompanionStore {
public:
    // The mirrored tables: 1 opening/closing price alerts, 2 trading alerts, 3 broadcasts.
    static constexpr int kTables = 3;
    // The form fields each table keeps, in the order mirroredConfig() returns them.
    static QStringList tableFields(int table);

    CompanionStore();
    ~CompanionStore();
    CompanionStore(const CompanionStore&) = delete;
    CompanionStore& operator=(const CompanionStore&) = delete;

    // Opens (creating when missing) the database file and its tables.
    bool open(const QString& file, QString* error = nullptr);
    void close();
    bool isOpen() const;

    enum class Registration { Added, Exists, Failed };
    Registration registerNumber(const QString& sn);
    // Stores the alert switch ("1" or "0") of `sn`, remembering the number if it is new.
    bool setSwitch(const QString& sn, const QString& ycf);
    // Deletes every row of `table` (1 to 3) that belongs to `sn`.
    bool clearRows(int table, const QString& sn);
    // Appends one row to `table`; `values` follow tableFields(table).
    bool addRow(int table, const QString& sn, const QStringList& values);

    MirroredConfig config(const QString& sn) const;
    QStringList registeredNumbers() const;

    // `address` was seen at `msecs` (milliseconds since the epoch); an earlier time never
    // replaces a later one.
    bool clientSeen(const QString& address, qint64 msecs);
    // Forgets clients last seen before `cutoffMsecs` and counts the rest.
    int clientsSince(qint64 cutoffMsecs);

    enum class Post { Added, OverLimit, Failed };
    // Adds a recommendation unless `address` already posted `perDay` times on `day` (the date
    // text of the posting time); the count and the insert are one transaction.
    Post addRecommendation(const StoredRecommendation& r, const QString& day, int perDay);
    // Newest first; all of them when `limit` is negative.
    QList<StoredRecommendation> recommendations(int limit) const;
    int recommendationCount() const;

    // Phone alerts. Claims an alert for its channel before it is sent: true the first time, false
    // once claimed (by this run, an earlier one or another sender), so an alert goes out on a
    // channel once. A claimed alert is pending until settled as sent or dropped.
    bool claimAlert(const OutboxAlert& alert);
    bool settleAlert(const QString& key, const QString& channel, bool sent);
    // The alerts claimed from `sinceMsecs` on and not settled: what a stop interrupted.
    QList<OutboxAlert> pendingAlerts(qint64 sinceMsecs) const;
    // Records one try to send an alert of `sn`: its outcome ("sent", "retry", "dropped") and the
    // service's own code.
    bool recordAttempt(const QString& sn, const QString& channel, const QString& key, qint64 msecs,
                       const QString& outcome, const QString& code);
    int attemptCount(const QString& sn) const;

private:
    QString connection_;   // empty while closed

    // ---- Push channels bound from the binding page, their confirmation codes, and the bulk reads
    // ---- the phone alerts' tick makes. Its tables are created on first use (bindingTables()).
public:
    struct PhoneBinding {
        QString sn;
        QString channel;   // "pushplus", ..., "telegram", or "email"
        QString value;     // as the channels file writes it after "name="
    };
    // A confirmation code waiting for its number: what it will do once given back.
    struct PhoneCode {
        qint64 id = 0;
        QString sn;
        QString action;   // "bind" or "unbind"
        QString channel;
        QString value;
        QByteArray salt;
        QByteArray hash;   // SHA-256 of salt, number and code
        qint64 expiresMsecs = 0;
        int wrong = 0;
    };
    enum class CodeCheck { Bound, Unbound, Wrong, Spent, None, Failed };

    // Every binding made on the page, or those of one number; in the order they were made.
    QList<PhoneBinding> phoneBindings(const QString& sn = QString()) const;
    // Changes whenever a binding is added or removed (a count and a sum of never-reused ids).
    QString phoneBindingsStamp() const;
    bool addPhoneBinding(const PhoneBinding& binding, qint64 msecs);

    // Codes sent to `sn` since `sinceMsecs`, spent or not (the hourly limit counts them all).
    int phoneCodesSince(const QString& sn, qint64 sinceMsecs) const;
    // Stores a new code for its number; any earlier open code of that number is void from then.
    bool addPhoneCode(const PhoneCode& code, qint64 msecs);
    // Checks `code` against the number's open code at `nowMsecs` and, when right, binds or unbinds
    // in the same transaction. A wrong code counts; the `maxWrong`-th wrong one voids it.
    CodeCheck checkPhoneCode(const QString& sn, const QString& code, qint64 nowMsecs, int maxWrong,
                             int* wrongLeft = nullptr);
    static QByteArray phoneCodeHash(const QByteArray& salt, const QString& sn, const QString& code);

    // For each number registered with its phone switch on (of `only`, when given), a stamp of its
    // three mirrored tables that changes whenever one of their rows is added or removed.
    QHash<QString, QString> phoneMirrorStamps(const QStringList& only = {}) const;
    // The numbers whose registration, switch or mirrored rows changed after `*cursor`, which moves
    // on past them. A negative cursor is set to now, with nothing returned; it is set negative
    // again when the changes after it are no longer all kept (read everything again then).
    QStringList phoneMirrorChanges(qint64* cursor);
    // The mirrored tables of `sns` (registered or not), read table by table rather than number by
    // number.
    QHash<QString, MirroredConfig> mirroredConfigs(const QStringList& sns) const;

    // Outbox states around a send: the alerts of one message on one channel are being handed to
    // the service ("sending") or are waiting for another try ("pending").
    bool markAlerts(const QStringList& keys, const QString& channel, const QString& state);
    // Alerts a stopped run left "sending": the service may have taken them, so they are settled as
    // dropped rather than sent a second time. Returns how many.
    int dropInterruptedAlerts();
    // Runs `work` as one transaction, so its many small writes cost one commit; inside another
    // transaction it runs as part of that one.
    bool inTransaction(const std::function<void()>& work);

private:
    bool bindingTables() const;
    QHash<QString, QString> phoneMirrorStampsOf(const QStringList& sns) const;
    mutable QString bindingTablesFor_;   // the connection the binding tables were checked on
};

} // namespace server

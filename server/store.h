// The companion server's own records, kept in a database so they outlive a restart: registered phone
// numbers with their alert switch, the three alert tables the client mirrors, when each client
// address was last seen, and the shared stock-recommendation board.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

public:
    // One try to send a phone alert, as recordAttempt() kept it.
    struct Attempt {
        QString channel;
        QString key;
        qint64 msecs = 0;   // real time
        QString outcome;
        QString code;
    };
    // The last `limit` tries for `sn`, newest first.
    QList<Attempt> attempts(const QString& sn, int limit) const;
};

} // namespace server

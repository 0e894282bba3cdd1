// The alert database gpbd0856.dat (SQLite): the phone row and the three stock tables. One
// connection stays open for the run. Every save is one transaction, so a failure leaves the
// previous configuration whole.
#pragma once

#include "store/alertlists.h"

#include <QList>
#include <QPair>
#include <QString>
#include <stdexcept>

namespace store {

inline const QString kAlertDatabaseFile = QStringLiteral("gpbd0856.dat");

class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& what) : std::runtime_error(what.toStdString()) {}
};

// The two delivery switches of the 手机 row.
struct Switches {
    bool local = false;
    bool phone = false;
};

// "本机监视股价：启用  手机接收股价：停止" and the like.
QString alertStatusText(bool local, bool phone);

class AlertStore {
public:
    AlertStore();
    ~AlertStore();
    AlertStore(const AlertStore&) = delete;
    AlertStore& operator=(const AlertStore&) = delete;

    // Loads the database driver plug-in and the SQLite library, which the first connection would
    // otherwise load; safe on any thread. The start-up does it on a thread of its own.
    static void loadDriver();

    // Opens the database at `path`, creating it with its four empty tables when the file does
    // not exist. A file that exists but is not a usable database is left untouched and
    // reported. Returns the stored switches (both off for a new file).
    Switches createbase(const QString& path);
    bool isOpen() const;
    QString path() const { return m_path; }

    // Loads every list from the tables in ascending ID order and re-arms the state lists.
    void sendbase(AlertLists& lists);

    // Rewrites the three stock tables from the lists.
    void SaveAlerts(const AlertLists& lists);
    // Stores the two switches in the first 手机 row (a new row when the table is empty).
    void SaveSwitches(bool local, bool phone);
    // The 手机 row: the number ("" when none) and the switches.
    QString phoneNumber();
    Switches switches();
    // (name, code) of every 第二波 row in ascending ID order: the settings dialog's list box.
    QList<QPair<QString, QString>> listedStocks();
    // Stores the number in the first 手机 row (a new row when the table is empty).
    void savePhoneNumber(const QString& number);

    // For tests and tools: the connection's name in QSqlDatabase.
    QString connectionName() const { return m_connection; }

private:
    void close();
    // Makes a new database file at `path` with its four empty tables.
    void makeDatabase(const QString& path);

    QString m_path;
    QString m_connection;
};

} // namespace store

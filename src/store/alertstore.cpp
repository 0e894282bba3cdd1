#include "store/alertstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QVariant>
#include <algorithm>

namespace store {

namespace {

constexpr QLatin1String kDriver("QSQLITE");

const char* const kCreateStatements[] = {
    "create table 手机(ID INTEGER PRIMARY KEY AUTOINCREMENT,手机号码 char(11),本地发 char(1),"
    "远程发 char(1),状态 char(1),设置日期 datetime)",
    "create table 第一波(ID INTEGER PRIMARY KEY AUTOINCREMENT,是否发 char(1),股票代码 char(6),"
    "股票名称 char(10))",
    "create table 第二波(ID INTEGER PRIMARY KEY AUTOINCREMENT,综合 char(4),涨停 char(1),"
    "大单成交 int,大单买卖 int, 涨跌幅 int,股票代码 char(6),股票名称 char(10))",
    "create table 第三波(ID INTEGER PRIMARY KEY AUTOINCREMENT,是否发 char(1),时间间隔 int ,"
    "股票代码 char(6),股票名称 char(10))",
};
const char* const kTables[] = {"手机", "第一波", "第二波", "第三波"};

QString fail(const QString& path, const QString& reason)
{
    return QStringLiteral("提示数据库 %1 无法使用：%2").arg(QDir::toNativeSeparators(path), reason);
}

// Runs one statement with bound values; throws StoreError with the engine's text on failure.
QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw StoreError(QStringLiteral("%1：%2").arg(sql, q.lastError().text()));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw StoreError(QStringLiteral("%1：%2").arg(sql, q.lastError().text()));
    return q;
}

// Runs `body` inside one transaction: all of it is stored, or none of it.
template <class Body>
void inTransaction(QSqlDatabase db, Body&& body)
{
    if (!db.transaction())
        throw StoreError(db.lastError().text());
    try {
        body();
        if (!db.commit())
            throw StoreError(db.lastError().text());
    } catch (...) {
        db.rollback();
        throw;
    }
}

QString text(const QSqlQuery& q, const char* column)
{
    return q.value(QString::fromUtf8(column)).toString();
}

// A whole-number column held to [low, high]; what is not a number reads as low.
QString bounded(const QSqlQuery& q, const char* column, qint64 low, qint64 high)
{
    return QString::number(std::clamp(q.value(QString::fromUtf8(column)).toLongLong(), low, high));
}

} // namespace

QString alertStatusText(bool local, bool phone)
{
    return (local ? QStringLiteral("本机监视股价：启用") : QStringLiteral("本机监视股价：停止"))
           + (phone ? QStringLiteral("  手机接收股价：启用") : QStringLiteral("  手机接收股价：停止"));
}

AlertStore::AlertStore()
    : m_connection(QStringLiteral("alerts-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

AlertStore::~AlertStore()
{
    close();
}

void AlertStore::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool AlertStore::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

void AlertStore::loadDriver()
{
    const QString connection = QStringLiteral("huilan-driver-%1").arg(quintptr(QThread::currentThreadId()));
    QSqlDatabase::addDatabase(kDriver, connection);
    QSqlDatabase::removeDatabase(connection);
}

void AlertStore::makeDatabase(const QString& path)
{
    // The new database is made under another name and renamed into place once its tables are
    // stored: a start that ends half way (a crash, a kill) leaves no empty or table-less file
    // behind that the next start would have to refuse. A leftover of such a start is replaced.
    const QString building = path + QStringLiteral(".new");
    QFile::remove(building);
    QFile::remove(building + QStringLiteral("-journal"));
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, m_connection);
        db.setDatabaseName(building);
        if (!db.open()) {
            problem = db.lastError().text();
        } else {
            try {
                inTransaction(db, [&] {
                    for (const char* sql : kCreateStatements)
                        run(db, QString::fromUtf8(sql));
                });
            } catch (const StoreError& e) {
                problem = QString::fromStdString(e.what());
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connection);
    if (problem.isEmpty() && !QFile::rename(building, path))
        problem = QStringLiteral("无法创建文件");
    if (!problem.isEmpty()) {
        QFile::remove(building);
        throw StoreError(fail(path, problem));
    }
}

Switches AlertStore::createbase(const QString& path)
{
    close();
    m_path = path;
    const QFileInfo info(path);
    const bool existed = info.exists();
    if (existed) {
        if (!info.isFile())
            throw StoreError(fail(path, QStringLiteral("不是文件")));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw StoreError(fail(path, file.errorString()));
        const QByteArray header = file.read(16);
        if (header != QByteArray("SQLite format 3\0", 16))
            throw StoreError(fail(path, QStringLiteral("不是有效的数据库文件")));
    } else {
        QDir().mkpath(info.absolutePath());
        makeDatabase(path);
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, m_connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        const QString reason = db.lastError().text();
        close();
        throw StoreError(fail(path, reason));
    }
    try {
        for (const char* table : kTables) {
            QSqlQuery q = run(db, QStringLiteral("select count(*) from sqlite_master where type='table' and name=?"),
                              {QString::fromUtf8(table)});
            if (!q.next() || q.value(0).toInt() != 1)
                throw StoreError(fail(path, QStringLiteral("缺少表 %1").arg(QString::fromUtf8(table))));
        }
        return switches();
    } catch (const StoreError& e) {
        close();
        const QString what = QString::fromStdString(e.what());
        throw StoreError(what.startsWith(QStringLiteral("提示数据库")) ? what : fail(path, what));
    }
}

Switches AlertStore::switches()
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q = run(db, QStringLiteral("select * from 手机 order by ID"));
    if (!q.next())
        return {};
    return {text(q, "本地发") == u"1", text(q, "远程发") == u"1"};
}

QString AlertStore::phoneNumber()
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q = run(db, QStringLiteral("select * from 手机 order by ID"));
    return q.next() ? text(q, "手机号码") : QString();
}

QList<QPair<QString, QString>> AlertStore::listedStocks()
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q = run(db, QStringLiteral("select * from 第二波 order by ID"));
    QList<QPair<QString, QString>> out;
    while (q.next())
        out.append({text(q, "股票名称"), text(q, "股票代码")});
    return out;
}

void AlertStore::sendbase(AlertLists& lists)
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen())
        throw StoreError(fail(m_path, QStringLiteral("数据库未打开")));
    AlertLists loaded;
    QSqlQuery second = run(db, QStringLiteral("select * from 第二波 order by ID"));
    while (second.next()) {
        loaded.AlertFlags << text(second, "综合");
        // A damaged or hand-edited file may hold any number: each setting is held to the range
        // the alert rules can work with.
        loaded.AlertTradeDigits << bounded(second, "大单成交", 0, 18);
        loaded.AlertOrderDigits << bounded(second, "大单买卖", 0, 18);
        loaded.AlertPercent << bounded(second, "涨跌幅", 0, 100);
    }
    loaded.realignStates();
    const Switches s = switches();
    loaded.PhoneAlertsOn = s.phone;
    loaded.LocalAlertsOn = s.local;
    QSqlQuery first = run(db, QStringLiteral("select * from 第一波 order by ID"));
    while (first.next()) {
        loaded.AlertSendOpenClose << QString::number(first.value(QStringLiteral("是否发")).toInt());
        loaded.AlertCodes << text(first, "股票代码");
        loaded.AlertNames << text(first, "股票名称");
    }
    QSqlQuery third = run(db, QStringLiteral("select * from 第三波 order by ID"));
    while (third.next()) {
        loaded.AlertInterval << bounded(third, "时间间隔", 0, 24 * 60);
        loaded.AlertBroadcast << text(third, "是否发");
    }
    lists = loaded;   // all or nothing: a failed read leaves the lists as they were
}

void AlertStore::SaveAlerts(const AlertLists& l)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    inTransaction(db, [&] {
        run(db, QStringLiteral("delete from 第一波"));
        for (qsizetype i = 0; i < l.AlertSendOpenClose.size(); ++i)
            run(db, QStringLiteral("insert into 第一波(是否发,股票代码,股票名称) values(?,?,?)"),
                {l.AlertSendOpenClose[i] == u"1" ? QStringLiteral("1") : QStringLiteral("0"),
                 l.AlertCodes.value(i), l.AlertNames.value(i)});
        run(db, QStringLiteral("delete from 第二波"));
        for (qsizetype i = 0; i < l.AlertTradeDigits.size(); ++i)
            run(db, QStringLiteral("insert into 第二波(综合,大单成交,大单买卖,涨跌幅,股票代码,股票名称) "
                                   "values(?,?,?,?,?,?)"),
                {l.AlertFlags.value(i), l.AlertTradeDigits[i].toInt(), l.AlertOrderDigits.value(i).toInt(),
                 l.AlertPercent.value(i).toInt(), l.AlertCodes.value(i), l.AlertNames.value(i)});
        run(db, QStringLiteral("delete from 第三波"));
        for (qsizetype i = 0; i < l.AlertTradeDigits.size(); ++i)
            run(db, QStringLiteral("insert into 第三波(是否发,时间间隔,股票代码,股票名称) values(?,?,?,?)"),
                {l.AlertBroadcast.value(i), l.AlertInterval.value(i).toInt(), l.AlertCodes.value(i),
                 l.AlertNames.value(i)});
    });
}

void AlertStore::SaveSwitches(bool local, bool phone)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString l = local ? QStringLiteral("1") : QStringLiteral("0");
    const QString p = phone ? QStringLiteral("1") : QStringLiteral("0");
    inTransaction(db, [&] {
        QSqlQuery q = run(db, QStringLiteral("select ID from 手机 order by ID limit 1"));
        if (q.next())
            run(db, QStringLiteral("update 手机 set 本地发=?, 远程发=? where ID=?"), {l, p, q.value(0)});
        else
            run(db, QStringLiteral("insert into 手机(本地发,远程发) values(?,?)"), {l, p});
    });
}

void AlertStore::savePhoneNumber(const QString& number)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    inTransaction(db, [&] {
        QSqlQuery q = run(db, QStringLiteral("select ID from 手机 order by ID limit 1"));
        if (q.next())
            run(db, QStringLiteral("update 手机 set 手机号码=? where ID=?"), {number, q.value(0)});
        else
            run(db, QStringLiteral("insert into 手机(手机号码) values(?)"), {number});
    });
}

} // namespace store

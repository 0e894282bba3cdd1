#include "store/alertstore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace store;

namespace {

AlertLists twoStocks()
{
    AlertLists l;
    l.AlertSendOpenClose = {"0", "1"};
    l.AlertCodes = {"600036", "000001"};
    l.AlertNames = {"招商银行", "平安'); drop table 第一波;--"};
    l.AlertFlags = {"1010", "0001"};
    l.AlertTradeDigits = {"4", "5"};
    l.AlertOrderDigits = {"4", "6"};
    l.AlertPercent = {"5", "9"};
    l.AlertInterval = {"10", "60"};
    l.AlertBroadcast = {"1", "0"};
    return l;
}

QSqlDatabase db(const AlertStore& s)
{
    return QSqlDatabase::database(s.connectionName());
}

int rows(const AlertStore& s, const QString& table)
{
    QSqlQuery q(db(s));
    q.exec("select count(*) from " + table);
    q.next();
    return q.value(0).toInt();
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestAlertStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath("system/gpbd0856.dat"); }

private Q_SLOTS:
    void cleanup() { QFile::remove(path()); }

    void firstStartCreatesFourEmptyTables()
    {
        AlertStore s;
        const Switches sw = s.createbase(path());
        QVERIFY(!sw.local && !sw.phone);
        QVERIFY(QFile::exists(path()));
        for (const char* t : {"手机", "第一波", "第二波", "第三波"})
            QCOMPARE(rows(s, QString::fromUtf8(t)), 0);
        AlertLists l = twoStocks();
        s.sendbase(l);
        QCOMPARE(l.watchedCount(), 0);
        QVERIFY(l.LimitAlerted.isEmpty() && l.AlertFlags.isEmpty());
        QCOMPARE(alertStatusText(false, false), QStringLiteral("本机监视股价：停止  手机接收股价：停止"));
    }

    void saveAndLoadRoundTrip()
    {
        {
            AlertStore s;
            s.createbase(path());
            s.SaveAlerts(twoStocks());
            s.SaveSwitches(true, false);
        }
        AlertStore s;   // a later start opens the existing file
        const Switches sw = s.createbase(path());
        QVERIFY(sw.local && !sw.phone);
        QCOMPARE(alertStatusText(sw.local, sw.phone), QStringLiteral("本机监视股价：启用  手机接收股价：停止"));
        AlertLists l;
        s.sendbase(l);
        const AlertLists want = twoStocks();
        QCOMPARE(l.AlertSendOpenClose, want.AlertSendOpenClose);
        QCOMPARE(l.AlertCodes, want.AlertCodes);
        QCOMPARE(l.AlertNames, want.AlertNames);   // quotes and SQL text stored as text
        QCOMPARE(l.AlertFlags, want.AlertFlags);
        QCOMPARE(l.AlertTradeDigits, want.AlertTradeDigits);
        QCOMPARE(l.AlertOrderDigits, want.AlertOrderDigits);
        QCOMPARE(l.AlertPercent, want.AlertPercent);
        QCOMPARE(l.AlertInterval, want.AlertInterval);
        QCOMPARE(l.AlertBroadcast, want.AlertBroadcast);
        QCOMPARE(l.LimitAlerted, (QStringList{"0", "0"}));
        QCOMPARE(l.TradeAlertState, (QStringList{"-1", "-1"}));
        QCOMPARE(l.PercentAlertState, (QStringList{"-1", "-1"}));
        QVERIFY(l.LocalAlertsOn && !l.PhoneAlertsOn);
        QCOMPARE(rows(s, "手机"), 1);
    }

    void readingOrderIsAscendingIdAfterDeletesAndInserts()
    {
        AlertStore s;
        s.createbase(path());
        AlertLists l = twoStocks();
        s.SaveAlerts(l);
        // Three saves later the IDs have moved on; the order must still be the list order.
        l.AlertCodes = {"300750", "600519"};
        s.SaveAlerts(l);
        std::swap(l.AlertCodes[0], l.AlertCodes[1]);
        s.SaveAlerts(l);
        QSqlQuery(db(s)).exec("update 第一波 set ID = ID + 100 where 股票代码 = '600519'");
        AlertLists loaded;
        s.sendbase(loaded);
        QCOMPARE(loaded.AlertCodes, (QStringList{"300750", "600519"}));
    }

    void switchesEditTheFirstPhoneRow()
    {
        AlertStore s;
        s.createbase(path());
        s.savePhoneNumber("13912345678");
        s.SaveSwitches(false, true);
        s.SaveSwitches(true, true);
        QCOMPARE(rows(s, "手机"), 1);
        QCOMPARE(s.phoneNumber(), QStringLiteral("13912345678"));
        QVERIFY(s.switches().local && s.switches().phone);
    }

    void failedSaveLeavesThePreviousConfiguration()
    {
        AlertStore s;
        s.createbase(path());
        s.SaveAlerts(twoStocks());
        // Make the second table refuse one insert: the save fails after 第一波 was rewritten
        // and 第二波 emptied.
        QSqlQuery(db(s)).exec("create trigger refuse before insert on 第二波 when NEW.股票代码 = '999999' "
                              "begin select raise(abort, 'refused'); end");
        AlertLists bad = twoStocks();
        bad.AlertCodes = {"999999", "600000"};
        QVERIFY_THROWS_EXCEPTION(StoreError, s.SaveAlerts(bad));
        AlertLists loaded;
        s.sendbase(loaded);
        QCOMPARE(loaded.AlertCodes, twoStocks().AlertCodes);
        QCOMPARE(loaded.AlertFlags, twoStocks().AlertFlags);
        QCOMPARE(loaded.AlertBroadcast, twoStocks().AlertBroadcast);
    }

    void unusableFilesAreReportedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text file") << QByteArray("this is my shopping list\r\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated database") << QByteArray("SQLite format 3\0\x10\x00", 18);
    }
    void unusableFilesAreReportedAndLeftAlone()
    {
        QFETCH(QByteArray, content);
        QDir().mkpath(dir.filePath("system"));
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        AlertStore s;
        try {
            s.createbase(path());
            QFAIL("an unusable file was accepted");
        } catch (const StoreError& e) {
            QVERIFY2(QString::fromStdString(e.what()).contains(QStringLiteral("gpbd0856.dat")), e.what());
        }
        QVERIFY(!s.isOpen());
        QCOMPARE(bytes(path()), content);
    }

    void databaseWithoutTheTablesIsReported()
    {
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            QDir().mkpath(dir.filePath("system"));
            other.setDatabaseName(path());
            QVERIFY(other.open());
            QSqlQuery(other).exec("create table notes(x)");
            other.close();
        }
        QSqlDatabase::removeDatabase("other");
        const QByteArray before = bytes(path());
        AlertStore s;
        QVERIFY_THROWS_EXCEPTION(StoreError, s.createbase(path()));
        QCOMPARE(bytes(path()), before);
    }

    void stateListsRealignToTheWatchedList()
    {
        AlertLists l = twoStocks();
        l.LimitAlerted = {"1"};
        l.TradeAlertState = {"3", "2", "1"};
        l.realignStates();
        QCOMPARE(l.LimitAlerted, (QStringList{"1", "0"}));
        QCOMPARE(l.TradeAlertState, (QStringList{"3", "2"}));
        QCOMPARE(l.OrderAlertState, (QStringList{"-1", "-1"}));
    }
};

QTEST_GUILESS_MAIN(TestAlertStore)
#include "test_alertstore.moc"

// The companion store's bulk reads for the phone alerts, on a real SQLite file: what changed since
// a cursor, the stamps of the numbers whose switch is on, and the tables of many numbers at once
// matching what the one-number read gives.
#include "store.h"

#include <QTemporaryDir>
#include <QTest>

using server::CompanionStore;

namespace {

const QString kA = QStringLiteral("13800138000");
const QString kB = QStringLiteral("13900139000");

QStringList row(const QString& code)
{
    return {QStringLiteral("1111"), QStringLiteral("4"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("名"), code};
}

} // namespace

class TestPhoneStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changesStampsAndBulkTables()
    {
        QTemporaryDir dir;
        CompanionStore store;
        QVERIFY(store.open(dir.filePath(QStringLiteral("c.db"))));
        qint64 cursor = -1;
        QVERIFY(store.phoneMirrorChanges(&cursor).isEmpty());
        QVERIFY(cursor >= 0);

        for (const QString& sn : {kA, kB}) {
            store.registerNumber(sn);
            store.setSwitch(sn, QStringLiteral("1"));
        }
        store.addRow(2, kA, row(QStringLiteral("600036")));
        store.addRow(2, kA, row(QStringLiteral("000001")));
        store.addRow(1, kA, {QStringLiteral("名"), QStringLiteral("600036")});
        store.addRow(3, kB, {QStringLiteral("5"), QStringLiteral("000651"), QStringLiteral("名")});
        QCOMPARE(store.phoneMirrorChanges(&cursor), (QStringList{kA, kB}));
        QVERIFY(store.phoneMirrorChanges(&cursor).isEmpty());

        const QHash<QString, QString> stamps = store.phoneMirrorStamps();
        QCOMPARE(stamps.keys().size(), 2);
        QCOMPARE(store.phoneMirrorStamps({kB}).keys(), QStringList{kB});
        // The same rows cleared and mirrored again get a new stamp; the switch off leaves the list.
        store.clearRows(2, kA);
        store.addRow(2, kA, row(QStringLiteral("600036")));
        store.addRow(2, kA, row(QStringLiteral("000001")));
        store.setSwitch(kB, QStringLiteral("0"));
        QCOMPARE(store.phoneMirrorChanges(&cursor), (QStringList{kA, kB}));
        QVERIFY(store.phoneMirrorStamps().value(kA) != stamps.value(kA));
        QVERIFY(!store.phoneMirrorStamps().contains(kB));

        // Many numbers are read table by table, a few number by number: both as config() reads them.
        for (int i = 0; i < 250; ++i)
            store.addRow(2, QStringLiteral("1370000%1").arg(i, 4, 10, QLatin1Char('0')), row(QStringLiteral("600000")));
        QStringList many{kA, kB};
        for (int i = 0; i < 250; ++i)
            many << QStringLiteral("1370000%1").arg(i, 4, 10, QLatin1Char('0'));
        for (const QStringList& sns : {QStringList{kA, kB}, many}) {
            const auto configs = store.mirroredConfigs(sns);
            QCOMPARE(configs.size(), sns.size());
            for (const QString& sn : {kA, kB, many.last()}) {
                const server::MirroredConfig one = store.config(sn);
                if (!sns.contains(sn))
                    continue;
                QCOMPARE(configs.value(sn).table1, one.table1);
                QCOMPARE(configs.value(sn).table2, one.table2);
                QCOMPARE(configs.value(sn).table3, one.table3);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPhoneStore)
#include "test_phone_store.moc"

// Phone alerts end to end on loopback: the service's tick decides a number's alerts from one batch
// of quotes and hands each message to a stand-in push service, trying again what is transient.
#include "ntfystandin.h"
#include "phoneservice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace server::phone;
using server::notify::Result;

namespace {

struct Fixture {
    explicit Fixture(const QStringList& withSwitchOn = {QStringLiteral("13800138000")}) : service(hooks(withSwitchOn))
    {
        service.setBases({{QStringLiteral("ntfy"), up.base()}});
        service.setFirstRetryPause(50);
        server::notify::ChannelsFile file = server::notify::parseChannelsFile("[13800138000]\nntfy=huilan-a\n[13900139000]\nntfy=huilan-b\n");
        service.setChannels(file);
    }

    PhoneService::Hooks hooks(const QStringList& withSwitchOn)
    {
        PhoneService::Hooks h;
        h.now = [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 1)); };
        h.numbers = [withSwitchOn] { return withSwitchOn; };
        h.tables = [](const QString&) {
            MirroredTables t;
            t.rows.append({QStringLiteral("600036"), QStringLiteral("招商银行"), QStringLiteral("1000"),
                           QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")});
            return t;
        };
        h.quotes = [this](const QStringList& codes, std::function<void(PhoneService::Quotes)> done) {
            batches << codes;
            done({{QStringLiteral("600036"), market::parseQuote(QStringLiteral(
                                                 "x,600036,招商银行,38.28,10.00%,3.48,38.27,1,38.28,1,9,9,34.80,0,38.28,34.80,"))}});
        };
        h.forget = [this](qint64 nowMs) { forgets << nowMs; };
        return h;
    }

    NtfyStandIn up;
    QList<QStringList> batches;
    QList<qint64> forgets;
    PhoneService service;
};

} // namespace

class TestPhoneService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aLimitAlertReachesThePhoneOnceAfterATransientFailure()
    {
        Fixture f;
        f.up.statuses = {500};
        f.service.tick();
        QTRY_COMPARE(f.up.messages.size(), 2);   // the 500, then the retry
        QCOMPARE(f.batches, QList<QStringList>{QStringList{QStringLiteral("600036")}});
        QCOMPARE(f.up.messages.last().value(QStringLiteral("topic")).toString(), QStringLiteral("huilan-a"));
        QVERIFY(f.up.messages.last().value(QStringLiteral("message")).toString().contains(QStringLiteral("股价接近涨停或已涨停")));
        QTRY_COMPARE(f.service.attempts().size(), 2);
        QCOMPARE(int(f.service.attempts()[0].result), int(Result::Retry));
        QCOMPARE(int(f.service.attempts()[1].result), int(Result::Sent));
        QCOMPARE(f.service.attempts()[1].key, QStringLiteral("13800138000|limit|600036|2026-12-09|up"));
        // The next tick has nothing new to say; a number whose switch is off is never asked for.
        f.service.tick();
        QTest::qWait(100);
        QCOMPARE(f.up.messages.size(), 2);
    }

    // A service that runs for months: the store is told to forget old history on the first tick
    // and then about once an hour, not every tick; memory keeps only the latest tries.
    void historyIsForgottenHourlyAndMemoryKeepsTheLatestTries()
    {
        Fixture f;
        f.service.setKeptAttempts(1);
        f.up.statuses = {500};
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        f.service.tick();
        QCOMPARE(f.forgets.size(), 1);
        QVERIFY(f.forgets[0] >= before && f.forgets[0] <= QDateTime::currentMSecsSinceEpoch());
        QTRY_COMPARE(f.up.messages.size(), 2);   // the 500, then the retry
        QTRY_COMPARE(int(f.service.attempts().value(0).result), int(Result::Sent));
        QCOMPARE(f.service.attempts().size(), 1);
        f.service.tick();
        QCOMPARE(f.forgets.size(), 1);
    }

    void permanentFailuresAndTheThirtyMinutesAreNotRetried()
    {
        Fixture f;
        f.up.statuses = {403};
        f.service.tick();
        QTRY_COMPARE(f.service.attempts().size(), 1);
        QVERIFY(f.service.attempts()[0].dropped);
        QCOMPARE(f.service.attempts()[0].code, QStringLiteral("40301"));

        Fixture late;
        late.service.setGiveUpAfter(120);   // the window a message may take, shortened
        late.up.statuses = {500, 500, 500, 500, 500};
        late.service.tick();
        QTRY_VERIFY(!late.service.attempts().isEmpty() && late.service.attempts().last().dropped);
        QVERIFY(late.up.messages.size() < 5);
        QCOMPARE(late.service.waiting(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPhoneService)
#include "test_phoneservice.moc"

// Several companion servers on one PostgreSQL database, each with a store of its own: what one
// writes the others see, the daily post limit and the outbox hold across them, one leads at a
// time; and a database that stops under running stores and comes back.
#include "companion.h"
#include "companionserver.h"
#include "forms.h"
#include "recommend.h"
#include "sandbox.h"
#include "store.h"

#include "net/codecs.h"

#include "pgcluster.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using server::CompanionStore;

namespace {

const QString kPhone = QStringLiteral("13800138000");

std::function<QString(const QString&)> fields(const QStringList& form)
{
    return [form](const QString& name) {
        for (qsizetype i = 0; i + 1 < form.size(); i += 2)
            if (form[i] == name)
                return form[i + 1];
        return QString();
    };
}

} // namespace

class TestCompanionShared : public QObject {
    Q_OBJECT
    std::unique_ptr<PgCluster> cluster_;
    QString url_;   // a fresh database per case

    bool openBoth(CompanionStore& a, CompanionStore& b)
    {
        QString error;
        if (!a.open(url_, &error) || !b.open(url_, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        cluster_ = std::make_unique<PgCluster>();
        if (!cluster_->isRunning())
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL cluster: ") + cluster_->error()));
    }

    void init()
    {
        if (!cluster_->isRunning())
            QVERIFY(cluster_->start());
        url_ = cluster_->createDatabase();
        QVERIFY2(!url_.isEmpty(), qPrintable(cluster_->error()));
    }

    void whatOneWritesTheOtherSees()
    {
        CompanionStore a, b;
        QVERIFY(openBoth(a, b));
        QCOMPARE(a.registerNumber(kPhone), CompanionStore::Registration::Added);
        QCOMPARE(b.registerNumber(kPhone), CompanionStore::Registration::Exists);
        QCOMPARE(b.registeredNumbers(), QStringList{kPhone});
        QVERIFY(b.setSwitch(kPhone, "1") && a.addRow(1, kPhone, {"平安银行", "000001"}));
        const server::MirroredConfig c = a.config(kPhone);
        QVERIFY(c.registered && c.ycf == "1" && c.table1.size() == 1);
        // The online count is one count.
        QVERIFY(a.clientSeen("10.0.0.1", 1000) && b.clientSeen("10.0.0.2", 1000) && b.clientSeen("10.0.0.1", 2000));
        QCOMPARE(a.clientsSince(0), 2);
        QCOMPARE(b.clientsSince(1500), 1);
    }

    void theDailyLimitHoldsAcrossServersPostingAtOnce()
    {
        // Each thread is one server with its own connection; all post for one address.
        constexpr int kServers = 4, kTries = 6, kPerDay = 5;
        std::atomic<int> added{0}, over{0}, failed{0};
        std::atomic<int> ready{0};
        std::vector<std::thread> servers;
        for (int s = 0; s < kServers; ++s)
            servers.emplace_back([&, s] {
                CompanionStore store;
                const bool opened = store.open(url_);
                ++ready;
                while (ready < kServers)
                    std::this_thread::yield();
                for (int i = 0; opened && i < kTries; ++i)
                    switch (store.addRecommendation({"10.0.0.1", "600000", "浦发银行", "理由", s * 100 + i},
                                                    "2026-12-9", kPerDay)) {
                    case CompanionStore::Post::Added: ++added; break;
                    case CompanionStore::Post::OverLimit: ++over; break;
                    default: ++failed;
                    }
                if (!opened)
                    failed += kTries;
            });
        for (std::thread& t : servers)
            t.join();
        QCOMPARE(failed.load(), 0);
        QCOMPARE(added.load(), kPerDay);
        QCOMPARE(over.load(), kServers * kTries - kPerDay);
        CompanionStore check;
        QVERIFY(check.open(url_));
        QCOMPARE(check.recommendationCount(), kPerDay);

        // Through the post form: one server's posts count at the other.
        CompanionStore a, b;
        QVERIFY(openBoth(a, b));
        const QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
        const auto form = fields({"gpdm", "600000", "gpmc", "浦发银行", "tjly", "理由"});
        QCOMPARE(server::recommend::answerPost(a, "10.0.0.2", now, form).payload, server::recommend::kPostAccepted);
        QCOMPARE(server::recommend::answerPost(b, "10.0.0.2", now, form).payload, server::recommend::kPostAccepted);
        QCOMPARE(server::recommend::answerPost(a, "10.0.0.2", now, form).payload, server::recommend::overLimit(2));
        QCOMPARE(server::recommend::answerPost(b, "10.0.0.2", now, form).payload, server::recommend::overLimit(2));
    }

    void anAlertIsClaimedAndTakenOnce()
    {
        CompanionStore a, b;
        QVERIFY(openBoth(a, b));
        const server::OutboxAlert alert{"k1", "pushplus", kPhone, "t", "b", 1000};
        QVERIFY(a.claimAlert(alert));
        QVERIFY(!b.claimAlert(alert));
        QVERIFY(!a.claimAlert(alert));

        // Another session is in the middle of taking k1: the others are taken without waiting.
        QVERIFY(a.claimAlert({"k2", "pushplus", kPhone, "t", "b", 1000}));
        QVERIFY(a.claimAlert({"k3", "pushplus", kPhone, "t", "b", 1000}));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "holder");
            db.setHostName(cluster_->socketDir());
            db.setPort(cluster_->port());
            db.setUserName(cluster_->user());
            db.setDatabaseName(QUrl(url_).path().mid(1));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("BEGIN"));
            QVERIFY(q.exec("SELECT alert_key FROM phone_outbox WHERE alert_key = 'k1' FOR UPDATE"));
            QElapsedTimer timer;
            timer.start();
            const QList<server::OutboxAlert> taken = b.takePending(0);
            QVERIFY(timer.elapsed() < 3000);
            QCOMPARE(taken.size(), 2);
            QVERIFY(taken[0].key == "k2" && taken[1].key == "k3");
            QVERIFY(q.exec("ROLLBACK"));
            q = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase("holder");
        const QList<server::OutboxAlert> rest = a.takePending(0);
        QCOMPARE(rest.size(), 1);
        QCOMPARE(rest[0].key, QStringLiteral("k1"));
        QVERIFY(b.takePending(0).isEmpty());

        // Many alerts taken a few at a time by servers at once: each exactly once.
        constexpr int kAlerts = 60, kServers = 3;
        for (int i = 0; i < kAlerts; ++i)
            QVERIFY(a.claimAlert({QStringLiteral("m%1").arg(i, 2, 10, QChar(u'0')), "pushplus", kPhone, "t", "b", 5000}));
        std::vector<QStringList> got(kServers);
        std::vector<std::thread> servers;
        for (int s = 0; s < kServers; ++s)
            servers.emplace_back([this, s, &got] {
                CompanionStore store;
                if (!store.open(url_))
                    return;
                for (;;) {
                    bool ok = false;
                    const QList<server::OutboxAlert> batch = store.takePending(5000, 2, &ok);
                    if (!ok || batch.isEmpty())
                        return;
                    for (const server::OutboxAlert& x : batch)
                        got[s] << x.key;
                }
            });
        for (std::thread& t : servers)
            t.join();
        QStringList all;
        for (const QStringList& keys : got)
            all += keys;
        QCOMPARE(all.size(), kAlerts);
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), kAlerts);
    }

    void oneLeadsAndTheLeadPassesOn()
    {
        CompanionStore a, b;
        QVERIFY(openBoth(a, b));
        QVERIFY(a.tryLead("phone"));
        QVERIFY(a.tryLead("phone"));   // asking again while leading
        QVERIFY(!b.tryLead("phone"));
        QVERIFY(b.tryLead("other"));
        a.releaseLead("phone");   // one release ends it, however often it was asked
        QVERIFY(b.tryLead("phone"));
        QVERIFY(!a.tryLead("phone"));
        // The lead ends with its session: an instance that goes away hands it on.
        b.close();
        QTRY_VERIFY_WITH_TIMEOUT(a.tryLead("phone"), 5000);
    }

    void theDatabaseStopsAndComesBack()
    {
        CompanionStore store;
        QVERIFY(store.open(url_));
        QVERIFY(store.tryLead("phone"));
        QCOMPARE(store.registerNumber(kPhone), CompanionStore::Registration::Added);
        QVERIFY(store.addRow(1, kPhone, {"平安银行", "000001"}));

        // The pages of the server itself, over the same database.
        sandbox::Options options;
        options.port = 0;
        sandbox::Sandbox box(options);
        server::Companion companion({}, box.feed(), box.market(), [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 0)); },
                                    [] { return QStringLiteral("http://127.0.0.1:1"); });
        QVERIFY(companion.open(url_));
        auto ask = [&companion](const QString& path, const QStringList& form = {}) {
            return companion.answer({path, fields(form), QStringLiteral("10.0.0.1"), QDateTime::currentDateTime()});
        };
        QCOMPARE(ask("/gpjgshow.asp")->status, 200);

        QVERIFY(cluster_->stop());
        // Every write fails whole, and the forms say the server is busy.
        using server::companion::kServerBusy;
        const QList<QPair<QString, QStringList>> forms{
            {"/gpaddsj.asp", {"sn", "13912345678"}},
            {"/gpycf.asp", {"sn", kPhone, "ycf", "0"}},
            {"/gpdel1.asp", {"sn", kPhone}},
            {"/gpadd1.asp", {"sn", kPhone, "gpmc", "万科Ａ", "gpdm", "000002"}},
        };
        for (const auto& [path, form] : forms) {
            const auto reply = server::answerForm(store, path, fields(form));
            QVERIFY(reply && reply->status == 503 && reply->payload == kServerBusy);
        }
        const server::FormReply post = server::recommend::answerPost(
            store, "10.0.0.1", QDateTime::currentDateTime(), fields({"gpdm", "600000", "gpmc", "浦发银行", "tjly", "理由"}));
        QVERIFY(post.status == 503 && post.payload == kServerBusy);
        QVERIFY(!store.claimAlert({"k", "pushplus", kPhone, "t", "b", 1}));
        QVERIFY(!store.tryLead("phone"));
        bool ok = true;
        QVERIFY(store.recommendations(-1, &ok).isEmpty() && !ok);
        store.clientsSince(0, &ok);
        QVERIFY(!ok);
        // The board and the online count a process read within the last second are served from
        // memory; past that, they too say the server is busy.
        QTest::qWait(1100);
        for (const QString page : {"/gpreadall.asp", "/gpjgshow.asp", "/jg.asp", "/gpjg.asp", "/gpaddsj.asp"}) {
            const auto reply = ask(page, {"sn", kPhone, "gpdm", "600000", "gpmc", "浦发银行", "tjly", "理由"});
            QVERIFY2(reply && reply->status == 503, qPrintable(page));
            QVERIFY(reply->body.contains(net::toGbk(kServerBusy)));
        }

        // Back again: the next calls work on their own, and nothing of the failed writes is there.
        QVERIFY(cluster_->start());
        const server::MirroredConfig c = store.config(kPhone, &ok);
        QVERIFY(ok);
        QVERIFY(c.registered && c.ycf.isEmpty() && c.table1 == (QList<QStringList>{{"平安银行", "000001"}}));
        QCOMPARE(store.registeredNumbers(), QStringList{kPhone});
        QCOMPARE(store.recommendationCount(), 0);
        QVERIFY(store.tryLead("phone"));
        QCOMPARE(ask("/gpaddsj.asp", {"sn", "13912345678"})->status, 200);
        QCOMPARE(ask("/gpreadall.asp")->status, 200);
        QCOMPARE(store.registeredNumbers().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCompanionShared)
#include "test_companion_shared.moc"

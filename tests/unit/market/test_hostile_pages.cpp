// Pages cut short at every position and pages of random bytes: the parsers never crash, never
// read past the end, and never take a field that did not arrive whole.
#include "app/statuscheck.h"
#include "core/companion.h"
#include "market/indexsummary.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "settings/alertediting.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const QString kQuote = QStringLiteral(
    "var q=[\"1,600036,招商银行,35.12,-2.15%,-0.74,35.11,120,35.12,88,456789,160234.5,34.50,35.86,"
    "35.50,34.40,1,35,2026-12-09 10:15:03,\"]");
const QString kIndex = QStringLiteral(
    "var zs=[\"上证指数,3207.57,-0.98,-0.03%,5380756.39,1012,1024,114,000001,3208.55,3210.00,3212.82,"
    "3199.36,\",\"深证成指,10518.77,-54.95,-0.52%,2312345.5,1189,1381,80,399001,10573.72,10568.72,"
    "10568.72,10518.77,\"];");

QByteArray randomBytes(QRandomGenerator& rng, int size)
{
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
        b = char(rng.bounded(256));
    return bytes;
}

} // namespace

class TestHostilePages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quoteCutAtEveryPositionKeepsOnlyWholeFields()
    {
        for (qsizetype n = 0; n <= kQuote.size(); ++n) {
            const QString cut = kQuote.left(n);
            const market::StockQuote q = market::parseQuote(cut);
            const int commas = int(cut.count(u','));
            QCOMPARE(q.fieldCount, qBound(0, commas - 1, 17));
            for (const market::LabelUpdate& u : market::quotePanelUpdates(q))
                QVERIFY(!u.label.isEmpty());
            settings::lookupFromReply(cut);
        }
    }

    void indexCutAtEveryPositionReplacesOnlyFinishedLines()
    {
        const qsizetype shEnd = kIndex.indexOf(u"3199.36,") + 8;
        const qsizetype szEnd = kIndex.lastIndexOf(u"10518.77,") + 9;
        for (qsizetype n = 0; n <= kIndex.size(); ++n) {
            market::IndexSummary s;
            s.line1 = "old 1";
            s.line2 = "old 2";
            QVERIFY(market::applyIndexPage(kIndex.left(n), s));
            QCOMPARE(s.line1 != "old 1", n >= shEnd);
            QCOMPARE(s.line2 != "old 2", n >= szEnd);
        }
    }

    void randomBytesNeverCrashTheParsers()
    {
        QRandomGenerator rng(20261209);
        for (int round = 0; round < 2000; ++round) {
            const QByteArray bytes = randomBytes(rng, int(rng.bounded(1, 600)));
            const QString asUtf8 = net::fromUtf8(bytes);
            const QString asGbk = net::fromGbk(bytes);
            market::IndexSummary s;
            market::applyIndexPage(asUtf8, s);
            QVERIFY(market::parseQuote(asUtf8).fieldCount <= 17);
            market::quotePanelUpdates(market::parseQuote(asUtf8));
            app::parseStatusPage(asGbk);
            app::onlineCount(asGbk);
            app::framedPayload(asGbk);
            settings::lookupFromReply(asUtf8);
        }
    }

    void markersSplicedIntoNoiseNeverCrash()
    {
        // Marker fragments in odd places: a marker at the very end, markers inside markers.
        QRandomGenerator rng(7);
        const QStringList pieces = {"上证指数", "深证成指", ",", "&2", "\"#000000\">", "text=\"#000000\">",
                                    "</body>", "-", "%", "上证", "&", "x"};
        for (int round = 0; round < 3000; ++round) {
            QString page;
            const int parts = int(rng.bounded(1, 40));
            for (int i = 0; i < parts; ++i)
                page += pieces[int(rng.bounded(pieces.size()))];
            market::IndexSummary s;
            market::applyIndexPage(page, s);
            const app::StatusReply r = app::parseStatusPage(page);
            QVERIFY(r.ServiceCode.size() <= 1 && r.VersionCode.size() <= 1);
            app::onlineCount(page);
        }
    }
};

QTEST_GUILESS_MAIN(TestHostilePages)
#include "test_hostile_pages.moc"

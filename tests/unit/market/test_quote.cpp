#include "market/quote.h"

#include <QTest>

using market::LabelUpdate;
using market::StockQuote;
using market::Tone;

namespace {

// 18 commas: fields 1..17 complete, then a trailing remainder.
const QString kFull = QStringLiteral(
    "var q=[\"1,600036,招商银行,35.12,2.15%,0.74,35.11,120,35.12,88,456789,160234.5,34.50,34.38,"
    "35.50,34.40,-1,35,2026-12-09 10:15:03\"]");

QHash<QString, LabelUpdate> lastTextPerLabel(const QList<LabelUpdate>& updates)
{
    QHash<QString, LabelUpdate> out;
    for (const auto& u : updates)
        if (u.setText)
            out[u.label] = u;
    return out;
}

QHash<QString, Tone> lastTonePerLabel(const QList<LabelUpdate>& updates)
{
    QHash<QString, Tone> out;
    for (const auto& u : updates)
        if (u.tone != Tone::Keep)
            out[u.label] = u.tone;
    return out;
}

} // namespace

class TestQuote : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parsesEveryFieldOfAFullReply()
    {
        const StockQuote q = market::parseQuote(kFull);
        QCOMPARE(q.fieldCount, 17);
        QCOMPARE(q.code, QStringLiteral("600036"));
        QCOMPARE(q.name, QStringLiteral("招商银行"));
        QCOMPARE(q.lastPrice, QStringLiteral("35.12"));
        QCOMPARE(q.changePercent, QStringLiteral("2.15%"));
        QCOMPARE(q.change, QStringLiteral("0.74"));
        QCOMPARE(q.bidPrice1, QStringLiteral("35.11"));
        QCOMPARE(q.bidVolume1, QStringLiteral("120"));
        QCOMPARE(q.askPrice1, QStringLiteral("35.12"));
        QCOMPARE(q.askVolume1, QStringLiteral("88"));
        QCOMPARE(q.volume, QStringLiteral("456789"));
        QCOMPARE(q.amount, QStringLiteral("160234.5"));
        QCOMPARE(q.openPrice, QStringLiteral("34.50"));
        QCOMPARE(q.highPrice, QStringLiteral("35.50"));   // field 13 (34.38) skipped
        QCOMPARE(q.lowPrice, QStringLiteral("34.40"));
        QCOMPARE(q.lastTradeSign, QStringLiteral("-1"));
        QCOMPARE(q.lastTradeVolume, QStringLiteral("35"));
    }

    void fieldsWithoutClosingCommaAreAbsent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString() << 0 << QString();
        QTest::newRow("two commas") << QStringLiteral("x,600036,招商银行") << 1 << QString();
        QTest::newRow("three commas") << QStringLiteral("x,600036,招商银行,") << 2 << QStringLiteral("招商银行");
        QTest::newRow("unknown code") << QStringLiteral("x,999999,,0,0,0,") << 5 << QString();
        QTest::newRow("garbage") << QStringLiteral("\uFFFD\uFFFD<html>") << 0 << QString();
    }
    void fieldsWithoutClosingCommaAreAbsent()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QString, name);
        const StockQuote q = market::parseQuote(text);
        QCOMPARE(q.fieldCount, count);
        QCOMPARE(q.name, name);
    }

    void fullReplyFillsEveryLabel()
    {
        const auto texts = lastTextPerLabel(market::quotePanelUpdates(market::parseQuote(kFull)));
        QCOMPARE(texts.value("Label2").text, QStringLiteral("35.12元"));
        QCOMPARE(texts.value("Label44").text, QStringLiteral("2.15%"));
        QCOMPARE(texts.value("Label4").text, QStringLiteral("0.74元"));
        QCOMPARE(texts.value("Label38").text, QStringLiteral("35.11元(120手)"));
        QCOMPARE(texts.value("Label37").text, QStringLiteral("35.12元(88手)"));
        QCOMPARE(texts.value("Label8").text, QStringLiteral("456789手"));
        QCOMPARE(texts.value("Label7").text, QStringLiteral("160234.5万元"));
        QCOMPARE(texts.value("Label25").text, QStringLiteral("开盘价：34.50元"));
        QCOMPARE(texts.value("Label23").text, QStringLiteral("最高价：35.50元"));
        QCOMPARE(texts.value("Label24").text, QStringLiteral("最低价：34.40元"));
        // A sell shows 卖盘↓ in green even though the price is up.
        QCOMPARE(texts.value("Label29").text, QStringLiteral("卖盘↓ 35手"));
        QCOMPARE(texts.value("Label29").tone, Tone::Fall);
        const auto tones = lastTonePerLabel(market::quotePanelUpdates(market::parseQuote(kFull)));
        QCOMPARE(tones.value("Label2"), Tone::Rise);
        QCOMPARE(tones.value("Label44"), Tone::Rise);
        QCOMPARE(tones.value("Label4"), Tone::Rise);
        QVERIFY(!tones.contains("Label8"));
    }

    void missingSeventeenthCommaLeavesBareLastTrade()
    {
        const QString cut = kFull.left(kFull.lastIndexOf(u','));   // field 17 loses its comma
        const auto texts = lastTextPerLabel(market::quotePanelUpdates(market::parseQuote(cut)));
        QCOMPARE(texts.value("Label29").text, QStringLiteral("卖盘↓ "));
        const QString buy = QStringLiteral("x,1,n,2,0,0,0,0,0,0,0,0,0,0,0,0,1,5");
        QCOMPARE(lastTextPerLabel(market::quotePanelUpdates(market::parseQuote(buy))).value("Label29").text,
                 QStringLiteral("买盘↑ "));
    }

    void shortReplyLeavesLaterLabelsOut()
    {
        // Cut after the bid price: the bid label shows the bare price, later labels are untouched.
        const auto updates = market::quotePanelUpdates(
            market::parseQuote(QStringLiteral("x,000001,平安银行,11.2,-0.5%,-0.06,11.19,")));
        const auto texts = lastTextPerLabel(updates);
        QCOMPARE(texts.value("Label38").text, QStringLiteral("11.19"));
        QVERIFY(!texts.contains("Label37"));
        QVERIFY(!texts.contains("Label29"));
        QCOMPARE(lastTonePerLabel(updates).value("Label4"), Tone::Fall);
    }

    void directionFollowsMinusInChangePercent_data()
    {
        QTest::addColumn<QString>("percent");
        QTest::addColumn<int>("tone");
        QTest::newRow("minus") << "-1.5%" << int(Tone::Fall);
        QTest::newRow("zero") << "0" << int(Tone::Rise);
        QTest::newRow("zero point zero") << "0.0" << int(Tone::Rise);
        QTest::newRow("plus") << "3.1%" << int(Tone::Rise);
        QTest::newRow("not a number with minus") << "--" << int(Tone::Fall);
    }
    void directionFollowsMinusInChangePercent()
    {
        QFETCH(QString, percent);
        QFETCH(int, tone);
        const auto tones = lastTonePerLabel(market::quotePanelUpdates(
            market::parseQuote(QStringLiteral("x,1,n,2,") + percent + QStringLiteral(","))));
        QCOMPARE(int(tones.value("Label2")), tone);
        QCOMPARE(int(tones.value("Label44")), tone);
        QCOMPARE(int(tones.value("Label4")), tone);
    }

    void alertTableNormalisesOnlyExactZero()
    {
        auto percent = [](const char* p) {
            return market::forAlertTable(
                       market::parseQuote(QStringLiteral("x,1,n,2,%1,").arg(QLatin1String(p))))
                .changePercent;
        };
        QCOMPARE(percent("0"), QStringLiteral("0.0"));
        QCOMPARE(percent("0.00%"), QStringLiteral("0.00%"));
        QCOMPARE(percent("-0.5%"), QStringLiteral("-0.5%"));
        // The panel itself shows the service's "0".
        QCOMPARE(lastTextPerLabel(market::quotePanelUpdates(market::parseQuote(
                     QStringLiteral("x,1,n,2,0,")))).value("Label44").text,
                 QStringLiteral("0"));
    }

    void addressCarriesCodeWithoutPrefix()
    {
        QCOMPARE(market::quoteAddress("http://h:1", "600036"),
                 QStringLiteral("http://h:1/EM_Quote2007/optional.aspx?type=z&fav=600036&hick=zhou"));
    }
};

QTEST_GUILESS_MAIN(TestQuote)
#include "test_quote.moc"

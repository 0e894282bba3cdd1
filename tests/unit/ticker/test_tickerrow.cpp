// The texts and colours of a ticker stock row for whole, cut and empty quote replies.
#include "ticker/tickerrow.h"

#include <QTest>

using ticker::RowTexts;

Q_DECLARE_METATYPE(std::optional<bool>)

class TestTickerRow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowFromReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("cells");   // "~" marks a cell the reply leaves alone
        QTest::addColumn<std::optional<bool>>("falling");
        const QString head = QStringLiteral("var quote_data=[\"1,");
        QTest::newRow("down on the day")
            << head + QStringLiteral("600000,浦发银行,10.50,-1.22,-0.13,10.49,120,10.50,80,123456,"
                                     "13000.5,10.60,10.63,10.70,10.41,-1,30,2026-12-09 10:00:00,\"]")
            << QStringList{"浦发银行", "10.50", "-1.22", "10.70", "10.41", "123456手"}
            << std::optional<bool>(true);
        QTest::newRow("unchanged counts as a rise")
            << head + QStringLiteral("000002,万科Ａ,8.00,0,0.00,7.99,5,8.00,9,800,640.0,8.00,8.00,8.05,"
                                     "7.95,1,2,2026-12-09 10:00:00,\"]")
            << QStringList{"万科Ａ", "8.00", "0", "8.05", "7.95", "800手"} << std::optional<bool>(false);
        QTest::newRow("reply cut after the change percent")
            << head + QStringLiteral("600000,浦发银行,10.50,2.10,")
            << QStringList{"浦发银行", "10.50", "2.10", "~", "~", "~"} << std::optional<bool>(false);
        QTest::newRow("empty reply changes nothing")
            << QString() << QStringList{"~", "~", "~", "~", "~", "~"} << std::optional<bool>();
    }
    void rowFromReply()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, cells);
        QFETCH(std::optional<bool>, falling);
        const RowTexts row = ticker::rowTexts(market::parseQuote(reply));
        for (int c = 0; c < ticker::ColumnCount; ++c)
            QCOMPARE(row.cells[c].value_or(QStringLiteral("~")), cells[c]);
        QCOMPARE(row.falling, falling);
    }
};

QTEST_APPLESS_MAIN(TestTickerRow)
#include "test_tickerrow.moc"

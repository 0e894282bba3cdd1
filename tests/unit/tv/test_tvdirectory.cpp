#include "net/codecs.h"
#include "tv/tvdirectory.h"
#include "tv/tvlists.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tv;

namespace {

// What the server sends for `address`: each of its first 18 bytes one less.
QString scramble(const QString& address)
{
    QByteArray b = address.toLatin1();
    for (int i = 0; i < qMin<qsizetype>(18, b.size()) && b.size() >= 18; ++i)
        b[i] = char(quint8(b[i]) - 1);
    return QString::fromLatin1(b);
}

QString record(const QString& name, const QString& address, const QString& cat, const QString& group,
               const QString& leaf)
{
    return name + "&1" + scramble(address) + "&2" + cat + "&3" + group + "&4" + leaf;
}

QString page(const QStringList& records, bool closeLast = true)
{
    return QStringLiteral("<html><body text=\"#000000\">") + records.join("***") + (closeLast ? "***" : "")
           + QStringLiteral("</body></html>");
}

const QString kCctv = QStringLiteral("http://tv.example.cn:8080/live/cctv2");

} // namespace

class TestTvDirectory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void jiemi_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("under 18 unchanged") << QByteArray("gsso9..") << QByteArray("gsso9..");
        QTest::newRow("17 bytes unchanged") << QByteArray(17, 'a') << QByteArray(17, 'a');
        QTest::newRow("exactly 18") << QByteArray(18, 'a') << QByteArray(18, 'b');
        QTest::newRow("over 18: only the first 18") << QByteArray("gsso9..sw-dw`lokd-bmxyz")
                                                     << QByteArray("http://tx.example.");
        QTest::newRow("byte wraps") << QByteArray(18, char(0xFF)) << QByteArray(18, '\0');
    }
    void jiemi()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(tv::jiemi(in), out);
    }

    void descrambledAddressKeepsTheTail()
    {
        QCOMPARE(descrambleAddress(scramble(kCctv)), kCctv);
        QCOMPARE(descrambleAddress(QStringLiteral("mms://a/b")), QStringLiteral("mms://a/b"));
    }

    void records_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two") << page({" a ", "b"}) << QStringList{"a", "b"};
        QTest::newRow("one without ***") << page({"a"}, false) << QStringList{};
        QTest::newRow("text after last *** dropped") << page({"a", "b"}, false) << QStringList{"a"};
        QTest::newRow("nothing before the marker") << QStringLiteral("x***<body text=\"#000000\">a***")
                                                   << QStringList{"a"};
        QTest::newRow("four stars: an empty record") << page({"a*"}) << QStringList{"a", ""};
        QTest::newRow("marker again restarts") << QStringLiteral("<b text=\"#000000\">zz<b text=\"#000000\">a***")
                                               << QStringList{"a"};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void records()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        QCOMPARE(tvRecords(body), expected);
    }

    // The record reader and the field splitter against their rules read one character at a time,
    // on random pages built from the markers, the tokens, parts of them and text.
    void readingMatchesCharacterRules()
    {
        const QString tail = QStringLiteral("text=\"#000000\">");
        const QList<QString> pieces{tail, "text=", "***", "*", "&1", "&2", "&3", "&4", "&", "&&", "0", "ab", " "};
        QRandomGenerator rng(5);
        for (int round = 0; round < 3000; ++round) {
            QString text;
            for (int i = int(rng.bounded(40)); i > 0; --i)
                text += pieces[rng.bounded(pieces.size())];

            QStringList records;
            bool armed = false;
            qsizetype start = 0;
            for (qsizetype p = 0; p < text.size(); ++p) {
                if (QStringView(text).sliced(p).startsWith(tail)) {
                    armed = true;
                    start = p + tail.size();
                }
                if (armed && QStringView(text).sliced(p).startsWith(u"***")) {
                    records.append(p > start ? text.mid(start, p - start).trimmed() : QString());
                    start = p + 3;
                }
            }
            QCOMPARE(tvRecords(text), records);

            // One record's fields: each token ends the field before it, the first of each counts.
            if (text.contains(u'*') || text.contains(tail) || text.trimmed().isEmpty())
                continue;   // not exactly one record
            text = text.trimmed();
            QString fields[5];
            bool seen[4] = {};
            start = 0;
            for (qsizetype p = 0; p + 1 < text.size(); ++p) {
                const int token = text[p] == u'&' ? text[p + 1].unicode() - u'1' : -1;
                if (token < 0 || token > 3)
                    continue;
                if (!seen[token]) {
                    seen[token] = true;
                    fields[token] = text.mid(start, p - start);
                    if (token == 1)
                        fields[1] = descrambleAddress(fields[1]);
                    if (token == 3)
                        fields[4] = text.mid(p + 2);
                }
                start = p + 2;
            }
            const TvDirectory d = parseTvDirectory(tail + text + QStringLiteral("***"));
            QVERIFY2(d.names.size() == 1, qPrintable(text));
            QCOMPARE(d.names[0], fields[0]);
            QCOMPARE(d.addresses[0], fields[1]);
            QCOMPARE(d.categoryIds[0], fields[2]);
            QCOMPARE(d.groupIds[0], fields[3]);
            QCOMPARE(d.leafFlags[0], fields[4]);
        }
    }

    void directoryDerivesCategoriesGroupsAndChannels()
    {
        const TvDirectory d = parseTvDirectory(page({
            record("财经频道", "", "0", "1", "0"),
            record("地方台", "", "0", "2", "0"),
            record("央视二套", kCctv, "1", "11", "0"),            // a group with its own address
            record("第一财经", "", "1", "12", "0"),               // a group of channels
            record("东方财经", "http://tv.example.cn:8080/live/df", "1", "12", "1"),
            record("混入频道", "http://tv.example.cn:8080/live/x1", "2", "12", "1"),   // other category
            record("央视分台", "http://tv.example.cn:8080/live/x2", "1", "11", "1"),   // group has address
        }));
        QCOMPARE(d.names.size(), 7);
        QCOMPARE(d.categories.size(), 2);
        QCOMPARE(d.categories[1].name, QStringLiteral("地方台"));
        QCOMPARE(d.categories[1].id, QStringLiteral("2"));
        QCOMPARE(d.groups.size(), 2);
        QCOMPARE(d.channels.size(), 3);
        QCOMPARE(d.addresses[2], kCctv);

        const QList<MenuGroup> menu = d.categoryMenu(QStringLiteral("财经频道"));
        QCOMPARE(menu.size(), 2);
        QCOMPARE(menu[0].name, QStringLiteral("央视二套"));
        QVERIFY(menu[0].channels.isEmpty());   // its own address: no sub-items
        QCOMPARE(menu[1].channels, QStringList{QStringLiteral("东方财经")});   // not 混入频道
        QVERIFY(d.categoryMenu(QStringLiteral("地方台")).isEmpty());
        QVERIFY(d.categoryMenu(QStringLiteral("最近观看")).isEmpty());
    }

    void sameNamePlaysTheFirstWithAnAddress()
    {
        const TvDirectory d = parseTvDirectory(page({
            record("财经", "", "0", "1", "0"),
            record("重名", "", "1", "5", "0"),
            record("重名", "http://tv.example.cn:8080/live/first", "1", "6", "0"),
            record("重名", "http://tv.example.cn:8080/live/second", "1", "7", "0"),
        }));
        QCOMPARE(d.findPlayable(QStringLiteral("重名"))->address, QStringLiteral("http://tv.example.cn:8080/live/first"));
        QVERIFY(!d.findPlayable(QStringLiteral("财经")));
        QVERIFY(!d.findPlayable(QStringLiteral("无此台")));
    }

    void malformedRecordDoesNotShiftTheOthers()
    {
        const TvDirectory d = parseTvDirectory(page({
            QStringLiteral("坏记录&1x&2"),
            record("好记录", kCctv, "1", "2", "0"),
        }));
        QCOMPARE(d.names, (QStringList{"坏记录", "好记录"}));
        QCOMPARE(d.categoryIds, (QStringList{"", "1"}));
        QCOMPARE(d.addresses[1], kCctv);
    }

    void streamSchemes_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("playable");
        QTest::newRow("http") << "http://h/a.wav" << true;
        QTest::newRow("rtsp") << "rtsp://h:554/s" << true;
        QTest::newRow("mms") << "mms://h/tv" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("local path") << "/home/u/a.mp4" << false;
        QTest::newRow("no host") << "http:///x" << false;
    }
    void streamSchemes()
    {
        QFETCH(QString, address);
        QFETCH(bool, playable);
        QCOMPARE(isStreamAddress(address), playable);
    }

    // ---- the recently watched ring and the list files ----

    void ringOfTen()
    {
        TvLists lists;
        for (int i = 0; i < 11; ++i)
            lists.recordPlay({QString::number(i), "http://h/" + QString::number(i)});
        QCOMPARE(lists.recent.size(), 10);
        QCOMPARE(lists.recent[0].name, QStringLiteral("10"));
        QCOMPARE(lists.recent[1].name, QStringLiteral("1"));
        QCOMPARE(lists.playCounter, 11);

        lists.clearRecent();
        for (int i = 0; i < 13; ++i)
            lists.recordPlay({"p" + QString::number(i), "http://h/"});
        QCOMPARE(lists.recent.size(), 10);
        QCOMPARE(lists.recent[2].name, QStringLiteral("p12"));
    }

    void listFileLines()
    {
        const QByteArray text = net::toGbk(QStringLiteral("央视&http://h/a?x=1&y=2\r\n没有分隔\r\n&\r\n东方&mms://h/b\n"));
        const QList<Programme> entries = parseTvListFile(text);
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].name, QStringLiteral("央视"));
        QCOMPARE(entries[0].address, QStringLiteral("http://h/a?x=1&y=2"));
        QCOMPARE(entries[1].name, QString());
        QCOMPARE(entries[2].address, QStringLiteral("mms://h/b"));
        QCOMPARE(tvListFileText(entries),
                 net::toGbk(QStringLiteral("央视&http://h/a?x=1&y=2\r\n&\r\n东方&mms://h/b\r\n")));
        QVERIFY(tvListFileText({}).isEmpty());
    }

    // A name may hold "&": it ends at the "&" that begins the address.
    void listFileNameAndAddress_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::newRow("name with &") << "沪&深快讯&http://h/k" << "沪&深快讯" << "http://h/k";
        QTest::newRow("name with & and query with &") << "A&B台&mms://h/s?x=1&y=http://z" << "A&B台" << "mms://h/s?x=1&y=http://z";
        QTest::newRow("scheme with digits and dots") << "台&rtsp2.x+y://h/s" << "台" << "rtsp2.x+y://h/s";
        QTest::newRow("& then a word that is no scheme") << "甲&乙://h&http://h/a" << "甲&乙://h" << "http://h/a";
        QTest::newRow("no address: first &") << "甲&乙&丙" << "甲" << "乙&丙";
        QTest::newRow("scheme without //") << "甲&mailto:x&y" << "甲" << "mailto:x&y";
        QTest::newRow("& at the end") << "甲&" << "甲" << "";
    }
    void listFileNameAndAddress()
    {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(QString, address);
        const QList<Programme> entries = parseTvListFile(net::toGbk(line + "\r\n"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, name);
        QCOMPARE(entries[0].address, address);
        // What the program writes reads back the same.
        const QList<Programme> again = parseTvListFile(tvListFileText(entries));
        QCOMPARE(again.size(), 1);
        QCOMPARE(again[0].name, name);
        QCOMPARE(again[0].address, address);
    }
};

QTEST_GUILESS_MAIN(TestTvDirectory)
#include "test_tvdirectory.moc"

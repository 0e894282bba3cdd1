#include "info/announcements.h"
#include "info/commentary.h"
#include "info/rumours.h"

#include <QRandomGenerator>
#include <QTest>

using namespace info;

namespace {

const QString kBase = QStringLiteral("http://data.test");

QString noticeRow(const QString& href, const QString& text, const QString& date)
{
    return QStringLiteral("<li><span class=\"caption\"><a href=\"%1\">%2</a></span><span class=\"time\">%3</span></li>")
        .arg(href, text, date);
}

const QString kNoticeHead = noticeRow("#", "公告标题", "公告时间");

QString rumourSection(const QString& anchors)
{
    return QStringLiteral("<div id=\"con030\"><ul>%1</ul></div>").arg(anchors);
}

QString reportSection(const QString& anchors)
{
    return QStringLiteral("<div id=\"con03-2\"><ul>%1</ul></div>").arg(anchors);
}

QString rumourAnchor(const QString& title)
{
    return QStringLiteral("<li><a href=\" http://s.test/r/1.shtml\" target=\"_blank\">%1</a></li>").arg(title);
}

QString reportAnchor(const QString& text, const QString& href = QStringLiteral("http://s.test/p/2.shtml"))
{
    return QStringLiteral("<li><a href=\"%1\">%2</a></li>").arg(href, text);
}

} // namespace

class TestStockNewsPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commentary_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("expected");
        QTest::newRow("marker ends the last tag") << "<td width=\"156\">&nbsp;看多</font>" << true << "&nbsp;看多";
        QTest::newRow("after a nested tag") << "<td width=\"156\">&nbsp;<a href=\"m\"><font color=\"#003399\">短线反弹 &amp; 关注</font></a>"
                                            << true << "短线反弹 &amp; 关注";
        QTest::newRow("no marker") << "<td width=\"150\">&nbsp;<font color=\"red\">看空</font>" << false << "";
        QTest::newRow("marker, no font end") << "<td width=\"156\">&nbsp;<font>看空" << false << "";
        QTest::newRow("font end before the marker") << "看</font>\"156\">&nbsp;" << false << "";
        QTest::newRow("empty opinion") << "\"156\">&nbsp;<font color=\"x\"></font>" << true << "";
    }
    void commentary()
    {
        QFETCH(QString, page);
        QFETCH(bool, found);
        QFETCH(QString, expected);
        const std::optional<QString> opinion = scanCommentary(page);
        QCOMPARE(opinion.has_value(), found);
        if (found)
            QCOMPARE(*opinion, expected);
        QCOMPARE(commentaryPath("600000"), "/data/qgqp.asp?zqdm=600000");
    }

    void noticeList()
    {
        AnnouncementLists lists;
        const QString page = "<ul>" + kNoticeHead
                             + noticeRow("Notice_Detail.aspx?id=1", "浦发银行(600000)关于分红的公告", "2026-12-01")
                             + noticeRow("Notice_Detail.aspx?id=2", "没有括号的标题", "2026-12-09")
                             + "<li><span class=\"caption\">坏的标题</a></span><span class=\"time\">2026-11-30</span></li>"
                             + "</ul>";
        scanNoticeList(page, kBase, lists);
        QCOMPARE(lists.titles, QStringList({"公告标题", "关于分红的公告", "没有括号的标题"}));
        QCOMPARE(lists.addresses, QStringList({kBase + "/Notice/#", kBase + "/Notice/Notice_Detail.aspx?id=1",
                                               kBase + "/Notice/Notice_Detail.aspx?id=2"}));
        QCOMPARE(lists.dates, QStringList({"公告时间", "2026-12-01", "2026-12-09", "2026-11-30"}));
        // A second page appends.
        scanNoticeList(page, kBase, lists);
        QCOMPARE(lists.titles.size(), 6);
        QCOMPARE(noticeListPath("000001"), "/Notice/Notice_List.aspx?code=000001&date=&type=");
    }

    void timeSpansCountOnlyAfterACaption()
    {
        AnnouncementLists lists;
        scanNoticeList("<span class=\"time\">2026-12-09</span>" + kNoticeHead, kBase, lists);
        QCOMPARE(lists.dates, QStringList({"公告时间"}));
    }

    void noticeDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("iso") << "2026-12-09" << QDate(2026, 12, 9);
        QTest::newRow("no zeros") << "2026-1-5" << QDate(2026, 1, 5);
        QTest::newRow("slashes, blanks") << " 2026/12/09 " << QDate(2026, 12, 9);
        QTest::newRow("heading") << "公告时间" << QDate();
        QTest::newRow("mixed separators") << "2026-12/09" << QDate();
        QTest::newRow("no such day") << "2026-02-30" << QDate();
        QTest::newRow("with time") << "2026-12-09 10:00" << QDate();
        QTest::newRow("short year") << "26-12-09" << QDate();
        QTest::newRow("empty") << "" << QDate();
        QTest::newRow("sign") << "2026-+1-09" << QDate();
    }
    void noticeDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        const std::optional<QDate> date = parseNoticeDate(text);
        QCOMPARE(date.value_or(QDate()), expected);
    }

    void todayTest_data()
    {
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<int>("expected");   // 1 yes, 0 no, -1 failure
        QTest::newRow("today not first") << QStringList{"公告时间", "2026-11-20", "2026-12-09"} << 1;
        QTest::newRow("heading only") << QStringList{"公告时间"} << 0;
        QTest::newRow("nothing") << QStringList{} << 0;
        QTest::newRow("older days") << QStringList{"公告时间", "2026-12-08", "2026-1-9"} << 0;
        QTest::newRow("a non-date fails") << QStringList{"公告时间", "2026-12-08", "明天"} << -1;
        QTest::newRow("today ends the walk first") << QStringList{"2026-12-9", "garbage"} << 1;
    }
    void todayTest()
    {
        QFETCH(QStringList, dates);
        QFETCH(int, expected);
        const std::optional<bool> today = announcedToday(dates, QDate(2026, 12, 9));
        QCOMPARE(today ? int(*today) : -1, expected);
    }

    void companyPageAddress()
    {
        QCOMPARE(companyPagePath("600000"), "/realstock/company/sh600000/nc.shtml");
        QCOMPARE(companyPagePath("000001"), "/realstock/company/sz000001/nc.shtml");
        QCOMPARE(companyPagePath("300750"), "/realstock/company/sz300750/nc.shtml");
    }

    void rumourLinkAndTitle()
    {
        const CompanyPageScan scan = scanCompanyPage(rumourSection(rumourAnchor(" 传言一") + rumourAnchor("传言二")) + "x");
        QCOMPARE(scan.rumour.link.value_or("none"), "http://s.test/r/1.shtml");   // trimmed
        QCOMPARE(scan.rumour.title.value_or("none"), " 传言一");                 // the first anchor, as it stands
        QVERIFY(!scan.report);
    }

    void reports_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("link");
        const QString prefix = QStringLiteral("[2026-12-08] ");
        const QString seventeen = QStringLiteral("甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午");
        QTest::newRow("30 characters") << prefix + seventeen << seventeen << "http://s.test/p/2.shtml";
        QTest::newRow("31 characters") << prefix + seventeen + "未" << seventeen.left(16) + "..."
                                       << "http://s.test/p/2.shtml";
        QTest::newRow("more only") << "更多&gt;&gt;" << "暂无" << "";
        QTest::newRow("short") << "短" << "" << "http://s.test/p/2.shtml";
    }
    void reports()
    {
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(QString, link);
        const CompanyPageScan scan = scanCompanyPage(rumourSection(rumourAnchor("传言")) + reportSection(reportAnchor(text)));
        QVERIFY(scan.report);
        QCOMPARE(scan.report->caption, caption);
        QCOMPARE(scan.report->link, link);
        QCOMPARE(scan.report->hint, text.contains("更多") ? QStringLiteral("暂无") : text);
    }

    void reportAnchorWithoutTagEndIsSkipped()
    {
        const QString page = reportSection("<li><a href=\"x\" class='y'>不算</a></li>" + reportAnchor("[2026-12-08] 第二篇"));
        const CompanyPageScan scan = scanCompanyPage(page);
        QVERIFY(scan.report);
        QCOMPARE(scan.report->caption, "第二篇");
        QCOMPARE(scan.report->link, "http://s.test/p/2.shtml");
    }

    void reportSectionFirstEndsTheScan()
    {
        const CompanyPageScan scan =
            scanCompanyPage(reportSection(reportAnchor("[2026-12-08] 报告")) + rumourSection(rumourAnchor("传言")));
        QVERIFY(scan.report);
        QVERIFY(!scan.rumour.title);
        QVERIFY(!scan.rumour.link);
    }

    void hostilePagesStayLinearAndSafe()
    {
        // Many anchors without `">` after one far-away link start: one pass, no crash.
        const QString many = reportSection("<a href=\"" + QString("x</a>").repeated(200000));
        QVERIFY(!scanCompanyPage(many).report);
        QString noise;
        QRandomGenerator rng(7);
        const QString pieces[] = {"id=\"con030\"", "id=\"con03-2\"", "href=\"", ".shtml", "blank\">", "</a>",
                                  "\">", "更多", "<span class=\"caption\">", "</a></span>",
                                  "<span class=\"time\">", "</span>", "\"156\">&nbsp;", "</font>", "x"};
        for (int i = 0; i < 20000; ++i)
            noise += pieces[rng.bounded(int(std::size(pieces)))];
        scanCompanyPage(noise);
        AnnouncementLists lists;
        scanNoticeList(noise, kBase, lists);
        QCOMPARE(lists.addresses.size(), lists.titles.size());
        scanCommentary(noise);
        for (qsizetype n = 0; n < 200; ++n)
            scanCompanyPage(QStringView(noise).left(n));
    }
};

QTEST_GUILESS_MAIN(TestStockNewsPages)
#include "test_stocknews_pages.moc"

// The readers of the commentary, research-report and rumour services, on the recorded replies and
// on the failure shapes each service answers with.
#include "livedata.h"
#include "livenews.h"

#include <QTest>

using namespace feed;
using namespace feed::livenews;

class TestLiveNews : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commentaryTextNothingTodayAndFailure()
    {
        QCOMPARE(*readComment(CommentReport::Diagnosis, liveData("datacenter_diagnosis.json")),
                 QStringLiteral("近期的平均成本为35.02元，股价在成本上方运行。多头行情中，目前处于回落整理阶段且下跌趋势有所减缓，"
                                "投资者可适当关注。该公司运营状况良好，多数机构认为该股长期投资价值较高。"));   // no '<' '>' left
        QCOMPARE(*readComment(CommentReport::TrendVolume, liveData("datacenter_trend.json")),
                 QStringLiteral("量能温和放大，股价沿5日均线震荡上行，短线关注11.20元压力位。"));
        // 9201 is nothing today; a row without the text field as well.
        for (const auto report : {CommentReport::Diagnosis, CommentReport::TrendVolume, CommentReport::Figures})
            QCOMPARE(*readComment(report, liveData("datacenter_empty.json")), QString());
        QCOMPARE(*readComment(CommentReport::Diagnosis, liveData("datacenter_trend.json")), QString());
        // Any other code is a failure, and so is a reply that is not the data centre's.
        QVERIFY(!readComment(CommentReport::Diagnosis, liveData("datacenter_refused.json")));
        QVERIFY(!readComment(CommentReport::Figures, "<html>验证</html>"));
        QVERIFY(!readComment(CommentReport::Diagnosis, R"({"code":0,"success":true,"result":{"data":[{"WORDS_EXPLAIN":5}]}})"));
    }

    void commentaryFromTheFigures()
    {
        QCOMPARE(*readComment(CommentReport::Figures, liveData("datacenter_figures.json")),
                 QStringLiteral("综合得分68.5分，目前排名第1432位，主力成本10.96元，机构参与度36.2%。"));
        // A figure given as null is left out; none at all is nothing today.
        QCOMPARE(*readComment(CommentReport::Figures, R"({"code":0,"success":true,"result":{"data":[{"TOTALSCORE":null,"RANK":null,"PRIME_COST":9.5,"ORG_PARTICIPATE":null}]}})"),
                 QStringLiteral("主力成本9.50元。"));
        QCOMPARE(*readComment(CommentReport::Figures, R"({"code":0,"success":true,"result":{"data":[{"TOTALSCORE":null}]}})"), QString());
        // A figure out of its range refuses the reply.
        for (const char* bad : {R"("TOTALSCORE":130)", R"("ORG_PARTICIPATE":1.7)", R"("PRIME_COST":-3)", R"("RANK":"x")"}) {
            const QByteArray body = QByteArray(R"({"code":0,"success":true,"result":{"data":[{)") + bad + "}]}}";
            QVERIFY2(!readComment(CommentReport::Figures, body), bad);
        }
    }

    void reportsNewestFirstWithTheirPages()
    {
        const auto read = readReports(liveData("reportapi_reports.json"));
        QVERIFY(read);
        QCOMPARE(read->size(), 3);
        QCOMPARE(read->at(0).date, QDate(2026, 12, 8));
        QCOMPARE(read->at(0).title, QStringLiteral("国泰君安：零售银行龙头，财富管理护城河深厚"));   // quotes taken out
        QCOMPARE(read->at(0).url, QStringLiteral("https://data.eastmoney.com/report/info/AP202612081234567891.html"));
        QCOMPARE(read->at(1).date, QDate(2026, 11, 2));
        QCOMPARE(read->at(2).date, QDate(2026, 10, 30));
        QCOMPARE(readReports(liveData("reportapi_empty.json"))->size(), 0);
        QVERIFY(!readReports(R"({"data":[{"title":"t","publishDate":"2026-12-08","infoCode":"../../etc"}]})"));
        QVERIFY(!readReports(R"({"message":"blocked"})"));
    }

    void questionsOnlyAnsweredOnesNewestFirst()
    {
        const auto read = readQuestions(liveData("guba_questions.json"));
        QVERIFY(read);
        QCOMPARE(read->size(), 2);   // the newest question has no answer yet
        QCOMPARE(read->at(0).title, QStringLiteral("有传闻称公司高管近期变动，请董秘求证。"));
        QCOMPARE(read->at(0).date, QDate(2026, 12, 8));
        QCOMPARE(read->at(0).id, QStringLiteral("wdm1456700001"));   // a number in the reply
        QCOMPARE(read->at(1).id, QStringLiteral("wdm1456600002"));   // a text
        QCOMPARE(readQuestions(liveData("guba_none.json"))->size(), 0);
        QVERIFY(!readQuestions(R"({"rc":0,"me":"系统繁忙"})"));
        QVERIFY(!readQuestions(R"({"rc":1,"re":[{"post_id":"12ab","ask_question":"q","ask_answer":"a","post_display_time":"2026-12-08 10:00:00"}]})"));
        QVERIFY(!readQuestions("<html>请完成验证</html>"));
    }

    void exchangeQuestionsAndOrganisations()
    {
        QCOMPARE(*readIrmOrg(liveData("cninfo_org.json"), QStringLiteral("000001")), QStringLiteral("gssz0000001"));
        QCOMPARE(*readIrmOrg(liveData("cninfo_org.json"), QStringLiteral("000002")), QString());
        const auto irm = readIrmQuestions(liveData("cninfo_questions.json"));
        QVERIFY(irm);
        QCOMPARE(irm->size(), 1);
        QCOMPARE(irm->at(0).title, QStringLiteral("请问公司是否有回购股份的计划？"));
        QCOMPARE(irm->at(0).date, QDate(2026, 12, 8));   // the answer's day, Beijing time
        QCOMPARE(irm->at(0).id, QStringLiteral("irm1866990000000000000"));
        QVERIFY(!readIrmQuestions(R"({"code":500})"));

        QCOMPARE(*readSnsCompany(liveData("sse_company.txt")), QStringLiteral("80"));
        QCOMPARE(*readSnsCompany(""), QString());
        QVERIFY(!readSnsCompany("<html><body>error</body></html>"));
        const auto sns = readSnsQuestions(liveData("sse_feed.html"), QDateTime(QDate(2026, 12, 9), QTime(16, 0)));
        QVERIFY(sns);
        QCOMPARE(sns->size(), 2);
        QCOMPARE(sns->at(0).title, QStringLiteral("董秘你好，近日市场传闻公司将设立理财子公司二期，请问是否属实？"));
        QCOMPARE(sns->at(0).date, QDate(2026, 12, 9));   // answered "3小时前"
        QCOMPARE(sns->at(0).id, QStringLiteral("sns1759812"));
        QCOMPARE(sns->at(1).date, QDate(2026, 11, 22));
        QCOMPARE(readSnsQuestions("", QDateTime::currentDateTime())->size(), 0);   // an empty feed
        QVERIFY(!readSnsQuestions("<html><body>访问过于频繁</body></html>", QDateTime::currentDateTime()));
    }

    void rumourAddresses()
    {
        QCOMPARE(*rumourAddress(QStringLiteral("600036"), QStringLiteral("wdm1456700001")),
                 QStringLiteral("https://guba.eastmoney.com/news,600036,1456700001.html"));
        QCOMPARE(*rumourAddress(QStringLiteral("000001"), QStringLiteral("irm1866990000000000000")),
                 QStringLiteral("https://irm.cninfo.com.cn/ircs/question/questionDetail?questionId=1866990000000000000"));
        QCOMPARE(*rumourAddress(QStringLiteral("600036"), QStringLiteral("sns1759812")),
                 QStringLiteral("https://sns.sseinfo.com/qadetail.do?questionId=1759812"));
        for (const char* id : {"2461234", "xyz12", "wdm", "wdm12/../x"})
            QVERIFY2(!rumourAddress(QStringLiteral("600036"), QLatin1String(id)), id);
        QVERIFY(!rumourAddress(QStringLiteral("60003"), QStringLiteral("wdm1")));
    }
};

QTEST_GUILESS_MAIN(TestLiveNews)
#include "test_livenews.moc"

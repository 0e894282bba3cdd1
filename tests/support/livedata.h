// The recorded replies of the live market's upstream services (tests/data/live) and a stand-in
// upstream that serves them on loopback: a second sandbox whose pages are those replies.
#pragma once

#include "livenews.h"
#include "sandbox.h"
#include "upstream.h"

#include <QFile>
#include <QTest>
#include <memory>

inline QByteArray liveData(const char* name)
{
    QFile f(QStringLiteral(HUILAN_TEST_DATA "/live/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", name);
    return f.readAll();
}

// The upstream paths the live market asks, as the stand-in serves them.
inline const QString kTencentBoth = QStringLiteral("/q=sz000001,sh600036");
inline const QString kSinaBoth = QStringLiteral("/list=sz000001,sh600036");
inline const QString kIndexApi = QStringLiteral("/api/qt/ulist.np/get");
inline const QString kBillApi = QStringLiteral("/quotes_service/api/json_v2.php/CN_Bill.GetBillList");
inline const QString kFlowApi = QStringLiteral("/api/qt/stock/fflow/daykline/get");
inline const QString kNoticeApi = QStringLiteral("/api/security/ann");
inline const QString kNewsApi = QStringLiteral("/comm/web/getFastNewsList");
inline const QString kTencentIndices = QStringLiteral("/q=sh000001,sz399001");
inline const QString kBlogList = QStringLiteral("/s/articlelist_1300871220_0_1.html");   // the live directory's first blog
inline const QString kGubaList = QStringLiteral("/list,600036,f_1.html");
inline const QString kGbapiList = QStringLiteral("/webarticlelist/api/Article/Articlelist");
inline const QString kDataCentreApi = QStringLiteral("/api/data/v1/get");
inline const QString kReportApi = QStringLiteral("/report/list");
inline const QString kQuestionApi = QStringLiteral("/interface/GetData.aspx");
inline const QString kIrmOrgApi = QStringLiteral("/newircs/index/queryKeyboardInfo");
inline const QString kIrmQuestionApi = QStringLiteral("/newircs/company/question");
inline const QString kSnsCompanyApi = QStringLiteral("/ajax/getCompany.do");
inline const QString kSnsFeedApi = QStringLiteral("/ajax/userfeeds.do");
// One data-centre report of one stock, as the stand-in's page key.
inline QString commentKey(feed::livenews::CommentReport report, const QString& code)
{
    return feed::livenews::commentPath(report, code);
}

struct StandIn {
    StandIn()
    {
        sandbox::Options o;
        o.port = 0;
        o.dataDir = dir.filePath(QStringLiteral("standin"));
        box = std::make_unique<sandbox::Sandbox>(o);
        started = box->start();
        const QByteArray gbk = "text/html; charset=GBK";
        const QByteArray json = "application/json; charset=utf-8";
        for (const QString& p : {kTencentBoth, QStringLiteral("/q=sh600036,sz000001"), QStringLiteral("/q=sh600036"), QStringLiteral("/q=sz000001"),
                                 QStringLiteral("/q=sh600999")})
            box->setFixedPage(p, liveData("tencent_quotes.txt"), gbk);
        for (const QString& p : {kSinaBoth, QStringLiteral("/list=sh600036,sz000001"), QStringLiteral("/list=sh600036"), QStringLiteral("/list=sz000001"),
                                 QStringLiteral("/list=sh600999")})
            box->setFixedPage(p, liveData("sina_quotes.txt"), gbk);
        box->setFixedPage(QStringLiteral("/q=bj920002"), liveData("tencent_beijing.txt"), gbk);
        box->setFixedPage(QStringLiteral("/list=bj920002"), liveData("sina_quotes_trailing_comma.txt"), gbk);
        box->setFixedPage(kTencentIndices, liveData("tencent_indices.txt"), gbk);
        box->setFixedPage(kIndexApi, liveData("eastmoney_indices.json"), json);
        box->setFixedPage(kBlogList, liveData("sina_blog_articlelist.html"), "text/html; charset=utf-8");
        box->setFixedPage(kBillApi, liveData("sina_bills.txt"), gbk);
        box->setFixedPage(kFlowApi, liveData("eastmoney_moneyflow.json"), json);
        box->setFixedPage(kNoticeApi, liveData("eastmoney_notices.json"), json);
        box->setFixedPage(kNewsApi, liveData("eastmoney_news.json"), json);
        box->setFixedPage(kGubaList, liveData("guba_list.html"), "text/html; charset=utf-8");
        box->setFixedPage(kGbapiList, liveData("gbapi_articlelist.json"), json);
        // The commentary: 招商银行 has the diagnosis text; 平安银行 has neither text, so the figures.
        using feed::livenews::CommentReport;
        box->setFixedPage(kDataCentreApi, liveData("datacenter_figures.json"), json);
        box->setFixedPage(commentKey(CommentReport::Diagnosis, QStringLiteral("600036")), liveData("datacenter_diagnosis.json"), json);
        for (const auto report : {CommentReport::Diagnosis, CommentReport::TrendVolume})
            box->setFixedPage(commentKey(report, QStringLiteral("000001")), liveData("datacenter_empty.json"), json);
        box->setFixedPage(kReportApi, liveData("reportapi_reports.json"), json);
        box->setFixedPage(kQuestionApi, liveData("guba_questions.json"), json);
        box->setFixedPage(kIrmOrgApi, liveData("cninfo_org.json"), json);
        box->setFixedPage(kIrmQuestionApi, liveData("cninfo_questions.json"), json);
        box->setFixedPage(kSnsCompanyApi, liveData("sse_company.txt"), "text/html; charset=UTF-8");
        box->setFixedPage(kSnsFeedApi, liveData("sse_feed.html"), "text/html; charset=UTF-8");
    }

    // Every upstream name pointed at the stand-in.
    QHash<QString, QString> bases() const
    {
        QHash<QString, QString> out;
        for (const QString& name : feed::upstream::names())
            out.insert(name, box->baseUrl());
        return out;
    }
    int asked(const QString& path) const { return int(box->requestsTo(path).size()); }

    // A large-trade list of exactly one full page of `count` trades of 100 lots each at 10 yuan,
    // bought (U) at 9:40, in the list's strict JSON.
    static QByteArray fullBillPage(int count = feed::upstream::kBillPageSize)
    {
        QByteArray out = "[";
        for (int i = 0; i < count; ++i)
            out += QByteArray(i ? "," : "") + "{\"symbol\":\"sh600036\",\"name\":\"x\",\"ticktime\":\"09:40:00\","
                   "\"price\":\"10.000\",\"volume\":\"10000\",\"prev_price\":\"10.000\",\"kind\":\"U\"}";
        return out + "]";
    }

    QTemporaryDir dir;
    std::unique_ptr<sandbox::Sandbox> box;
    bool started = false;
};

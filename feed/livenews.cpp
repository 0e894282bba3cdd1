#include "livenews.h"

#include "upstream.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>

namespace feed::livenews {

using upstream::amountIn;
using upstream::countIn;
using upstream::jsonObjectOf;
using upstream::pageText;

namespace {

// The services' own times are Beijing time.
const QTimeZone& beijing()
{
    static const QTimeZone zone(8 * 3600);
    return zone;
}

// A question's or report's number: digits, given as text or as a whole JSON number.
std::optional<QString> idOf(const QJsonValue& v)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,24}$"));
    if (v.isString() && digits.match(v.toString()).hasMatch())
        return v.toString();
    if (const auto n = countIn(v); n && v.isDouble() && double(*n) == v.toDouble() && *n < (qint64(1) << 53))
        return QString::number(*n);
    return std::nullopt;
}

// The rows of a data-centre reply: code 0 with success is an answer (no result: no row), 9201
// ("返回数据为空") is no row; any other code is a failure.
std::optional<QJsonArray> dataRows(const QByteArray& body)
{
    const auto root = jsonObjectOf(body);
    if (!root || !root->value(QStringLiteral("code")).isDouble())
        return std::nullopt;
    const int code = root->value(QStringLiteral("code")).toInt(-1);
    if (code == 9201)
        return QJsonArray();
    if (code != 0 || !root->value(QStringLiteral("success")).toBool())
        return std::nullopt;
    const QJsonValue result = root->value(QStringLiteral("result"));
    if (result.isNull())
        return QJsonArray();
    const QJsonValue data = result.toObject().value(QStringLiteral("data"));
    if (data.isNull())
        return QJsonArray();
    if (!data.isArray())
        return std::nullopt;
    return data.toArray();
}

// The day's figures as one line; empty when the row has none of them.
std::optional<QString> figuresLine(const QJsonObject& row)
{
    QStringList parts;
    // Each figure: absent or null leaves it out; anything else must be a number in its range.
    auto figure = [&row](const char* key, double most) -> std::optional<std::optional<double>> {
        const QJsonValue v = row.value(QLatin1String(key));
        if (v.isNull() || v.isUndefined())
            return std::optional<double>();
        const auto n = amountIn(v);
        if (!n || *n > most)
            return std::nullopt;
        return n;
    };
    const auto score = figure("TOTALSCORE", 100);
    const auto rank = figure("RANK", 100000);
    const auto cost = figure("PRIME_COST", 1e6);
    const auto participation = figure("ORG_PARTICIPATE", 1);
    if (!score || !rank || !cost || !participation)
        return std::nullopt;
    if (*score)
        parts << QStringLiteral("综合得分%1分").arg(**score, 0, 'f', 1);
    if (*rank && **rank >= 1)
        parts << QStringLiteral("目前排名第%1位").arg(qint64(**rank));
    if (*cost && **cost > 0)
        parts << QStringLiteral("主力成本%1元").arg(**cost, 0, 'f', 2);
    if (*participation)
        parts << QStringLiteral("机构参与度%1%").arg(**participation * 100, 0, 'f', 1);
    return parts.isEmpty() ? QString() : parts.join(QStringLiteral("，")) + QStringLiteral("。");
}

QString cleanText(QString html)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    html.remove(tag);
    html.replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&lt;"), QLatin1String(" "))
        .replace(QLatin1String("&gt;"), QLatin1String(" "))
        .replace(QLatin1String("&quot;"), QLatin1String(" "))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return pageText(html);
}

void newestFirst(QList<CompanyNewsEntry>& list)
{
    std::stable_sort(list.begin(), list.end(), [](const CompanyNewsEntry& a, const CompanyNewsEntry& b) { return a.date > b.date; });
}

// A time of the 上证e互动 feed: "2026年06月29日 16:48", or for recent ones "45分钟前", "3小时前",
// "昨天 10:12" or "今天 10:12".
QDate snsDay(const QString& text, const QDateTime& now)
{
    static const QRegularExpression absolute(QStringLiteral("(\\d{4})年(\\d{1,2})月(\\d{1,2})日"));
    static const QRegularExpression ago(QStringLiteral("(\\d{1,4})(分钟|小时)前"));
    // The sandbox's clock is the market's own (Beijing) time, as the program's is.
    const QDateTime& here = now;
    if (const auto m = absolute.match(text); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (const auto m = ago.match(text); m.hasMatch())
        return here.addSecs(-qint64(m.captured(1).toInt()) * (m.captured(2) == u"分钟" ? 60 : 3600)).date();
    if (text.contains(QStringLiteral("昨天")))
        return here.date().addDays(-1);
    if (text.contains(QStringLiteral("今天")) || text.contains(QStringLiteral("秒前")))
        return here.date();
    return {};
}

const QString kDataCentreQuery = QStringLiteral("/api/data/v1/get?reportName=");

} // namespace

QString commentPath(CommentReport report, const QString& code)
{
    const char* name = report == CommentReport::Diagnosis     ? "RPT_CUSTOM_STOCK_PK"
                       : report == CommentReport::TrendVolume ? "RPT_STOCK_TRENDVOLUME_COMMENT"
                                                              : "RPT_DMSK_TS_STOCKNEW";
    return kDataCentreQuery + QLatin1String(name) + QStringLiteral("&columns=ALL&filter=(SECURITY_CODE%3D%22") + code
           + QStringLiteral("%22)&pageNumber=1&pageSize=1&source=WEB&client=WEB");
}

std::optional<QString> readComment(CommentReport report, const QByteArray& body)
{
    const auto rows = dataRows(body);
    if (!rows)
        return std::nullopt;
    if (rows->isEmpty())
        return QString();
    const QJsonObject row = rows->first().toObject();
    if (report == CommentReport::Figures)
        return figuresLine(row);
    const QJsonValue text = row.value(QLatin1String(report == CommentReport::Diagnosis ? "WORDS_EXPLAIN" : "COMMENT_TXT"));
    if (!text.isNull() && !text.isUndefined() && !text.isString())
        return std::nullopt;
    return pageText(text.toString());
}

QString reportListPath(const QString& code, const QDate& today)
{
    return QStringLiteral("/report/list?industryCode=*&pageSize=%1&industry=*&rating=*&ratingChange=*&beginTime=%2"
                          "&endTime=%3&pageNo=1&fields=&qType=0&orgCode=&rcode=&code=")
               .arg(kItems)
               .arg(today.addYears(-2).toString(Qt::ISODate), today.addDays(1).toString(Qt::ISODate))
           + code;
}

std::optional<QList<CompanyNewsEntry>> readReports(const QByteArray& body)
{
    static const QRegularExpression infoCode(QStringLiteral("^[A-Za-z0-9]{1,40}$"));
    const auto root = jsonObjectOf(body);
    if (!root)
        return std::nullopt;
    const QJsonValue data = root->value(QStringLiteral("data"));
    if (!data.isArray())
        return std::nullopt;
    QList<CompanyNewsEntry> out;
    for (const QJsonValue& v : data.toArray()) {
        const QJsonObject row = v.toObject();
        const QString code = row.value(QStringLiteral("infoCode")).toString();
        const QDate date = QDate::fromString(row.value(QStringLiteral("publishDate")).toString().left(10), Qt::ISODate);
        const QString title = pageText(row.value(QStringLiteral("title")).toString());
        const QString org = pageText(row.value(QStringLiteral("orgSName")).toString());
        if (!infoCode.match(code).hasMatch() || !date.isValid() || title.isEmpty())
            return std::nullopt;
        out.append({date, org.isEmpty() ? title : org + QStringLiteral("：") + title, code,
                    QStringLiteral("https://data.eastmoney.com/report/info/%1.html").arg(code)});
    }
    newestFirst(out);
    return out.mid(0, kItems);
}

QString questionPath()
{
    return QStringLiteral("/interface/GetData.aspx");
}

QByteArray questionForm(const QString& code)
{
    return "path=question%2Fapi%2FInfo%2FSearch&param=code%3D" + code.toLatin1() + "%26ps%3D15%26p%3D1%26qatype%3D2&env=2";
}

std::optional<QList<CompanyNewsEntry>> readQuestions(const QByteArray& body)
{
    const auto root = jsonObjectOf(body);
    if (!root || !root->value(QStringLiteral("rc")).isDouble())
        return std::nullopt;
    if (root->value(QStringLiteral("rc")).toInt() != 1) {
        if (root->value(QStringLiteral("me")).toString().contains(QStringLiteral("暂无")))
            return QList<CompanyNewsEntry>();
        return std::nullopt;
    }
    const QJsonValue rows = root->value(QStringLiteral("re"));
    if (!rows.isArray() && !rows.isNull())
        return std::nullopt;
    QList<CompanyNewsEntry> out;
    for (const QJsonValue& v : rows.toArray()) {
        const QJsonObject row = v.toObject();
        const auto id = idOf(row.value(QStringLiteral("post_id")));
        QString when = row.value(QStringLiteral("post_display_time")).toString();
        if (when.isEmpty())
            when = row.value(QStringLiteral("post_publish_time")).toString();
        const QDate date = QDate::fromString(when.left(10), Qt::ISODate);
        if (!id || !date.isValid())
            return std::nullopt;
        const QString question = pageText(row.value(QStringLiteral("ask_question")).toString());
        if (question.isEmpty() || pageText(row.value(QStringLiteral("ask_answer")).toString()).isEmpty())
            continue;   // not answered (yet): no rumour the company spoke to
        out.append({date, question, QStringLiteral("wdm") + *id, QString()});
    }
    newestFirst(out);
    return out.mid(0, kItems);
}

QString irmOrgPath()
{
    return QStringLiteral("/newircs/index/queryKeyboardInfo");
}

QByteArray irmOrgForm(const QString& code)
{
    return "keyWord=" + code.toLatin1();
}

std::optional<QString> readIrmOrg(const QByteArray& body, const QString& code)
{
    static const QRegularExpression orgId(QStringLiteral("^[A-Za-z0-9]{1,40}$"));
    const auto root = jsonObjectOf(body);
    if (!root)
        return std::nullopt;
    const QJsonValue data = root->value(QStringLiteral("data"));
    if (!data.isArray() && !data.isNull())
        return std::nullopt;
    for (const QJsonValue& v : data.toArray()) {
        const QJsonObject row = v.toObject();
        if (row.value(QStringLiteral("stockCode")).toString() != code)
            continue;
        const QString id = row.value(QStringLiteral("secid")).toString();
        if (!orgId.match(id).hasMatch())
            return std::nullopt;
        return id;
    }
    return QString();
}

QString irmQuestionPath(const QString& code, const QString& orgId)
{
    return QStringLiteral("/newircs/company/question?stockcode=%1&orgId=%2&pageSize=15&pageNum=1&keyWord=&startDay=&endDay=")
        .arg(code, orgId);
}

std::optional<QList<CompanyNewsEntry>> readIrmQuestions(const QByteArray& body)
{
    const auto root = jsonObjectOf(body);
    if (!root)
        return std::nullopt;
    const QJsonValue rows = root->value(QStringLiteral("rows"));
    if (!rows.isArray() && !(rows.isNull() && root->contains(QStringLiteral("totalPage"))))
        return std::nullopt;
    QList<CompanyNewsEntry> out;
    for (const QJsonValue& v : rows.toArray()) {
        const QJsonObject row = v.toObject();
        const QString question = pageText(row.value(QStringLiteral("mainContent")).toString());
        if (question.isEmpty() || pageText(row.value(QStringLiteral("attachedContent")).toString()).isEmpty())
            continue;   // not answered (yet)
        const auto id = idOf(row.value(QStringLiteral("indexId")));
        QJsonValue when = row.value(QStringLiteral("attachedPubDate"));
        if (when.isNull() || when.isUndefined())
            when = row.value(QStringLiteral("pubDate"));
        const auto ms = countIn(when);
        if (!id || !ms)
            return std::nullopt;
        out.append({QDateTime::fromMSecsSinceEpoch(*ms, beijing()).date(), question, QStringLiteral("irm") + *id, QString()});
    }
    newestFirst(out);
    return out.mid(0, kItems);
}

QString snsCompanyPath()
{
    return QStringLiteral("/ajax/getCompany.do");
}

QByteArray snsCompanyForm(const QString& code)
{
    return "data=" + code.toLatin1();
}

std::optional<QString> readSnsCompany(const QByteArray& body)
{
    static const QRegularExpression uid(QStringLiteral("^\\d{0,12}$"));
    const QString text = QString::fromUtf8(body).trimmed();
    if (!uid.match(text).hasMatch())
        return std::nullopt;
    return text;
}

QString snsQuestionPath(const QString& uid)
{
    return QStringLiteral("/ajax/userfeeds.do?typeCode=company&type=11&pageSize=10&uid=%1&page=1").arg(uid);
}

std::optional<QList<CompanyNewsEntry>> readSnsQuestions(const QByteArray& body, const QDateTime& now)
{
    static const QRegularExpression item(QStringLiteral("<div class=\"m_feed_item\"[^>]*id=\"item-(\\d{1,24})\""));
    static const QRegularExpression txt(QStringLiteral("<div class=\"m_feed_txt\"[^>]*>(.*?)</div>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression from(QStringLiteral("<div class=\"m_feed_from\"[^>]*>\\s*<span>([^<]*)</span>"));
    static const QRegularExpression asker(QStringLiteral("^\\s*<a [^>]*>[^<]*</a>"));
    const QString text = QString::fromUtf8(body);
    // The feed is a fragment of list items; a whole page (an error or check page) is not the feed.
    if (text.contains(QLatin1String("<html"), Qt::CaseInsensitive) || text.contains(QLatin1String("<body"), Qt::CaseInsensitive))
        return std::nullopt;
    QList<qsizetype> starts;
    QStringList ids;
    for (auto it = item.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        starts << m.capturedStart();
        ids << m.captured(1);
    }
    QList<CompanyNewsEntry> out;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const QString one = text.mid(starts[i], (i + 1 < starts.size() ? starts[i + 1] : text.size()) - starts[i]);
        QStringList texts;
        for (auto it = txt.globalMatch(one); it.hasNext();)
            texts << it.next().captured(1);
        QStringList times;
        for (auto it = from.globalMatch(one); it.hasNext();)
            times << it.next().captured(1);
        if (texts.size() < 2 || times.isEmpty() || !one.contains(QLatin1String("m_qa")))
            continue;   // a question without an answer
        QString question = texts.first();
        question.remove(asker);   // the ":公司名(代码)" anchor in front of every question
        const QString title = cleanText(question);
        const QDate day = snsDay(times.last(), now);
        if (title.isEmpty() || cleanText(texts[1]).isEmpty() || !day.isValid())
            continue;
        out.append({day, title, QStringLiteral("sns") + ids[i], QString()});
    }
    newestFirst(out);
    return out.mid(0, kItems);
}

std::optional<QString> rumourAddress(const QString& code, const QString& id)
{
    static const QRegularExpression form(QStringLiteral("^(wdm|irm|sns)(\\d{1,24})$"));
    static const QRegularExpression stock(QStringLiteral("^\\d{6}$"));
    const auto m = form.match(id);
    if (!m.hasMatch() || !stock.match(code).hasMatch())
        return std::nullopt;
    const QString n = m.captured(2);
    if (m.captured(1) == u"wdm")
        return QStringLiteral("https://guba.eastmoney.com/news,%1,%2.html").arg(code, n);
    if (m.captured(1) == u"irm")
        return QStringLiteral("https://irm.cninfo.com.cn/ircs/question/questionDetail?questionId=") + n;
    return QStringLiteral("https://sns.sseinfo.com/qadetail.do?questionId=") + n;
}

} // namespace feed::livenews

#include "upstream.h"

#include "net/codecs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <functional>

namespace sandbox::upstream {

namespace {

// A number as the services write it; nothing for an empty field, "-" or anything else.
std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> number(const QJsonValue& v)
{
    if (v.isDouble())
        return v.toDouble();
    if (v.isString())
        return number(v.toString());
    return std::nullopt;
}

// The statements of a GBK script reply, `name="value"` each, ended by ';'. Nothing when any
// statement is not of that form, which also catches a reply cut inside a statement.
std::optional<QList<QPair<QString, QString>>> statements(const QByteArray& body, const QString& lead)
{
    QList<QPair<QString, QString>> out;
    const QString text = net::fromGbk(body);
    const QStringList parts = text.split(QLatin1Char(';'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString s = parts[i].trimmed();
        if (s.isEmpty())
            continue;
        if (i == parts.size() - 1)
            return std::nullopt;   // no ';' after the last statement: the reply was cut
        const qsizetype eq = s.indexOf(QLatin1Char('='));
        if (!s.startsWith(lead) || eq < 0 || s.size() < eq + 3 || s[eq + 1] != QLatin1Char('"') || !s.endsWith(QLatin1Char('"')))
            return std::nullopt;
        out.append({s.mid(lead.size(), eq - lead.size()), s.mid(eq + 2, s.size() - eq - 3)});
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

std::optional<QJsonObject> jsonObject(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

// Text from a remote service that goes into a page: without the characters that would end a
// field of the page's layout early.
QString plain(const QString& text)
{
    QString out = text;
    out.remove(QLatin1Char('<')).remove(QLatin1Char('>')).remove(QLatin1Char('"'));
    return out.simplified();
}

} // namespace

QStringList names()
{
    return {QStringLiteral("tencent"), QStringLiteral("sina"), QStringLiteral("eastmoney"),
            QStringLiteral("sina-bills"), QStringLiteral("eastmoney-history"), QStringLiteral("eastmoney-notices"),
            QStringLiteral("eastmoney-news")};
}

QHash<QString, QString> defaultBases()
{
    return {{QStringLiteral("tencent"), QStringLiteral("http://qt.gtimg.cn")},
            {QStringLiteral("sina"), QStringLiteral("http://hq.sinajs.cn")},
            {QStringLiteral("eastmoney"), QStringLiteral("http://push2.eastmoney.com")},
            {QStringLiteral("sina-bills"), QStringLiteral("http://vip.stock.finance.sina.com.cn")},
            {QStringLiteral("eastmoney-history"), QStringLiteral("http://push2his.eastmoney.com")},
            {QStringLiteral("eastmoney-notices"), QStringLiteral("http://np-anotice-stock.eastmoney.com")},
            {QStringLiteral("eastmoney-news"), QStringLiteral("http://np-listapi.eastmoney.com")}};
}

QString prefixOf(const QString& code)
{
    return code.startsWith(QLatin1Char('6')) ? QStringLiteral("sh") : QStringLiteral("sz");
}

namespace {
QString symbols(const QStringList& codes)
{
    QStringList out;
    for (const QString& c : codes)
        out << prefixOf(c) + c;
    return out.join(QLatin1Char(','));
}
} // namespace

QString tencentPath(const QStringList& codes)
{
    return QStringLiteral("/q=") + symbols(codes);
}

QString sinaPath(const QStringList& codes)
{
    return QStringLiteral("/list=") + symbols(codes);
}

QString indexPath()
{
    return QStringLiteral("/api/qt/ulist.np/get?fltt=2&invt=2&secids=1.000001,0.399001"
                          "&fields=f2,f3,f4,f6,f12,f14,f15,f16,f17,f18,f104,f105,f106");
}

QString billPath(const QString& code, const QDate& day)
{
    return QStringLiteral("/quotes_service/api/json_v2.php/CN_Bill.GetBillList?symbol=%1%2&num=10000&page=1"
                          "&sort=ticktime&asc=0&volume=0&amount=%3&type=0&day=%4")
        .arg(prefixOf(code), code)
        .arg(BigOrderDay::kLargeTradeYuan)
        .arg(day.toString(Qt::ISODate));
}

QString moneyFlowPath(const QString& code, int days)
{
    return QStringLiteral("/api/qt/stock/fflow/daykline/get?lmt=%1&klt=101&secid=%2.%3&fields1=f1,f2,f3,f7"
                          "&fields2=f51,f52,f53,f54,f55,f56,f57,f58,f59,f60,f61,f62,f63,f64,f65")
        .arg(days)
        .arg(code.startsWith(QLatin1Char('6')) ? 1 : 0)
        .arg(code);
}

QString noticePath(const QString& code)
{
    return QStringLiteral("/api/security/ann?sr=-1&page_size=30&page_index=1&ann_type=A&client_source=web"
                          "&f_node=0&s_node=0&stock_list=") + code;
}

QString newsPath(int count)
{
    return QStringLiteral("/comm/web/getFastNewsList?client=web&biz=web_724&fastColumn=102&sortEnd=&pageSize=%1"
                          "&req_trace=huilan")
        .arg(count);
}

QString noticeAddress(const QString& code, const QString& artCode)
{
    return QStringLiteral("https://data.eastmoney.com/notices/detail/%1/%2.html").arg(code, artCode);
}

namespace {

using Fill = std::function<void(const QStringList& fields, Snapshot& snapshot)>;

// The quote lines of `codes` in a reply of statements `LEADshCODE="f0Sf1S..."` with fields split
// at `separator`; a code without a line, or with an empty one, is unknown. Nothing when a line
// has fewer than `minFields` fields or one of the `numeric` ones is not a number.
std::optional<Snapshots> readQuoteLines(const QByteArray& body, const QStringList& codes, const QString& lead,
                                        QChar separator, qsizetype minFields, std::initializer_list<int> numeric,
                                        const Fill& fill)
{
    const auto list = statements(body, lead);
    if (!list)
        return std::nullopt;
    Snapshots out;
    for (const QString& c : codes)
        out.insert(c, std::nullopt);
    for (const auto& [key, value] : *list) {
        // Other statements (Tencent's v_pv_none_match for codes it does not know) name no code asked for.
        const QString code = key.mid(2);
        if (!out.contains(code) || key.left(2) != prefixOf(code) || value.isEmpty())
            continue;
        const QStringList f = value.split(separator);
        if (f.size() < minFields)
            return std::nullopt;
        for (int i : numeric)
            if (!number(f[i]))
                return std::nullopt;
        Snapshot s;
        s.quote.code = code;
        s.quote.hasLastTrade = false;
        fill(f, s);
        out.insert(code, s);
    }
    return out;
}

double num(const QString& text)
{
    return *number(text);
}

} // namespace

std::optional<Snapshots> readTencent(const QByteArray& body, const QStringList& codes)
{
    // 1 name, 3 price, 4 previous close, 5 open, 6 volume (lots), 7 outer, 8 inner, 9/10 bid 1 and
    // its lots, 19/20 ask 1 and its lots, 30 time, 33 high, 34 low, 37 amount (万元).
    return readQuoteLines(body, codes, QStringLiteral("v_"), QLatin1Char('~'), 38,
                          {3, 4, 5, 6, 7, 8, 9, 10, 19, 20, 33, 34, 37}, [](const QStringList& f, Snapshot& s) {
                              StockQuote& q = s.quote;
                              q.name = f[1].trimmed();
                              q.last = num(f[3]);
                              q.prevClose = num(f[4]);
                              q.open = num(f[5]);
                              q.volume = qint64(num(f[6]));
                              s.outer = qint64(num(f[7]));
                              s.inner = qint64(num(f[8]));
                              q.bidPrice1 = num(f[9]);
                              q.bidVolume1 = qint64(num(f[10]));
                              q.askPrice1 = num(f[19]);
                              q.askVolume1 = qint64(num(f[20]));
                              q.time = QDateTime::fromString(f[30], QStringLiteral("yyyyMMddHHmmss"));
                              q.high = num(f[33]);
                              q.low = num(f[34]);
                              q.amount = num(f[37]);
                          });
}

std::optional<Snapshots> readSina(const QByteArray& body, const QStringList& codes)
{
    // 0 name, 1 open, 2 previous close, 3 price, 4 high, 5 low, 8 volume (shares), 9 amount (yuan),
    // 10/11 bid 1 shares and price, 20/21 ask 1 shares and price, 30 date, 31 time.
    return readQuoteLines(body, codes, QStringLiteral("var hq_str_"), QLatin1Char(','), 32,
                          {1, 2, 3, 4, 5, 8, 9, 10, 11, 20, 21}, [](const QStringList& f, Snapshot& s) {
                              StockQuote& q = s.quote;
                              q.name = f[0].trimmed();
                              q.open = num(f[1]);
                              q.prevClose = num(f[2]);
                              q.last = num(f[3]);
                              q.high = num(f[4]);
                              q.low = num(f[5]);
                              q.volume = qint64(num(f[8])) / 100;
                              q.amount = std::round(num(f[9]) / 100.0) / 100.0;
                              q.bidVolume1 = qint64(num(f[10])) / 100;
                              q.bidPrice1 = num(f[11]);
                              q.askVolume1 = qint64(num(f[20])) / 100;
                              q.askPrice1 = num(f[21]);
                              q.time = QDateTime::fromString(f[30] + u' ' + f[31], QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                          });
}

std::optional<IndexAnswer> readIndices(const QByteArray& body)
{
    const auto root = jsonObject(body);
    if (!root)
        return std::nullopt;
    const QJsonValue diff = root->value(QStringLiteral("data")).toObject().value(QStringLiteral("diff"));
    QList<QJsonObject> rows;
    if (diff.isArray()) {
        const QJsonArray list = diff.toArray();
        for (const QJsonValue& v : list)
            rows.append(v.toObject());
    } else {
        const QJsonObject byIndex = diff.toObject();
        for (const QJsonValue& v : byIndex)
            rows.append(v.toObject());
    }
    std::optional<IndexQuote> sh, sz;
    for (const QJsonObject& row : rows) {
        const QString code = row.value(QStringLiteral("f12")).toString();
        if (code != QLatin1String("000001") && code != QLatin1String("399001"))
            continue;
        IndexQuote q;
        q.code = code;
        q.name = code == QLatin1String("000001") ? QStringLiteral("上证指数") : QStringLiteral("深证成指");
        double* targets[] = {&q.value, &q.amount, &q.high, &q.low, &q.open, &q.prevClose};
        const char* keys[] = {"f2", "f6", "f15", "f16", "f17", "f18"};
        for (int i = 0; i < 6; ++i) {
            const auto v = number(row.value(QLatin1String(keys[i])));
            if (!v)
                return std::nullopt;   // a value the service left out ("-"): nothing is made up
            *targets[i] = *v;
        }
        q.amount /= 10000.0;   // yuan -> 万元
        int* counts[] = {&q.rising, &q.falling, &q.unchanged};
        const char* countKeys[] = {"f104", "f105", "f106"};
        for (int i = 0; i < 3; ++i) {
            const auto v = number(row.value(QLatin1String(countKeys[i])));
            if (!v)
                return std::nullopt;
            *counts[i] = int(*v);
        }
        (code == QLatin1String("000001") ? sh : sz) = q;
    }
    if (!sh || !sz)
        return std::nullopt;
    return IndexAnswer{*sh, *sz};
}

QDate tradingDayOf(const QDateTime& t)
{
    QDate day = t.date();
    while (!Market::isTradingDay(day))
        day = day.addDays(-1);
    return day;
}

int hoursDone(const QDate& day, const QDateTime& t)
{
    if (day < t.date())
        return 4;
    static const QTime ends[] = {QTime(10, 30), QTime(11, 30), QTime(14, 0), QTime(15, 0)};
    int done = 0;
    while (done < 4 && t.time() >= ends[done])
        ++done;
    return done;
}

namespace {
// The trading hour a trade at `time` belongs to: 9:30-10:30, 10:30-11:30, 13:00-14:00, 14:00-15:00.
int hourOf(const QTime& time)
{
    if (time < QTime(10, 30))
        return 0;
    if (time < QTime(13, 0))
        return 1;
    return time < QTime(14, 0) ? 2 : 3;
}

// The size bucket of a trade of `yuan`: under 0.5 million, 0.5-2, 2-5, over 5 million.
int bucketOf(double yuan)
{
    if (yuan < 500000)
        return 0;
    if (yuan < 2000000)
        return 1;
    return yuan < 5000000 ? 2 : 3;
}
} // namespace

std::optional<BigOrderDay> readBills(const QByteArray& body, const QDate& day, const QDateTime& now)
{
    BigOrderDay out;
    out.date = day;
    out.hoursDone = hoursDone(day, now);
    QString text = net::fromGbk(body).trimmed();
    if (text == QLatin1String("null") || text == QLatin1String("[]"))
        return out;   // no large trade that day
    // The list is a script literal with bare keys: {symbol:"sh600036",...}; quote them for JSON.
    static const QRegularExpression bareKey(QStringLiteral("([{,])\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*:"));
    text.replace(bareKey, QStringLiteral("\\1\"\\2\":"));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray trades = doc.array();
    for (const QJsonValue& v : trades) {
        const QJsonObject row = v.toObject();
        const QTime time = QTime::fromString(row.value(QStringLiteral("ticktime")).toString(), QStringLiteral("HH:mm:ss"));
        const auto price = number(row.value(QStringLiteral("price")));
        const auto shares = number(row.value(QStringLiteral("volume")));
        const QString kind = row.value(QStringLiteral("kind")).toString();
        if (!time.isValid() || !price || !shares)
            return std::nullopt;
        const double yuan = *price * *shares;
        if (yuan < BigOrderDay::kLargeTradeYuan || (kind != u"U" && kind != u"D"))
            continue;   // a neutral trade is neither bought nor sold
        const bool buy = kind == u"U";
        (buy ? out.hourBuy : out.hourSell)[hourOf(time)] += qint64(*shares);
        out.bucketYuan[bucketOf(yuan) + (buy ? 0 : 4)] += yuan;
    }
    return out;
}

std::optional<QList<BigOrderDay>> readMoneyFlow(const QByteArray& body)
{
    const auto root = jsonObject(body);
    if (!root)
        return std::nullopt;
    const QJsonValue data = root->value(QStringLiteral("data"));
    QList<BigOrderDay> out;
    if (data.isNull())
        return out;   // a code the service does not know
    const QJsonValue klines = data.toObject().value(QStringLiteral("klines"));
    if (!klines.isArray())
        return std::nullopt;
    const QJsonArray days = klines.toArray();
    for (const QJsonValue& v : days) {
        // date, main, small, medium, large, extra-large net inflow (yuan), their shares, close, ...
        const QStringList f = v.toString().split(QLatin1Char(','));
        const QDate date = QDate::fromString(f.value(0), Qt::ISODate);
        const auto large = number(f.value(4));
        const auto extraLarge = number(f.value(5));
        const auto close = number(f.value(11));
        if (!date.isValid() || !large || !extraLarge || !close || *close <= 0)
            return std::nullopt;
        BigOrderDay day;
        day.date = date;
        day.hoursDone = 4;
        const qint64 shares = std::llround((*large + *extraLarge) / *close);
        day.hourBuy[0] = shares > 0 ? shares : 0;
        day.hourSell[0] = shares < 0 ? -shares : 0;
        out.append(day);
    }
    return out;
}

std::optional<QList<NoticeEntry>> readNotices(const QByteArray& body, const QString& code)
{
    const auto root = jsonObject(body);
    if (!root)
        return std::nullopt;
    const QJsonValue list = root->value(QStringLiteral("data")).toObject().value(QStringLiteral("list"));
    if (!list.isArray())
        return std::nullopt;
    QList<NoticeEntry> out;
    const QJsonArray rows = list.toArray();
    for (const QJsonValue& v : rows) {
        const QJsonObject row = v.toObject();
        const QString art = plain(row.value(QStringLiteral("art_code")).toString());
        const QDate date = QDate::fromString(row.value(QStringLiteral("notice_date")).toString().left(10), Qt::ISODate);
        const QString title = plain(row.value(QStringLiteral("title")).toString());
        if (art.isEmpty() || !date.isValid() || art.contains(QLatin1Char(' ')))
            return std::nullopt;
        out.append({code + u'_' + art, date, title});
    }
    return out;
}

std::optional<QList<NewsEntry>> readNews(const QByteArray& body)
{
    const auto root = jsonObject(body);
    if (!root)
        return std::nullopt;
    const QJsonValue list = root->value(QStringLiteral("data")).toObject().value(QStringLiteral("fastNewsList"));
    if (!list.isArray())
        return std::nullopt;
    QList<NewsEntry> out;
    static const QRegularExpression digits(QStringLiteral("^\\d{6,30}$"));
    const QJsonArray rows = list.toArray();
    for (const QJsonValue& v : rows) {
        const QJsonObject row = v.toObject();
        const QString code = row.value(QStringLiteral("code")).toString();
        const QDateTime time = QDateTime::fromString(row.value(QStringLiteral("showTime")).toString(),
                                                     QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QString headline = plain(row.value(QStringLiteral("title")).toString());
        if (headline.isEmpty())
            headline = plain(row.value(QStringLiteral("summary")).toString()).left(60);
        if (!digits.match(code).hasMatch() || !time.isValid() || headline.isEmpty())
            return std::nullopt;
        out.append({time, headline, QStringLiteral("https://finance.eastmoney.com/a/%1.html").arg(code), QString()});
    }
    return out;
}

} // namespace sandbox::upstream

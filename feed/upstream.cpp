#include "upstream.h"

#include "net/codecs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <functional>

namespace feed::upstream {

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

// The largest price, count or amount any reply may carry: far above every real one, and small
// enough that a count converts to an integer exactly.
constexpr double kLargest = 1e15;

// A price, volume or amount: a number from 0 to kLargest; nothing for anything else.
template <typename Text>
std::optional<double> amount(const Text& text)
{
    const auto v = number(text);
    if (!v || *v < 0 || *v > kLargest)
        return std::nullopt;
    return v;
}

// A count of lots, shares or stocks: as amount(), as a whole number.
template <typename Text>
std::optional<qint64> count(const Text& text)
{
    const auto v = amount(text);
    if (!v)
        return std::nullopt;
    return qint64(*v);
}

// A signed flow of money: a number no larger than kLargest either way.
std::optional<double> flow(const QString& text)
{
    const auto v = number(text);
    if (!v || std::abs(*v) > kLargest)
        return std::nullopt;
    return v;
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

// An East Money push reply: rc 0 is an answer; any other rc is a refused or throttled request,
// whatever `data` says (it is null then, which would otherwise read as "no such stock").
std::optional<QJsonObject> pushReply(const QByteArray& body)
{
    auto root = jsonObject(body);
    if (!root || root->value(QStringLiteral("rc")).toInt(-1) != 0)
        return std::nullopt;
    return root;
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

std::optional<double> amountIn(const QJsonValue& v)
{
    return amount(v);
}

std::optional<qint64> countIn(const QJsonValue& v)
{
    return count(v);
}

QString pageText(const QString& text)
{
    return plain(text);
}

std::optional<QJsonObject> jsonObjectOf(const QByteArray& body)
{
    return jsonObject(body);
}

QStringList names()
{
    return {QStringLiteral("tencent"), QStringLiteral("sina"), QStringLiteral("eastmoney"),
            QStringLiteral("sina-bills"), QStringLiteral("eastmoney-history"), QStringLiteral("eastmoney-notices"),
            QStringLiteral("eastmoney-news"), QStringLiteral("eastmoney-weblist"), QStringLiteral("sina-blog"),
            QStringLiteral("guba"), QStringLiteral("gbapi"), QStringLiteral("datacenter"), QStringLiteral("reportapi"),
            QStringLiteral("cninfo-irm"), QStringLiteral("sse-sns")};
}

QHash<QString, QString> defaultBases()
{
    return {{QStringLiteral("tencent"), QStringLiteral("http://qt.gtimg.cn")},
            {QStringLiteral("sina"), QStringLiteral("http://hq.sinajs.cn")},
            {QStringLiteral("eastmoney"), QStringLiteral("http://push2.eastmoney.com")},
            {QStringLiteral("sina-bills"), QStringLiteral("http://vip.stock.finance.sina.com.cn")},
            {QStringLiteral("eastmoney-history"), QStringLiteral("http://push2his.eastmoney.com")},
            {QStringLiteral("eastmoney-notices"), QStringLiteral("http://np-anotice-stock.eastmoney.com")},
            {QStringLiteral("eastmoney-news"), QStringLiteral("http://np-listapi.eastmoney.com")},
            {QStringLiteral("eastmoney-weblist"), QStringLiteral("http://np-weblist.eastmoney.com")},
            {QStringLiteral("sina-blog"), QStringLiteral("http://blog.sina.com.cn")},
            {QStringLiteral("guba"), QStringLiteral("http://guba.eastmoney.com")},
            {QStringLiteral("gbapi"), QStringLiteral("http://gbapi.eastmoney.com")},
            {QStringLiteral("datacenter"), QStringLiteral("http://datacenter-web.eastmoney.com")},
            {QStringLiteral("reportapi"), QStringLiteral("http://reportapi.eastmoney.com")},
            {QStringLiteral("cninfo-irm"), QStringLiteral("http://irm.cninfo.com.cn")},
            {QStringLiteral("sse-sns"), QStringLiteral("http://sns.sseinfo.com")}};
}

QString exchangeOf(const QString& code)
{
    if (code.startsWith(QLatin1String("920")) || code.startsWith(QLatin1Char('8')) || code.startsWith(QLatin1Char('4')))
        return QStringLiteral("bj");
    if (code.startsWith(QLatin1Char('6')) || code.startsWith(QLatin1Char('5')) || code.startsWith(QLatin1Char('9')))
        return QStringLiteral("sh");
    return QStringLiteral("sz");
}

int eastMoneyMarket(const QString& code)
{
    return exchangeOf(code) == QLatin1String("sh") ? 1 : 0;
}

namespace {
QString symbols(const QStringList& codes)
{
    QStringList out;
    for (const QString& c : codes)
        out << exchangeOf(c) + c;
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

QString tencentIndexPath()
{
    return QStringLiteral("/q=sh000001,sz399001");
}

QString billPath(const QString& code, const QDate& day, int page, int pageSize)
{
    return QStringLiteral("/quotes_service/api/json_v2.php/CN_Bill.GetBillList?symbol=%1%2&num=%3&page=%4"
                          "&sort=ticktime&asc=1&volume=0&amount=%5&type=0&day=%6")
        .arg(exchangeOf(code), code)
        .arg(pageSize)
        .arg(page)
        .arg(BigOrderDay::kLargeTradeYuan)
        .arg(day.toString(Qt::ISODate));
}

QString moneyFlowPath(const QString& code, int days)
{
    return QStringLiteral("/api/qt/stock/fflow/daykline/get?lmt=%1&klt=101&secid=%2.%3&fields1=f1,f2,f3,f7"
                          "&fields2=f51,f52,f53,f54,f55,f56,f57,f58,f59,f60,f61,f62,f63,f64,f65")
        .arg(days)
        .arg(eastMoneyMarket(code))
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

QString sinaBlogListPath(const QString& uid)
{
    return QStringLiteral("/s/articlelist_%1_0_1.html").arg(uid);
}

std::optional<int> readBlogList(const QByteArray& body)
{
    // Each article of the list is a cell whose title sits in a span of class atc_title.
    if (!body.contains("articleCell"))
        return std::nullopt;
    return int(body.count("atc_title"));
}

QString noticeAddress(const QString& code, const QString& artCode)
{
    return QStringLiteral("https://data.eastmoney.com/notices/detail/%1/%2.html").arg(code, artCode);
}

namespace {

// Reads one line's fields into a snapshot; false when a field is not a number in range.
using Fill = std::function<bool(const QStringList& fields, Snapshot& snapshot)>;

// Each code's symbol in the quote services' replies: its exchange and the code (sh600036).
QHash<QString, QString> symbolsOf(const QStringList& codes)
{
    QHash<QString, QString> out;
    for (const QString& c : codes)
        out.insert(exchangeOf(c) + c, c);
    return out;
}

// The quote lines of `symbols` (symbol -> code) in a reply of statements `LEADsh600036="f0Sf1S..."` with fields split
// at `separator`; a code without a line, or with an empty one, is unknown. A line with fewer than
// `minFields` fields, or one `fill` refuses, leaves its code out: that code alone failed. Nothing
// when the reply is not of that form, or when it had lines and none of them could be read.
std::optional<Snapshots> readQuoteLines(const QByteArray& body, const QHash<QString, QString>& symbols,
                                        const QString& lead, QChar separator, qsizetype minFields, const Fill& fill)
{
    const auto list = statements(body, lead);
    if (!list)
        return std::nullopt;
    Snapshots out;
    for (const QString& c : symbols)
        out.insert(c, std::nullopt);
    int lines = 0;
    int read = 0;
    for (const auto& [key, value] : *list) {
        // Other statements (Tencent's v_pv_none_match for codes it does not know) name no code asked for.
        const QString code = symbols.value(key);
        if (code.isEmpty() || value.isEmpty())
            continue;
        ++lines;
        const QStringList f = value.split(separator);
        Snapshot s;
        s.quote.code = code;
        s.quote.hasLastTrade = false;
        if (f.size() < minFields || !fill(f, s)) {
            out.remove(code);
            continue;
        }
        ++read;
        out.insert(code, s);
    }
    if (lines > 0 && read == 0)
        return std::nullopt;
    return out;
}

// Reads the listed fields as prices (numbers from 0 on) into their targets; false at the first
// that is not one.
bool prices(const QStringList& f, std::initializer_list<std::pair<int, double*>> targets)
{
    for (const auto& [field, target] : targets) {
        const auto v = amount(f[field]);
        if (!v)
            return false;
        *target = *v;
    }
    return true;
}

// The same for whole counts (lots, shares).
bool counts(const QStringList& f, std::initializer_list<std::pair<int, qint64*>> targets)
{
    for (const auto& [field, target] : targets) {
        const auto v = count(f[field]);
        if (!v)
            return false;
        *target = *v;
    }
    return true;
}

} // namespace

namespace {
std::optional<Snapshots> readTencentSymbols(const QByteArray& body, const QHash<QString, QString>& symbols)
{
    // 1 name, 3 price, 4 previous close, 5 open, 6 volume (lots), 7 outer, 8 inner, 9/10 bid 1 and
    // its lots, 19/20 ask 1 and its lots, 30 time, 33 high, 34 low, 37 amount (万元).
    return readQuoteLines(body, symbols, QStringLiteral("v_"), QLatin1Char('~'), 38, [](const QStringList& f, Snapshot& s) {
        StockQuote& q = s.quote;
        q.name = f[1].trimmed();
        q.time = QDateTime::fromString(f[30], QStringLiteral("yyyyMMddHHmmss"));
        return prices(f, {{3, &q.last}, {4, &q.prevClose}, {5, &q.open}, {9, &q.bidPrice1}, {19, &q.askPrice1},
                          {33, &q.high}, {34, &q.low}, {37, &q.amount}})
            && counts(f, {{6, &q.volume}, {7, &s.outer}, {8, &s.inner}, {10, &q.bidVolume1}, {20, &q.askVolume1}});
    });
}
} // namespace

std::optional<Snapshots> readTencent(const QByteArray& body, const QStringList& codes)
{
    return readTencentSymbols(body, symbolsOf(codes));
}

std::optional<Snapshots> readSina(const QByteArray& body, const QStringList& codes)
{
    // 0 name, 1 open, 2 previous close, 3 price, 4 high, 5 low, 8 volume (shares), 9 amount (yuan),
    // 10/11 bid 1 shares and price, 20/21 ask 1 shares and price, 30 date, 31 time. Today's lines
    // end with a comma after the last field; that empty field is not read.
    return readQuoteLines(body, symbolsOf(codes), QStringLiteral("var hq_str_"), QLatin1Char(','), 32, [](const QStringList& f, Snapshot& s) {
        StockQuote& q = s.quote;
        q.name = f[0].trimmed();
        q.time = QDateTime::fromString(f[30] + u' ' + f[31], QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        double yuan = 0;
        qint64 shares = 0, bidShares = 0, askShares = 0;
        if (!prices(f, {{1, &q.open}, {2, &q.prevClose}, {3, &q.last}, {4, &q.high}, {5, &q.low}, {9, &yuan},
                        {11, &q.bidPrice1}, {21, &q.askPrice1}})
            || !counts(f, {{8, &shares}, {10, &bidShares}, {20, &askShares}}))
            return false;
        q.volume = shares / 100;
        q.amount = std::round(yuan / 100.0) / 100.0;
        q.bidVolume1 = bidShares / 100;
        q.askVolume1 = askShares / 100;
        return true;
    });
}

namespace {

// One index as East Money's row gives it; nothing when a value is missing or out of range.
std::optional<IndexQuote> indexRow(const QJsonObject& row, const QString& code)
{
    IndexQuote q;
    q.code = code;
    q.name = code == QLatin1String("000001") ? QStringLiteral("上证指数") : QStringLiteral("深证成指");
    const auto prev = amount(row.value(QStringLiteral("f18")));
    if (!prev)
        return std::nullopt;
    q.prevClose = *prev;
    // Before the open the level, the amount, the open, the high and the low are "-": the index
    // stands at its previous close, nothing has traded, and the rest is not known yet.
    const bool preOpen = row.value(QStringLiteral("f2")).toString() == QLatin1String("-");
    auto value = [&](const char* key) -> std::optional<double> {
        const QJsonValue v = row.value(QLatin1String(key));
        return preOpen && v.toString() == QLatin1String("-") ? std::optional<double>(-1.0) : amount(v);
    };
    const auto level = value("f2"), yuan = value("f6"), high = value("f15"), low = value("f16"), open = value("f17");
    if (!level || !yuan || !high || !low || !open)
        return std::nullopt;
    auto known = [](double v) { return v < 0 ? std::nullopt : std::optional<double>(v); };
    q.value = *level < 0 ? q.prevClose : *level;
    q.amount = *yuan < 0 ? 0 : *yuan / 10000.0;   // yuan -> 万元
    q.high = known(*high);
    q.low = known(*low);
    q.open = known(*open);
    std::optional<int>* counts[] = {&q.rising, &q.falling, &q.unchanged};
    const char* countKeys[] = {"f104", "f105", "f106"};
    for (int i = 0; i < 3; ++i) {
        const auto n = count(row.value(QLatin1String(countKeys[i])));
        if (!n || *n > 1000000)
            return std::nullopt;
        *counts[i] = int(*n);
    }
    return q;
}

} // namespace

std::optional<IndexAnswer> readIndices(const QByteArray& body)
{
    const auto root = pushReply(body);
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
        const auto q = indexRow(row, code);
        if (!q)
            return std::nullopt;   // a value the service left out: nothing is made up
        (code == QLatin1String("000001") ? sh : sz) = q;
    }
    if (!sh || !sz)
        return std::nullopt;
    return IndexAnswer{*sh, *sz};
}

std::optional<IndexAnswer> readTencentIndices(const QByteArray& body)
{
    const QStringList codes = {QStringLiteral("000001"), QStringLiteral("399001")};
    // By their symbols: sz000001 is a stock (平安银行), sh000001 the Shanghai index.
    const auto read = readTencentSymbols(body, {{QStringLiteral("sh000001"), codes[0]}, {QStringLiteral("sz399001"), codes[1]}});
    if (!read)
        return std::nullopt;
    IndexQuote out[2];
    for (int i = 0; i < 2; ++i) {
        const auto snap = read->value(codes[i]);
        if (!snap)
            return std::nullopt;
        const StockQuote& s = snap->quote;
        IndexQuote& q = out[i];
        q.code = codes[i];
        q.name = i == 0 ? QStringLiteral("上证指数") : QStringLiteral("深证成指");
        q.prevClose = s.prevClose;
        // Before the first trade the level reads 0 (or the previous close) and open, high and
        // low read 0: those are not known yet.
        q.value = s.last > 0 ? s.last : s.prevClose;
        auto known = [](double v) { return v > 0 ? std::optional<double>(v) : std::nullopt; };
        q.open = known(s.open);
        q.high = known(s.high);
        q.low = known(s.low);
        q.amount = s.amount;
        q.rising = q.falling = q.unchanged = std::nullopt;
        q.time = s.time;
    }
    return IndexAnswer{out[0], out[1]};
}

QDate tradingDayOf(const QDateTime& t)
{
    QDate day = t.date();
    while (!Market::isTradingDay(day))
        day = day.addDays(-1);
    return day;
}

std::optional<QDate> tradingDayOf(const QDateTime& t, const QDateTime& quoted)
{
    if (!quoted.isValid())
        return tradingDayOf(t);
    const QDate day = quoted.date();
    const bool weekend = t.date().dayOfWeek() >= Qt::Saturday;
    if (day == t.date() || (weekend && day < t.date()))
        return day;
    return std::nullopt;
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

std::optional<QList<Bill>> readBillPage(const QByteArray& body)
{
    QList<Bill> out;
    QString text = net::fromGbk(body).trimmed();
    if (text == QLatin1String("null") || text == QLatin1String("[]"))
        return out;   // no large trade (more)
    // Today the list is strict JSON; it used to be a script literal with bare keys
    // ({symbol:"sh600036",...}), which is quoted for JSON only when the text does not parse as it is.
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        static const QRegularExpression bareKey(QStringLiteral("([{,])\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*:"));
        text.replace(bareKey, QStringLiteral("\\1\"\\2\":"));
        doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    }
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray trades = doc.array();
    for (const QJsonValue& v : trades) {
        const QJsonObject row = v.toObject();
        Bill bill;
        bill.time = QTime::fromString(row.value(QStringLiteral("ticktime")).toString(), QStringLiteral("HH:mm:ss"));
        const auto price = amount(row.value(QStringLiteral("price")));
        const auto shares = count(row.value(QStringLiteral("volume")));
        const QString kind = row.value(QStringLiteral("kind")).toString();
        if (!bill.time.isValid() || !price || !shares)
            return std::nullopt;
        bill.price = *price;
        bill.shares = *shares;
        bill.kind = kind.size() == 1 ? kind[0] : QChar();
        out.append(bill);
    }
    return out;
}

BigOrderDay billsDay(const QList<Bill>& bills, const QDate& day, const QDateTime& now)
{
    BigOrderDay out;
    out.date = day;
    out.hoursDone = hoursDone(day, now);
    for (const Bill& bill : bills) {
        const double yuan = bill.price * double(bill.shares);
        if (yuan < BigOrderDay::kLargeTradeYuan || (bill.kind != u'U' && bill.kind != u'D'))
            continue;   // a neutral trade is neither bought nor sold
        const bool buy = bill.kind == u'U';
        (buy ? out.hourBuy : out.hourSell)[hourOf(bill.time)] += bill.shares;
        out.bucketYuan[bucketOf(yuan) + (buy ? 0 : 4)] += yuan;
    }
    return out;
}

std::optional<BigOrderDay> readBills(const QByteArray& body, const QDate& day, const QDateTime& now)
{
    const auto bills = readBillPage(body);
    if (!bills)
        return std::nullopt;
    return billsDay(*bills, day, now);
}

std::optional<QList<BigOrderDay>> readMoneyFlow(const QByteArray& body)
{
    const auto root = pushReply(body);
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
        // date; main, small, medium, large and extra-large net inflow (yuan); the same five as net
        // ratios in percent; close; change percent; ...
        const QStringList f = v.toString().split(QLatin1Char(','));
        const QDate date = QDate::fromString(f.value(0), Qt::ISODate);
        const auto large = flow(f.value(4));
        const auto extraLarge = flow(f.value(5));
        const auto close = amount(f.value(11));
        if (!date.isValid() || !large || !extraLarge || !close || *close <= 0.001)
            return std::nullopt;
        BigOrderDay day;
        day.date = date;
        day.hoursDone = 4;
        const double net = (*large + *extraLarge) / *close;
        if (std::abs(net) > kLargest)
            return std::nullopt;
        const qint64 shares = std::llround(net);
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

std::optional<qint64> countValue(const QJsonValue& value)
{
    return count(value);
}

QString plainText(const QString& text)
{
    return plain(text);
}

} // namespace feed::upstream
